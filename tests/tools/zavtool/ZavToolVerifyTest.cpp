// zavtool export writes a manifest that zavtool verify accepts; keygen, signatures, sources and every
// kind of damage end in the right exit status and message.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "common/evidence/AviReader.h"
#include "common/evidence/Manifest.h"
#include "common/evidence/Sha256.h"
#include "tests/common/evidence/HostileAvi.h"
#include "tests/common/export/AviCheck.h"

namespace {

using namespace dvr::testing;
using dvr::testsupport::TempFolder;
namespace evidence = dvr::evidence;

std::string program(const char* name) {
    const char* dir = std::getenv("DVR_BIN_DIR");
    return std::string(dir ? dir : DVR_BIN_DIR_DEFAULT) + "/" + name;
}

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeAll(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class ZavToolVerify : public ::testing::Test {
protected:
    TempFolder dir;
    std::string file = dir.file("f.zav");
    std::string avi = dir.file("clip.avi");

    // zavtool with a settings folder of its own; standard error joins the output.
    CommandOutcome zavtool(const std::string& args, const std::string& config = "config") {
        return runCommand("HOME=" + dir.file("home") + " XDG_CONFIG_HOME=" + dir.file(config) + " " +
                          program("zavtool") + " " + args + " 2>&1");
    }
    void generate(const std::string& path, const std::string& options) {
        ASSERT_EQ(runCommand(program("zavgen") + " " + path + " " + options + " >/dev/null 2>&1").status, 0);
    }
    void exportClip(const std::string& args, const std::string& out) {
        const CommandOutcome r = zavtool("export " + file + " --out " + out + " --no-stamp " + args);
        ASSERT_EQ(r.status, 0) << r.out;
    }
    // The chain made again after entries were edited, as a forger would.
    static void rechain(evidence::Manifest& m) {
        std::string previous = evidence::firstPreviousChain();
        for (auto& f : m.frames) {
            f.chain = evidence::chainHash(previous, f, m.formatVersion);
            previous = f.chain;
        }
    }
    evidence::Manifest manifest(const std::string& path) {
        const auto parsed = evidence::parseManifest(readAll(path + ".manifest.json"));
        EXPECT_TRUE(parsed.manifest) << parsed.error;
        return parsed.manifest.value_or(evidence::Manifest{});
    }
};

TEST_F(ZavToolVerify, EveryExportVerifiesWithItsSource) {
    generate(file, "--channels 4 --layout quad --duration 60 --interval 2");
    struct Case {
        const char* name;
        const char* args;
    };
    for (const Case c :
         {Case{"pictures", "--channel 2 --threads 2"}, Case{"real", "--channel 1 --pace real --fps 4"},
          Case{"range", "--channel 2 --from \"2026-05-17 12:00:10\" --to \"2026-05-17 12:00:20\""}}) {
        SCOPED_TRACE(c.name);
        const std::string out = dir.file(std::string(c.name) + ".avi");
        exportClip(c.args, out);
        const evidence::Manifest m = manifest(out);
        EXPECT_EQ(long(m.frames.size()), probeAvi(out).frames);
        EXPECT_EQ(m.source.path, file);
        const CommandOutcome r = zavtool("verify " + out + " --source " + file);
        EXPECT_EQ(r.status, 0) << r.out;
        EXPECT_EQ(r.out.rfind("INTEGRITY OK, UNSIGNED (shows no accidental damage, not who made it)\n", 0),
                  0u)
            << r.out;
        EXPECT_NE(r.out.find("(checked: every frame's source picture)"), std::string::npos) << r.out;
    }
    // Real pace repeats pictures (a picture every two seconds at four frames a second): repeated frames
    // name the same record and time.
    const evidence::Manifest real = manifest(dir.file("real.avi"));
    ASSERT_GE(real.frames.size(), 9u);
    EXPECT_EQ(real.frames[7].sourcePosition, real.frames[0].sourcePosition);
    EXPECT_EQ(real.frames[7].time, real.frames[0].time);
    EXPECT_NE(real.frames[8].sourcePosition, real.frames[0].sourcePosition);
    EXPECT_NE(real.frames[8].time, real.frames[0].time);
    EXPECT_EQ(manifest(dir.file("range.avi")).firstPictureTime, "2026-05-17 12:00:10");
}

TEST_F(ZavToolVerify, AStillPictureVerifiesAndAChangedByteFails) {
    generate(file, "--channels 4 --duration 20 --interval 2");
    const std::string still = dir.file("s.jpg");
    const CommandOutcome made = zavtool("still " + file + " --channel 2 --filter bright --out " + still);
    ASSERT_EQ(made.status, 0) << made.out;
    const evidence::Manifest m = manifest(still);
    EXPECT_FALSE(m.hasFrames);
    EXPECT_EQ(m.channel, 2);
    EXPECT_EQ(m.firstPictureTime, "2026-05-17 12:00:00");
    CommandOutcome r = zavtool("verify " + still + " --source " + file);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("one picture of channel 2 (CH3)"), std::string::npos) << r.out;
    std::string bytes = readAll(still);
    bytes[bytes.size() / 2] ^= 0x10;
    writeAll(still, bytes);
    r = zavtool("verify " + still);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("file SHA-256 differs"), std::string::npos) << r.out;
}

