// Manifests written by the builder and checked by the verification: every kind of tampering with the
// file, its frames, the manifest or the key ends in the right verdict and message.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <cctype>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "common/evidence/ManifestBuilder.h"
#include "common/evidence/Sha256.h"
#include "common/evidence/Signing.h"
#include "common/evidence/Verify.h"
#include "common/export/AviWriter.h"
#include "common/fs/AtomicFile.h"
#include "tests/common/evidence/HostileAvi.h"
#include "tests/common/export/AviCheck.h"

namespace {

using namespace dvr;
using evidence::VerifyStatus;

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void writeText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::vector<uint8_t> picture(int i) {
    std::vector<uint8_t> b(300 + size_t(i % 3));
    for (size_t k = 0; k < b.size(); ++k)
        b[k] = uint8_t(i * 37 + int(k * k));
    return b;
}

std::string timeOf(int i) {
    return "2026-05-17 12:00:" + std::string(i < 10 ? "0" : "") + std::to_string(i);
}

class Manifests : public ::testing::Test {
protected:
    dvr::testsupport::TempFolder dir;
    std::string backup = dir.file("f.zav");
    std::string avi = dir.file("clip.avi");
    std::string savedConfig;

    void SetUp() override {
        // Never the real user's key.
        const char* config = std::getenv("XDG_CONFIG_HOME");
        savedConfig = config ? config : "";
        ::setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
        writeText(backup, std::string(4096, 'b'));
    }
    void TearDown() override {
        savedConfig.empty() ? ::unsetenv("XDG_CONFIG_HOME")
                            : ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
    }

