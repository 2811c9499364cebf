#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dvr::evidence {

inline constexpr int kManifestFormatVersion = 2;
inline constexpr std::string_view kManifestFormat = "dvr-export-manifest";
inline constexpr std::string_view kManifestSuffix = ".manifest.json";

// Where the exported pictures came from.
struct ManifestSource {
    enum class Kind { Backup, Recorder };
    Kind kind = Kind::Backup;
    // Backup file:
    std::string path;
    uint64_t sizeBytes = 0;
    std::string sha256;  // hex
    // Recorder:
    std::string address;
    int port = 0;
    std::string version;  // the recorder's version text
    friend bool operator==(const ManifestSource&, const ManifestSource&) = default;
};

// One frame of an AVI export.
struct ManifestFrame {
    uint32_t index = 0;
    std::string time;            // the picture time, "YYYY-MM-DD HH:MM:SS"
    int64_t sourcePosition = 0;  // record offset in the backup file, or the recorder's playback position
    std::string sha256;          // hex, of the frame's JPEG bytes
    // Version 2: hex SHA-256 of the source record's picture codestream the frame was made from; empty
    // when not known (no source record).
    std::string sourceSha256;
    std::string chain;  // hex, see chainHash
    friend bool operator==(const ManifestFrame&, const ManifestFrame&) = default;
};

// How an AVI export was made (version 2, signed).
struct ManifestSettings {
    int width = 0;
    int height = 0;
    int framesPerSecond = 0;
    std::string pace;  // "pictures", "real" or "capture" (frames taken at a fixed rate off the screen)
    bool stamp = false;
    int jpegQuality = 0;
    int threads = 0;
    friend bool operator==(const ManifestSettings&, const ManifestSettings&) = default;
};

struct Manifest {
    int formatVersion = kManifestFormatVersion;
    std::string program;
    std::string programVersion;
    std::string created;  // UTC, "YYYY-MM-DDTHH:MM:SSZ"
    std::string user;
    std::string host;
    ManifestSource source;
    int channel = 0;                           // 0-based
    std::string channelName;                   // the user's name for it (signed from version 2)
    std::optional<ManifestSettings> settings;  // version 2 AVI exports
    std::string firstPictureTime;
    std::string lastPictureTime;
    std::string fileName;  // the exported file's name, without folder
    uint64_t fileSizeBytes = 0;
    std::string fileSha256;
    bool hasFrames = false;  // an AVI export: frames lists every frame
    std::vector<ManifestFrame> frames;
    std::string keyFingerprint;  // hex SHA-256 of the raw Ed25519 public key; empty when not signed
    std::string signature;       // hex Ed25519 signature of signedText; empty when not signed
    friend bool operator==(const Manifest&, const Manifest&) = default;
};

// The manifest's path for an exported file: the file's path with ".manifest.json" appended.
std::string manifestPathOf(const std::string& exportedPath);

// The chain hash of a frame entry: hex SHA-256 of the text
// "<previous chain hex>\n<index>\n<time>\n<source position>\n<frame sha256 hex>", followed in version 2
// by "\n<source sha256 hex>", where the first frame's previous chain is 64 zeros.
std::string chainHash(std::string_view previousChain, const ManifestFrame& frame,
                      int formatVersion = kManifestFormatVersion);
std::string firstPreviousChain();

// The bytes the signature covers: one line per field, see docs/manifest.md.
std::string signedText(const Manifest& manifest);

// The manifest as JSON text (one frame entry a line), ending with a line feed.
std::string manifestJson(const Manifest& manifest);

struct ManifestParse {
    std::optional<Manifest> manifest;
    std::string error;  // what is damaged, when manifest is empty
    // A key the manifest's version does not know (the first, with its place), when manifest is read:
    // someone added it after the fact.
    std::string unknownKey;
};
// Reads a manifest of version 1 or 2: strict JSON, every field present with its type, hashes as 64 hex
// digits, picture times of at most 64 characters. Frame entries become the frame list as
// they are read; the rest of the document may hold at most a few thousand JSON values.
ManifestParse parseManifest(std::string_view text);

// The largest manifest text read for an exported file of the given size: 64 KiB plus 512 bytes for
// every frame the file could hold (a frame takes at least 8 bytes), at most 1 GiB.
uint64_t manifestSizeLimit(uint64_t exportedFileBytes);

}  // namespace dvr::evidence
