#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "common/evidence/Manifest.h"
#include "common/evidence/Sha256.h"
#include "common/evidence/SourceDigest.h"

namespace dvr::evidence {

// The suite's version text, as the manifests name it.
std::string suiteVersion();

struct ManifestWrite {
    bool ok = false;
    std::string message;  // the reason, when not ok
    std::string path;     // the manifest written
    bool isSigned = false;
};

// Collects what an export knows while it runs and writes FILE.manifest.json beside the exported file.
// An AVI export adds each frame as it is written; a still picture gives its one picture time:
//     auto b = ManifestBuilder::fromBackup("zavtool", backupPath, channel);
//     b.addFrame(time, recordOffset, jpeg); ...  b.write(aviPath);
//     ManifestBuilder::fromBackup("Discoro", backupPath, channel).writeStill(jpegPath, time);
// Not shared between threads.
class ManifestBuilder {
public:
    explicit ManifestBuilder(std::string program, std::string programVersion = suiteVersion());

    // Pictures from a backup file: its size and SHA-256 are taken now, from `digests` when given (which
    // may wait for its background work). A file that cannot be read makes write fail with the reason.
    static ManifestBuilder fromBackup(std::string program, const std::string& backupPath, int channel,
                                      const SourceDigest* digests = nullptr);
    // Pictures from a recorder (its address, port and version text).
    static ManifestBuilder fromRecorder(std::string program, std::string address, int port,
                                        std::string version, int channel);

    // The next frame of an AVI export: its picture time ("YYYY-MM-DD HH:MM:SS"), where it came from (the
    // record's offset in the backup file, or the recorder's playback position), its JPEG bytes and the
    // SHA-256 of the source record's codestream when known. A repeated frame is added again.
    void addFrame(const std::string& time, int64_t sourcePosition, std::span<const uint8_t> jpeg,
                  const std::optional<Digest>& sourceDigest = std::nullopt);
    // The same with the JPEG bytes' SHA-256 already known.
    void addFrameDigest(const std::string& time, int64_t sourcePosition, const Digest& jpegDigest,
                        const std::optional<Digest>& sourceDigest = std::nullopt);
    // How the export was made; signed with the rest.
    void setSettings(const ManifestSettings& settings) { m_manifest.settings = settings; }
    // The user's name for the channel (by default "CH" and the channel + 1).
    void setChannelName(std::string name);

    // The private key that signs; by default the user's key in the settings folder, when it exists.
    // Empty: never sign.
    void setSigningKeyPath(std::string path) { m_keyPath = std::move(path); }

    // Writes the manifest of an AVI export (the frames added so far) beside the exported file, through a
    // temporary file and a rename; hashes the exported file and signs when a key is there.
    ManifestWrite write(const std::string& exportedPath);
    // The same for a single picture of the given time: no frame list.
    ManifestWrite writeStill(const std::string& exportedPath, const std::string& pictureTime);

    const Manifest& manifest() const { return m_manifest; }

private:
    ManifestWrite finish(const std::string& exportedPath);

    Manifest m_manifest;
    std::string m_sourceError;
    std::string m_keyPath;
};

}  // namespace dvr::evidence