    // Writes an AVI of the pictures in the given order and its manifest (which records them in order).
    evidence::ManifestWrite exportFrames(const std::vector<int>& order, const std::vector<int>& recorded) {
        writeAvi(order);
        auto builder = evidence::ManifestBuilder::fromBackup("test", backup, 2);
        for (int i : recorded)
            builder.addFrame(timeOf(i), 1000 + i, picture(i));
        return builder.write(avi);
    }
    void writeAvi(const std::vector<int>& order) {
        exporting::AviWriter writer;
        std::filesystem::remove(avi);  // an export is a new file
        ASSERT_TRUE(writer.open(avi, {64, 48, 10, "clip.avi"}).ok());
        for (int i : order)
            ASSERT_TRUE(writer.writeVideoFrame(picture(i)).ok());
        ASSERT_TRUE(writer.close().ok());
    }
    evidence::VerifyOutcome verify(std::optional<std::string> key = {},
                                   std::optional<std::string> source = {}) {
        evidence::VerifyOptions o;
        o.filePath = avi;
        o.publicKeyPath = std::move(key);
        o.sourcePath = std::move(source);
        return evidence::verifyExport(o);
    }
    evidence::Manifest readManifest() {
        return evidence::parseManifest(readText(avi + ".manifest.json"))
            .manifest.value_or(evidence::Manifest{});
    }
    // Writes the manifest with its chain, file size and file hash made again, as a forger would.
    void forge(evidence::Manifest m) {
        std::string previous = evidence::firstPreviousChain();
        for (auto& f : m.frames) {
            f.chain = evidence::chainHash(previous, f, m.formatVersion);
            previous = f.chain;
        }
        const auto file = evidence::sha256OfFile(avi);
        ASSERT_TRUE(file);
        m.fileSizeBytes = file->sizeBytes;
        m.fileSha256 = evidence::hexOf(file->digest);
        writeText(avi + ".manifest.json", evidence::manifestJson(m));
    }
    // Replaces the first occurrence of `from` in the manifest.
    void editManifest(const std::string& from, const std::string& to) {
        std::string text = readText(avi + ".manifest.json");
        const size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
        writeText(avi + ".manifest.json", text);
    }
};

TEST_F(Manifests, AnExportVerifiesAndReadsBackAsWritten) {
    const auto written = exportFrames({0, 1, 1, 2, 3}, {0, 1, 1, 2, 3});  // a repeated frame: its own entry
    ASSERT_TRUE(written.ok) << written.message;
    EXPECT_FALSE(written.isSigned);
    const auto r = verify(std::nullopt, backup);
    ASSERT_EQ(r.status, VerifyStatus::Ok) << r.message;
    EXPECT_TRUE(r.sourceChecked);
    const evidence::Manifest& m = *r.manifest;
    EXPECT_EQ(m.fileName, "clip.avi");
    EXPECT_EQ(m.channel, 2);
    EXPECT_EQ(m.firstPictureTime, timeOf(0));
    EXPECT_EQ(m.lastPictureTime, timeOf(3));
    ASSERT_EQ(m.frames.size(), 5u);
    EXPECT_EQ(m.frames[2].time, m.frames[1].time);
    EXPECT_EQ(m.frames[2].sourcePosition, 1001);
    EXPECT_NE(m.frames[2].chain, m.frames[1].chain);
    EXPECT_EQ(m.source.sizeBytes, 4096u);
    EXPECT_TRUE(readText(avi + ".manifest.json").find("\"channelName\": \"CH3\"") != std::string::npos);
    EXPECT_EQ(evidence::parseManifest(evidence::manifestJson(m)).manifest, m);
    // No temporary file is left beside it.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path()))
        ++entries;
    EXPECT_EQ(entries, 3);  // f.zav, clip.avi, its manifest
}

TEST_F(Manifests, ChangedFramesAreNamedByIndexAndTime) {
    struct Case {
        const char* what;
        std::vector<int> written;
        std::string message;
    };
    for (const Case& c :
         {Case{"swapped", {0, 2, 1, 3}, "frame 1 (" + timeOf(1) + "): the picture differs"},
          Case{"removed", {0, 1, 3}, "frame 2 (" + timeOf(2) + "): the picture differs"},
          Case{"inserted", {0, 1, 1, 2, 3}, "frame 2 (" + timeOf(2) + "): the picture differs"},
          Case{"appended", {0, 1, 2, 3, 3}, "the file has 5 frames, the manifest lists 4"}}) {
        SCOPED_TRACE(c.what);
        // The manifest describes 0 1 2 3; the file holds other frames but its size is what the manifest says.
        writeAvi({0, 1, 2, 3});
        auto builder = evidence::ManifestBuilder::fromBackup("test", backup, 2);
        for (int i : {0, 1, 2, 3})
            builder.addFrame(timeOf(i), 1000 + i, picture(i));
        ASSERT_TRUE(builder.write(avi).ok);
        const std::string manifest = readText(avi + ".manifest.json");
        writeAvi(c.written);
        const auto size = std::filesystem::file_size(avi);
        editManifest("\"size\": " + std::to_string(evidence::parseManifest(manifest).manifest->fileSizeBytes),
                     "\"size\": " + std::to_string(size));
        const auto r = verify();
        EXPECT_EQ(r.status, VerifyStatus::Mismatch);
        EXPECT_EQ(r.message.rfind(c.message, 0), 0u) << r.message;
    }
}

TEST_F(Manifests, AFlippedByteOrACutFileFails) {
    ASSERT_TRUE(exportFrames({0, 1, 2, 3}, {0, 1, 2, 3}).ok);
    const auto frames = evidence::parseManifest(readText(avi + ".manifest.json")).manifest->frames;
    std::string bytes = readText(avi);
    const std::string original = bytes;
    const size_t at =
        bytes.find(std::string(reinterpret_cast<const char*>(picture(2).data()), picture(2).size()));
    ASSERT_NE(at, std::string::npos);
    bytes[at + 17] ^= 0x01;
    writeText(avi, bytes);
    auto r = verify();
    EXPECT_EQ(r.status, VerifyStatus::Mismatch);
    EXPECT_EQ(r.message, "frame 2 (" + timeOf(2) + "): the picture differs from the manifest");

    // A byte outside every frame: only the file's hash sees it.
    bytes = original;
    bytes[20] ^= 0x01;
    writeText(avi, bytes);
    r = verify();
    EXPECT_EQ(r.message, "file SHA-256 differs from the manifest");

    writeText(avi, original.substr(0, original.size() - 100));
    r = verify();
    EXPECT_EQ(r.status, VerifyStatus::Mismatch);
    EXPECT_EQ(r.message.rfind("file size differs", 0), 0u) << r.message;

    std::filesystem::remove(avi);
    EXPECT_EQ(verify().status, VerifyStatus::Damaged);
}

TEST_F(Manifests, EditedManifestEntriesBreakTheChain) {
    ASSERT_TRUE(exportFrames({0, 1, 2, 3}, {0, 1, 2, 3}).ok);
    const std::string original = readText(avi + ".manifest.json");
    editManifest("\"time\": \"" + timeOf(2) + "\"", "\"time\": \"2026-05-17 13:00:02\"");
    auto r = verify();
    EXPECT_EQ(r.status, VerifyStatus::Mismatch);
    EXPECT_EQ(r.message.rfind("frame 2 (2026-05-17 13:00:02): the chain hash does not match", 0), 0u)
        << r.message;

    writeText(avi + ".manifest.json", original);
    editManifest("\"firstPictureTime\": \"" + timeOf(0), "\"firstPictureTime\": \"2026-05-17 11:00:00");
    r = verify();
    EXPECT_EQ(r.message, "firstPictureTime differs from frame 0's time");

    writeText(avi + ".manifest.json", original);
    editManifest("\"source\": 1001", "\"source\": 9999");
    EXPECT_EQ(verify().message.rfind("frame 1 (" + timeOf(1) + "): the chain hash", 0), 0u);
}

TEST_F(Manifests, DamagedOrMissingManifestsAndKeysAreExitTwo) {
    ASSERT_TRUE(exportFrames({0, 1}, {0, 1}).ok);
    const std::string original = readText(avi + ".manifest.json");
    for (const std::string& damage :
         {original.substr(0, original.size() / 2), std::string(), std::string("[]"),
          std::string("{\"format\": \"dvr-export-manifest\", \"formatVersion\": 2}")}) {
        writeText(avi + ".manifest.json", damage);
        const auto r = verify();
        EXPECT_EQ(r.status, VerifyStatus::Damaged) << damage;
        EXPECT_EQ(r.message.rfind("damaged manifest ", 0), 0u) << r.message;
    }
    writeText(avi + ".manifest.json", original);
    editManifest("\"sha256\": \"", "\"sha256\": \"zz");
    EXPECT_EQ(verify().status, VerifyStatus::Damaged);

    std::filesystem::remove(avi + ".manifest.json");
    EXPECT_EQ(verify().message.rfind("no manifest ", 0), 0u);

    writeText(avi + ".manifest.json", original);
    EXPECT_EQ(verify(dir.file("nokey.pem")).status, VerifyStatus::Damaged);
    writeText(dir.file("bad.pem"), "-----BEGIN PUBLIC KEY-----\nAAAA\n-----END PUBLIC KEY-----\n");
    EXPECT_EQ(verify(dir.file("bad.pem")).status, VerifyStatus::Damaged);
}

TEST_F(Manifests, ASourceTheManifestDoesNotNameFails) {
    ASSERT_TRUE(exportFrames({0}, {0}).ok);
    const std::string other = dir.file("other.zav");
    writeText(other, std::string(4096, 'c'));
    const auto r = verify(std::nullopt, other);
    EXPECT_EQ(r.status, VerifyStatus::Mismatch);
    EXPECT_EQ(r.message.rfind("source differs: " + other, 0), 0u) << r.message;
}

TEST_F(Manifests, SignedWithTheUsersKeyAndCheckedWithItsPublicHalf) {
    const std::string folder = evidence::settingsFolder();
    EXPECT_EQ(folder, dir.file("config") + "/Discoro");
    const auto keys = evidence::generateKeyPair(folder, false);
    ASSERT_TRUE(keys.ok) << keys.message;
    struct stat s {};
    ASSERT_EQ(::stat(keys.privatePath.c_str(), &s), 0);
    EXPECT_EQ(s.st_mode & 0777, 0600u);
    EXPECT_FALSE(evidence::generateKeyPair(folder, false).ok);  // an existing key is kept

    const auto written = exportFrames({0, 1, 2}, {0, 1, 2});
    ASSERT_TRUE(written.ok) << written.message;
    EXPECT_TRUE(written.isSigned);
    auto r = verify(keys.publicPath);
    ASSERT_EQ(r.status, VerifyStatus::Ok) << r.message;
    EXPECT_TRUE(r.signatureChecked);

    // Any field the hashes do not cover is still covered by the signature.
    const std::string original = readText(avi + ".manifest.json");
    editManifest("\"program\": \"test\"", "\"program\": \"tess\"");
    EXPECT_EQ(verify().status, VerifyStatus::Ok);
    EXPECT_EQ(verify().trust, evidence::Trust::SignedUnchecked);
    EXPECT_EQ(verify(keys.publicPath).message.rfind("signature does not match the manifest", 0), 0u);
    writeText(avi + ".manifest.json", original);

    // Another key.
    const auto other = evidence::generateKeyPair(dir.file("other"), false);
    ASSERT_TRUE(other.ok);
    r = verify(other.publicPath);
    EXPECT_EQ(r.status, VerifyStatus::Mismatch);
    EXPECT_EQ(r.message.rfind("signature: made with another key", 0), 0u) << r.message;

    // A manifest without a signature, checked with a key.
    auto unsigned_ = evidence::ManifestBuilder::fromBackup("test", backup, 2);
    unsigned_.setSigningKeyPath("");
    for (int i : {0, 1, 2})
        unsigned_.addFrame(timeOf(i), 1000 + i, picture(i));
    ASSERT_TRUE(unsigned_.write(avi).ok);
    r = verify(keys.publicPath);
    EXPECT_EQ(r.status, VerifyStatus::Ok) << r.message;
    EXPECT_EQ(r.trust, evidence::Trust::Unsigned);
}

TEST_F(Manifests, AReplacedKeyKeepsOldExportsVerifiableAndAnInterruptedOneEndsAsAPair) {
    const std::string folder = evidence::settingsFolder();
    const auto first = evidence::generateKeyPair(folder, false);
    ASSERT_TRUE(first.ok) << first.message;
    ASSERT_TRUE(exportFrames({0, 1}, {0, 1}).ok);
    const std::string firstPublic = readText(first.publicPath);
    const std::string firstFingerprint =
        evidence::Ed25519Key::load(first.publicPath, false, nullptr)->fingerprint();

    const auto second = evidence::generateKeyPair(folder, true);
    ASSERT_TRUE(second.ok) << second.message;
    EXPECT_EQ(second.archivedPublicPath, folder + "/" + evidence::archivedPublicKeyFile(firstFingerprint));
    EXPECT_EQ(readText(second.archivedPublicPath), firstPublic);
    EXPECT_EQ(verify(second.archivedPublicPath).status, VerifyStatus::Ok)
        << "the earlier export still verifies";
    EXPECT_NE(readText(second.publicPath), firstPublic);
    struct stat s {};
    ASSERT_EQ(::stat(second.privatePath.c_str(), &s), 0);
    EXPECT_EQ(s.st_mode & 0777, 0600u);

    // Cut short at each write: the first (the kept public key) leaves the old pair; a later one leaves
    // a private key that the next signature repairs the public key for.
    for (int step = 1; step <= 3; ++step) {
        const std::string privateBefore = readText(second.privatePath);
        std::optional<evidence::KeyFiles> cut;
        {
            dvr::fs::testing::ScopedFault fault(dvr::fs::testing::Step::Rename, EIO, step);
            cut = evidence::generateKeyPair(folder, true);
        }
        EXPECT_FALSE(cut->ok) << step;
        EXPECT_EQ(readText(second.privatePath) == privateBefore, step <= 2) << step;
        const auto written = exportFrames({0}, {0});
        ASSERT_TRUE(written.ok) << written.message;
        const auto privateKey = evidence::Ed25519Key::load(second.privatePath, true, nullptr);
        const auto publicKey = evidence::Ed25519Key::load(second.publicPath, false, nullptr);
        ASSERT_TRUE(privateKey && publicKey);
        EXPECT_EQ(publicKey->fingerprint(), privateKey->fingerprint()) << step;
        EXPECT_EQ(verify(second.publicPath).status, VerifyStatus::Ok) << step;
    }
}

TEST_F(Manifests, AStillPictureHasNoFrameList) {
    writeText(dir.file("s.jpg"), "\xff\xd8 picture \xff\xd9");
    const auto w =
        evidence::ManifestBuilder::fromBackup("test", backup, 0).writeStill(dir.file("s.jpg"), timeOf(5));
    ASSERT_TRUE(w.ok) << w.message;
    evidence::VerifyOptions o;
    o.filePath = dir.file("s.jpg");
    const auto r = evidence::verifyExport(o);
    ASSERT_EQ(r.status, VerifyStatus::Ok) << r.message;
    EXPECT_FALSE(r.manifest->hasFrames);
    EXPECT_EQ(r.manifest->firstPictureTime, timeOf(5));
    writeText(dir.file("s.jpg"), "\xff\xd8 pictura \xff\xd9");
    EXPECT_EQ(evidence::verifyExport(o).message, "file SHA-256 differs from the manifest");
    // A backup that cannot be read fails the write, with the reason.
    const auto missing = evidence::ManifestBuilder::fromBackup("test", dir.file("gone.zav"), 0)
                             .writeStill(dir.file("s.jpg"), timeOf(5));
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.message.find("gone.zav"), std::string::npos);
}