TEST_F(ZavToolVerify, DamageIsTheFirstMismatchWithExitOne) {
    generate(file, "--channels 4 --duration 30 --interval 2");
    exportClip("--channel 1", avi);
    const std::string original = readAll(avi);
    const auto frames = evidence::readAviFrames(
        std::span(reinterpret_cast<const uint8_t*>(original.data()), original.size()));
    ASSERT_TRUE(frames.frames) << frames.error;
    ASSERT_GE(frames.frames->frames.size(), 4u);
    const evidence::Manifest m = manifest(avi);

    std::string flipped = original;
    flipped[frames.frames->frames[3].offsetBytes + 100] ^= 0x20;
    writeAll(avi, flipped);
    CommandOutcome r = zavtool("verify " + avi);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "MISMATCH: " + avi + ": frame 3 (" + m.frames[3].time +
                         "): the picture differs from the manifest\n");

    writeAll(avi, original.substr(0, original.size() / 2));
    r = zavtool("verify " + avi);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("file size differs"), std::string::npos) << r.out;

    // The manifest's times edited.
    writeAll(avi, original);
    std::string text = readAll(avi + ".manifest.json");
    const std::string manifestText = text;
    const size_t at = text.find("\"time\": \"" + m.frames[2].time);
    ASSERT_NE(at, std::string::npos);
    text[at + 26] = text[at + 26] == '1' ? '2' : '1';  // a digit of the hour
    writeAll(avi + ".manifest.json", text);
    r = zavtool("verify " + avi + " --json");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("\"ok\": false, \"status\": 1"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("frame 2 ("), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("chain hash"), std::string::npos) << r.out;

    // A damaged or missing manifest, a missing key: exit 2 with a message, never a crash.
    writeAll(avi + ".manifest.json", manifestText.substr(0, 300));
    r = zavtool("verify " + avi);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("damaged manifest"), std::string::npos) << r.out;
    std::filesystem::remove(avi + ".manifest.json");
    r = zavtool("verify " + avi);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("no manifest"), std::string::npos) << r.out;
    writeAll(avi + ".manifest.json", manifestText);
    r = zavtool("verify " + avi + " --key " + dir.file("none.pem"));
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(zavtool("verify " + avi).status, 0);
}

TEST_F(ZavToolVerify, SourcesAreCheckedFileAndRecord) {
    generate(file, "--channels 4 --duration 30 --interval 2");
    exportClip("--channel 1", avi);
    // Another backup file: not the one the manifest names.
    const std::string other = dir.file("other.zav");
    generate(other, "--channels 4 --duration 32 --interval 2");
    CommandOutcome r = zavtool("verify " + avi + " --source " + other);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("source differs"), std::string::npos) << r.out;

    // A manifest, chain intact, whose frame names a record of another channel.
    exportClip("--channel 3", dir.file("three.avi"));
    const evidence::Manifest original = manifest(avi);
    evidence::Manifest m = original;
    m.frames[1].sourcePosition = manifest(dir.file("three.avi")).frames[1].sourcePosition;
    rechain(m);
    writeAll(avi + ".manifest.json", evidence::manifestJson(m));
    EXPECT_EQ(zavtool("verify " + avi).status, 0);  // without the source nothing is wrong
    r = zavtool("verify " + avi + " --source " + file);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "MISMATCH: " + avi + ": frame 1 (" + m.frames[1].time + "): the record at " +
                         std::to_string(m.frames[1].sourcePosition) + " holds another picture\n");
}

