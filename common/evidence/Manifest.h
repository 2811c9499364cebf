#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dvr::evidence {

inline constexpr int kManifestFormatVersion = 1;
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
    std::string chain;           // hex, see chainHash
    friend bool operator==(const ManifestFrame&, const ManifestFrame&) = default;
};

struct Manifest {
    int formatVersion = kManifestFormatVersion;
    std::string program;
    std::string programVersion;
    std::string created;  // UTC, "YYYY-MM-DDTHH:MM:SSZ"
    std::string user;
    std::string host;
    ManifestSource source;
    int channel = 0;  // 0-based
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
// "<previous chain hex>\n<index>\n<time>\n<source position>\n<frame sha256 hex>", where the first
// frame's previous chain is 64 zeros.
std::string chainHash(std::string_view previousChain, const ManifestFrame& frame);
std::string firstPreviousChain();

// The bytes the signature covers: one line per field, see docs/manifest.md.
std::string signedText(const Manifest& manifest);

// The manifest as JSON text (one frame entry a line), ending with a line feed.
std::string manifestJson(const Manifest& manifest);

struct ManifestParse {
    std::optional<Manifest> manifest;
    std::string error;  // what is damaged, when manifest is empty
};
// Reads a manifest: strict JSON, every field present with its type, hashes as 64 hex digits.
ManifestParse parseManifest(std::string_view text);

}  // namespace dvr::evidence