TEST_F(Manifests, TheTrustLevelSaysWhatTheSignatureProved) {
    const auto keys = evidence::generateKeyPair(evidence::settingsFolder(), false);
    ASSERT_TRUE(keys.ok) << keys.message;
    ASSERT_TRUE(exportFrames({0, 1, 2}, {0, 1, 2}).isSigned);
    evidence::VerifyOptions o;
    o.filePath = avi;
    auto r = evidence::verifyExport(o);
    ASSERT_EQ(r.status, VerifyStatus::Ok) << r.message;
    EXPECT_EQ(r.trust, evidence::Trust::SignedUnchecked);
    EXPECT_FALSE(r.signatureChecked);
    // The user's own keys are tried by fingerprint; one that cannot be read is passed over.
    o.knownKeyPaths = {dir.file("gone.pem"), keys.publicPath};
    r = evidence::verifyExport(o);
    ASSERT_EQ(r.status, VerifyStatus::Ok) << r.message;
    EXPECT_EQ(r.trust, evidence::Trust::Signed);
    EXPECT_EQ(r.keyPath, keys.publicPath);

    // A forgery: frame 1's picture replaced and every hash made again, the old signature kept.
    evidence::Manifest m = readManifest();
    writeAvi({0, 5, 2});
    m.frames[1].sha256 = evidence::hexOf(evidence::sha256(picture(5)));
    forge(m);
    r = evidence::verifyExport(o);
    EXPECT_EQ(r.status, VerifyStatus::Mismatch);
    EXPECT_EQ(r.message.rfind("signature does not match the manifest", 0), 0u) << r.message;
    // The same forgery naming the key in capitals is still checked against the user's key.
    evidence::Manifest shouting = m;
    for (char& c : shouting.keyFingerprint)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    forge(shouting);
    r = evidence::verifyExport(o);
    EXPECT_EQ(r.status, VerifyStatus::Mismatch);
    EXPECT_EQ(r.message.rfind("signature does not match the manifest", 0), 0u) << r.message;
    forge(m);
    o.knownKeyPaths.clear();
    r = evidence::verifyExport(o);
    EXPECT_EQ(r.status, VerifyStatus::Ok) << r.message;  // every hash holds: only the signature could tell
    EXPECT_EQ(r.trust, evidence::Trust::SignedUnchecked);
    o.requireSignature = true;
    r = evidence::verifyExport(o);
    EXPECT_EQ(r.status, VerifyStatus::Mismatch);
    EXPECT_EQ(r.message, "a signature is required: no key here for " + m.keyFingerprint);

    // Stripping the signature gains nothing: unsigned, refused when a signature is required.
    m.signature.clear();
    m.keyFingerprint.clear();
    forge(m);
    r = evidence::verifyExport(o);
    EXPECT_EQ(r.status, VerifyStatus::Mismatch);
    EXPECT_EQ(r.message, "a signature is required: the manifest is not signed");
    o.requireSignature = false;
    r = evidence::verifyExport(o);
    EXPECT_EQ(r.status, VerifyStatus::Ok);
    EXPECT_EQ(r.trust, evidence::Trust::Unsigned);
}