// A quad file keeps each picture as two field records of the same channels and second; the second
// field is never shown. With the second field's picture bytes made different, an entry moved to it
// still names the right channel and time, but not the picture the frame was made from.
TEST_F(ZavToolVerify, AnotherRecordOfTheSameChannelAndSecondIsNotTheSource) {
    generate(file, "--channels 4 --layout quad --duration 60 --interval 2");
    const CommandOutcome frames = zavtool("frames " + file + " --json");
    ASSERT_EQ(frames.status, 0) << frames.out;
    const std::regex line(R"re(\{"offset": (\d+), "channel": \d+, "time": "([^"]+)", "field": 1)re");
    std::map<int64_t, std::string> secondFields;  // by offset
    for (auto it = std::sregex_iterator(frames.out.begin(), frames.out.end(), line);
         it != std::sregex_iterator(); ++it)
        secondFields[std::stoll((*it)[1])] = (*it)[2];
    ASSERT_GE(secondFields.size(), 2u) << frames.out;
    const auto [other, time] = *std::next(secondFields.begin());
    std::string backup = readAll(file);
    backup[size_t(other) + 512 + 16 + 200] ^= 0x01;  // inside the second field's codestream
    writeAll(file, backup);

    exportClip("--channel 1", avi);
    evidence::Manifest m = manifest(avi);
    ASSERT_GE(m.frames.size(), 3u);
    ASSERT_EQ(m.frames[1].time, time);
    ASSERT_NE(m.frames[1].sourcePosition, other);
    EXPECT_EQ(zavtool("verify " + avi + " --source " + file).status, 0);
    m.frames[1].sourcePosition = other;
    rechain(m);
    writeAll(avi + ".manifest.json", evidence::manifestJson(m));
    const CommandOutcome r = zavtool("verify " + avi + " --source " + file);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_EQ(r.out, "MISMATCH: " + avi + ": frame 1 (" + time + "): the record at " + std::to_string(other) +
                         " holds another picture\n");
}

TEST_F(ZavToolVerify, KeygenSignsLaterExportsAndAnotherKeyFails) {
    generate(file, "--channels 4 --duration 20 --interval 2");
    CommandOutcome r = zavtool("keygen");
    ASSERT_EQ(r.status, 0) << r.out;
    const std::string key = dir.file("config/Discoro/manifest-key.pem");
    const std::string publicKey = dir.file("config/Discoro/manifest-key.pub.pem");
    struct stat s {};
    ASSERT_EQ(::stat(key.c_str(), &s), 0);
    EXPECT_EQ(s.st_mode & 0777, 0600u);
    EXPECT_NE(zavtool("keygen").status, 0);  // the key is kept
    const std::string kept = readAll(key);
    ASSERT_EQ(zavtool("keygen --force").status, 0);
    EXPECT_NE(readAll(key), kept);

    exportClip("--channel 0", avi);
    EXPECT_FALSE(manifest(avi).signature.empty());
    r = zavtool("verify " + avi + " --key " + publicKey);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("signature: good"), std::string::npos) << r.out;

    ASSERT_EQ(zavtool("keygen", "other").status, 0);
    r = zavtool("verify " + avi + " --key " + dir.file("other/Discoro/manifest-key.pub.pem"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("made with another key"), std::string::npos) << r.out;
}

// A replaced key is kept beside the new one, so an export signed before the replacement is still
// checked by the user's own keys, without --key.
TEST_F(ZavToolVerify, ExportsSignedBeforeAKeyWasReplacedStillVerifyAsSigned) {
    generate(file, "--channels 4 --duration 20 --interval 2");
    ASSERT_EQ(zavtool("keygen").status, 0);
    exportClip("--channel 0", avi);
    const std::string fingerprint = manifest(avi).keyFingerprint;
    ASSERT_FALSE(fingerprint.empty());
    const CommandOutcome replaced = zavtool("keygen --force");
    ASSERT_EQ(replaced.status, 0) << replaced.out;
    EXPECT_TRUE(std::filesystem::exists(dir.file("config/Discoro/manifest-key." + fingerprint + ".pub.pem")));

    const CommandOutcome r = zavtool("verify " + avi);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')), "INTEGRITY OK, SIGNED by " + fingerprint) << r.out;
}

// Every line names the trust reached; the user's own key catches a forgery that keeps an old signature.
TEST_F(ZavToolVerify, ARehashedForgeryIsCaughtByTheUsersKeyAndNeverCalledSigned) {
    generate(file, "--channels 4 --duration 20 --interval 2");
    ASSERT_EQ(zavtool("keygen").status, 0);
    exportClip("--channel 0", avi);
    const evidence::Manifest m = manifest(avi);
    ASSERT_FALSE(m.signature.empty());
    CommandOutcome r = zavtool("verify " + avi);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.rfind("INTEGRITY OK, SIGNED by " + m.keyFingerprint + "\n", 0), 0u) << r.out;
    r = zavtool("verify " + avi, "elsewhere");  // a settings folder without the key
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.rfind("INTEGRITY OK, SIGNATURE NOT CHECKED (no key for " + m.keyFingerprint + ")\n", 0),
              0u)
        << r.out;

    // Frame 2's bytes changed, its hash, the chain and the file's hash made again; the signature kept.
    std::string bytes = readAll(avi);
    const auto frames =
        evidence::readAviFrames(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    ASSERT_TRUE(frames.frames);
    const evidence::AviFrame f = frames.frames->frames[2];
    bytes[f.offsetBytes + f.sizeBytes / 2] ^= 0x40;
    writeAll(avi, bytes);
    evidence::Manifest forged = m;
    forged.frames[2].sha256 = evidence::hexOf(evidence::sha256(
        std::span(reinterpret_cast<const uint8_t*>(bytes.data()) + f.offsetBytes, f.sizeBytes)));
    rechain(forged);
    forged.fileSha256 = evidence::hexOf(evidence::sha256(bytes));
    writeAll(avi + ".manifest.json", evidence::manifestJson(forged));

    r = zavtool("verify " + avi);
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("signature does not match the manifest"), std::string::npos) << r.out;
    r = zavtool("verify " + avi + " --json", "elsewhere");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("\"trust\": \"signed-unchecked\", \"signed\": false"), std::string::npos) << r.out;
    r = zavtool("verify " + avi + " --require-signature", "elsewhere");
    EXPECT_EQ(r.status, 1) << r.out;
    EXPECT_NE(r.out.find("a signature is required: no key here for "), std::string::npos) << r.out;
}

