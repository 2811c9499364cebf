#include "common/evidence/ManifestBuilder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "common/evidence/Signing.h"
#include "common/fs/AtomicFile.h"
#include "common/json/Json.h"

#ifndef DVR_SUITE_VERSION
#define DVR_SUITE_VERSION "0"
#endif

namespace dvr::evidence {

namespace {

// Text the strict reader will take back: bytes that are not UTF-8 (a file name in another encoding)
// become '?'.
std::string readableText(std::string text) {
    if (parseJson(jsonString(text)).value)
        return text;
    for (char& c : text)
        if (uint8_t(c) >= 0x80)
            c = '?';
    return text;
}

std::string userName() {
    std::string name;
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name)
        name = entry->pw_name;
    else if (const char* user = std::getenv("USER"))
        name = user;
    return readableText(name);
}

std::string hostName() {
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return readableText(name);
}

std::string utcNow() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

std::string baseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

}  // namespace

std::string suiteVersion() {
    return DVR_SUITE_VERSION;
}

ManifestBuilder::ManifestBuilder(std::string program, std::string programVersion) {
    m_manifest.program = std::move(program);
    m_manifest.programVersion = std::move(programVersion);
    m_manifest.channelName = "CH1";
    const std::string folder = settingsFolder();
    if (!folder.empty())
        m_keyPath = folder + "/" + std::string(kPrivateKeyFile);
}

ManifestBuilder ManifestBuilder::fromBackup(std::string program, const std::string& backupPath, int channel,
                                            const SourceDigest* digests) {
    ManifestBuilder b(std::move(program));
    b.m_manifest.channel = channel;
    b.m_manifest.channelName = "CH" + std::to_string(channel + 1);
    b.m_manifest.source.kind = ManifestSource::Kind::Backup;
    b.m_manifest.source.path = readableText(backupPath);
    std::string reason;
    if (const auto digest = digests ? digests->of(backupPath, &reason) : sha256OfFile(backupPath, &reason)) {
        b.m_manifest.source.sizeBytes = digest->sizeBytes;
        b.m_manifest.source.sha256 = hexOf(digest->digest);
    } else {
        b.m_sourceError = backupPath + ": " + reason;
    }
    return b;
}

ManifestBuilder ManifestBuilder::fromRecorder(std::string program, std::string address, int port,
                                              std::string version, int channel) {
    ManifestBuilder b(std::move(program));
    b.m_manifest.channel = channel;
    b.m_manifest.channelName = "CH" + std::to_string(channel + 1);
    b.m_manifest.source.kind = ManifestSource::Kind::Recorder;
    b.m_manifest.source.address = readableText(std::move(address));
    b.m_manifest.source.port = port;
    b.m_manifest.source.version = readableText(std::move(version));
    return b;
}

void ManifestBuilder::setChannelName(std::string name) {
    m_manifest.channelName = readableText(std::move(name));
}

void ManifestBuilder::addFrame(const std::string& time, int64_t sourcePosition, std::span<const uint8_t> jpeg,
                               const std::optional<Digest>& sourceDigest) {
    addFrameDigest(time, sourcePosition, sha256(jpeg), sourceDigest);
}

void ManifestBuilder::addFrameDigest(const std::string& time, int64_t sourcePosition,
                                     const Digest& jpegDigest, const std::optional<Digest>& sourceDigest) {
    std::vector<ManifestFrame>& frames = m_manifest.frames;
    ManifestFrame f;
    f.index = uint32_t(frames.size());
    f.time = readableText(time);
    f.sourcePosition = sourcePosition;
    f.sha256 = hexOf(jpegDigest);
    if (sourceDigest)
        f.sourceSha256 = hexOf(*sourceDigest);
    f.chain =
        chainHash(frames.empty() ? firstPreviousChain() : frames.back().chain, f, m_manifest.formatVersion);
    frames.push_back(std::move(f));
    m_manifest.hasFrames = true;
}

ManifestWrite ManifestBuilder::write(const std::string& exportedPath) {
    Manifest& m = m_manifest;
    m.hasFrames = true;
    if (!m.frames.empty()) {
        m.firstPictureTime = m.frames.front().time;
        m.lastPictureTime = m.frames.back().time;
    }
    return finish(exportedPath);
}

ManifestWrite ManifestBuilder::writeStill(const std::string& exportedPath, const std::string& pictureTime) {
    m_manifest.hasFrames = false;
    m_manifest.frames.clear();
    m_manifest.settings.reset();
    m_manifest.firstPictureTime = m_manifest.lastPictureTime = readableText(pictureTime);
    return finish(exportedPath);
}

ManifestWrite ManifestBuilder::finish(const std::string& exportedPath) {
    ManifestWrite out;
    if (!m_sourceError.empty()) {
        out.message = m_sourceError;
        return out;
    }
    Manifest& m = m_manifest;
    std::string reason;
    const auto file = sha256OfFile(exportedPath, &reason);
    if (!file) {
        out.message = exportedPath + ": " + reason;
        return out;
    }
    m.fileName = readableText(baseName(exportedPath));
    m.fileSizeBytes = file->sizeBytes;
    m.fileSha256 = hexOf(file->digest);
    m.created = utcNow();
    m.user = userName();
    m.host = hostName();
    m.keyFingerprint.clear();
    m.signature.clear();
    struct stat keyStat {};
    if (!m_keyPath.empty() && ::stat(m_keyPath.c_str(), &keyStat) == 0) {
        const auto key = Ed25519Key::load(m_keyPath, true, &reason);
        if (!key) {
            out.message = "signing key " + reason;
            return out;
        }
        // The public key beside it is what others verify with; a mismatched one is rewritten.
        repairPublicKey(m_keyPath.substr(0, m_keyPath.find_last_of('/')), nullptr);
        m.keyFingerprint = key->fingerprint();
        m.signature = key->sign(signedText(m));
        if (m.signature.empty()) {
            out.message = "cannot sign with " + m_keyPath;
            return out;
        }
        out.isSigned = true;
    }
    out.path = manifestPathOf(exportedPath);
    fs::AtomicFile::Options options;
    options.makeFolder = false;  // beside the exported file
    const fs::FileResult written = fs::AtomicFile::write(out.path, manifestJson(m), options);
    if (!written.ok) {
        out.message = written.describe();
        return out;
    }
    out.ok = true;
    return out;
}

}  // namespace dvr::evidence