TEST_F(Manifests, SettingsAndChannelNameAreSigned) {
    const auto keys = evidence::generateKeyPair(evidence::settingsFolder(), false);
    ASSERT_TRUE(keys.ok) << keys.message;
    writeAvi({0, 1});
    auto builder = evidence::ManifestBuilder::fromBackup("test", backup, 2);
    builder.setSettings({360, 240, 10, "pictures", true, 70, 2});
    builder.setChannelName("Gate");
    evidence::Digest source{};
    source[0] = 7;
    for (int i : {0, 1})
        builder.addFrame(timeOf(i), 1000 + i, picture(i), source);
    ASSERT_TRUE(builder.write(avi).ok);
    const evidence::Manifest m = readManifest();
    ASSERT_TRUE(m.settings);
    EXPECT_EQ(m.settings->threads, 2);
    EXPECT_EQ(m.channelName, "Gate");
    EXPECT_EQ(m.frames[1].sourceSha256, evidence::hexOf(source));
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"\"threads\": 2", "\"threads\": 3"},
                                   {"\"channelName\": \"Gate\"", "\"channelName\": \"Door\""},
                                   {"\"stamp\": true", "\"stamp\": false"}}) {
        const std::string original = readText(avi + ".manifest.json");
        editManifest(from, to);
        EXPECT_EQ(verify(keys.publicPath).message.rfind("signature does not match", 0), 0u) << from;
        writeText(avi + ".manifest.json", original);
    }
    // The source picture's hash is inside the chain text.
    editManifest(evidence::hexOf(source), std::string(64, 'f'));
    EXPECT_EQ(verify().message.rfind("frame 0 (" + timeOf(0) + "): the chain hash", 0), 0u)
        << verify().message;
}