// An unsigned manifest is anybody's words: text in it that would move the terminal's cursor and rewrite
// the verdict above it is shown as escapes, never sent to the terminal as it is.
TEST_F(ZavToolVerify, ManifestTextCannotRewriteTheVerdictOnATerminal) {
    generate(file, "--channels 4 --duration 20 --interval 2");
    exportClip("--channel 1", avi);
    evidence::Manifest m = manifest(avi);
    ASSERT_TRUE(m.signature.empty());
    m.channelName = "CH2\x1b[2A\r\x1b[2KINTEGRITY OK, SIGNED by 0123abcd\n";
    writeAll(avi + ".manifest.json", evidence::manifestJson(m));
    const CommandOutcome r = zavtool("verify " + avi);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.find('\x1b'), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find('\r'), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("(CH2\\x1B[2A\\x0D\\x1B[2KINTEGRITY OK, SIGNED by 0123abcd\\x0A)"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.rfind("INTEGRITY OK, UNSIGNED", 0), 0u) << r.out;
}

// An AVI file of 384 KB whose indexes name one picture 288 million times, with a manifest that names
// the file: exit 2 at once, within a few hundred megabytes of address space.
TEST_F(ZavToolVerify, ASelfReferencingAviIsDamagedAndReadInBoundedMemory) {
    const std::vector<uint8_t> hostile = dvr::testing::selfReferencingAvi();
    writeAll(avi, std::string(hostile.begin(), hostile.end()));
    evidence::Manifest m;
    m.hasFrames = true;
    m.channelName = "CH1";
    m.source.sha256 = std::string(64, '0');
    m.fileName = "clip.avi";
    m.fileSizeBytes = hostile.size();
    m.fileSha256 = evidence::hexOf(evidence::sha256(hostile));
    writeAll(avi + ".manifest.json", evidence::manifestJson(m));
    const CommandOutcome r =
        runCommand("ulimit -v 400000; HOME=" + dir.file("home") + " XDG_CONFIG_HOME=" + dir.file("config") +
                   " " + program("zavtool") + " verify " + avi + " 2>&1");
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_EQ(r.out,
              "zavtool: the file is not a readable AVI file: frame 1 does not follow the frame before it\n");
}

}  // namespace