TEST_F(Manifests, AVersionOneManifestStillVerifies) {
    ASSERT_TRUE(exportFrames({0, 1, 2}, {0, 1, 2}).ok);
    evidence::Manifest m = readManifest();
    m.formatVersion = 1;
    for (auto& f : m.frames)
        f.sourceSha256.clear();
    forge(m);
    const std::string text = readText(avi + ".manifest.json");
    EXPECT_EQ(text.find("sourceSha256"), std::string::npos);
    EXPECT_EQ(text.find("settings"), std::string::npos);
    auto r = verify();
    ASSERT_EQ(r.status, VerifyStatus::Ok) << r.message;
    EXPECT_EQ(r.manifest->formatVersion, 1);
    EXPECT_EQ(r.manifest->frames.size(), 3u);
    // Its entries are not entries of version 2.
    editManifest("\"formatVersion\": 1", "\"formatVersion\": 2");
    r = verify();
    EXPECT_EQ(r.status, VerifyStatus::Damaged);
    EXPECT_NE(r.message.find("sourceSha256 is missing"), std::string::npos) << r.message;
}

TEST_F(Manifests, AddedKeysAreAMismatchAndARenamedFileANote) {
    ASSERT_TRUE(exportFrames({0, 1}, {0, 1}).ok);
    const std::string original = readText(avi + ".manifest.json");
    editManifest("\"user\": ", "\"approvedBy\": \"someone\",\n  \"user\": ");
    auto r = verify();
    EXPECT_EQ(r.status, VerifyStatus::Mismatch);
    EXPECT_EQ(r.message, "the manifest holds a key its version does not know: approvedBy");
    writeText(avi + ".manifest.json", original);
    editManifest("\"chain\": ", "\"note\": 1, \"chain\": ");
    EXPECT_EQ(verify().message, "the manifest holds a key its version does not know: frames[0].note");

    writeText(avi + ".manifest.json", original);
    std::filesystem::rename(avi, dir.file("renamed.avi"));
    std::filesystem::rename(avi + ".manifest.json", dir.file("renamed.avi.manifest.json"));
    avi = dir.file("renamed.avi");
    r = verify();
    ASSERT_EQ(r.status, VerifyStatus::Ok) << r.message;
    EXPECT_EQ(r.notes, std::vector<std::string>{"renamed: the manifest names the file clip.avi"});
}

// Inputs made to exhaust time or memory end at once with exit 2.
// An export signed when it was made, with every control character, quotes, backslashes, DEL and UTF-8
// in its texts: it verifies with its key as stored, and the manifest read back is written again byte for
// byte (so the text its signature covers is made the same way).
TEST_F(Manifests, AStoredSignedManifestVerifiesAndIsWrittenBackByteForByte) {
    const std::string folder = std::string(DVR_EVIDENCE_DATA) + "/signed";
    evidence::VerifyOptions o;
    o.filePath = folder + "/clip.avi";
    o.publicKeyPath = folder + "/manifest-key.pub.pem";
    o.requireSignature = true;
    const evidence::VerifyOutcome r = evidence::verifyExport(o);
    ASSERT_EQ(r.status, VerifyStatus::Ok) << r.message;
    EXPECT_EQ(r.trust, evidence::Trust::Signed);
    ASSERT_TRUE(r.manifest);
    std::string controls;
    for (int c = 1; c < 0x20; ++c)
        controls.push_back(char(c));
    EXPECT_EQ(r.manifest->user, "controls:" + controls);
    EXPECT_EQ(r.manifest->program, std::string("Discoro \"q\" back\\slash\0nul", 26));
    EXPECT_EQ(r.manifest->channelName,
              "Entr\xc3\xa9"
              "e / \"door\" \x1b[0m");
    EXPECT_EQ(r.manifest->frames.size(), 3u);

    const std::string stored = readText(folder + "/clip.avi.manifest.json");
    const auto parsed = evidence::parseManifest(stored);
    ASSERT_TRUE(parsed.manifest) << parsed.error;
    EXPECT_EQ(evidence::manifestJson(*parsed.manifest), stored);
}

TEST_F(Manifests, HostileFilesEndFastAsDamaged) {
    const auto hostile = dvr::testing::selfReferencingAvi();
    writeText(avi, std::string(hostile.begin(), hostile.end()));
    evidence::Manifest m;
    m.hasFrames = true;
    m.source.sha256 = std::string(64, '0');
    m.fileName = "clip.avi";
    forge(m);
    auto r = verify();
    EXPECT_EQ(r.status, VerifyStatus::Damaged);
    EXPECT_EQ(r.message, "the file is not a readable AVI file: frame 1 does not follow the frame before it");

    // A manifest larger than any the file could need is not read.
    writeText(avi + ".manifest.json", std::string(evidence::manifestSizeLimit(hostile.size()) + 1, ' '));
    r = verify();
    EXPECT_EQ(r.status, VerifyStatus::Damaged);
    EXPECT_NE(r.message.find("more than a file of"), std::string::npos) << r.message;

    // A long list where frame entries belong ends at its first item; a long list elsewhere at the
    // few thousandth value.
    std::string list;
    for (int i = 0; i < 200000; ++i)
        list += "0,";
    list += "0";
    writeText(avi + ".manifest.json", "{\"format\": \"dvr-export-manifest\", \"frames\": [" + list + "]}");
    r = verify();
    EXPECT_EQ(r.status, VerifyStatus::Damaged);
    EXPECT_NE(r.message.find("frames[0] is not an object"), std::string::npos) << r.message;
    writeText(avi + ".manifest.json", "{\"format\": \"dvr-export-manifest\", \"user\": [" + list + "]}");
    r = verify();
    EXPECT_EQ(r.status, VerifyStatus::Damaged);
    EXPECT_NE(r.message.find("too many values"), std::string::npos) << r.message;
}

}  // namespace
