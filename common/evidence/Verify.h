#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/evidence/Manifest.h"

namespace dvr::evidence {

// Checks that a frame came from the source record its entry names (decoding lives outside this
// library).
class SourceRecordCheck {
public:
    virtual ~SourceRecordCheck() = default;
    // Empty when the record at the entry's source position decodes to a picture of the channel with the
    // entry's time; otherwise what differs.
    virtual std::string check(const ManifestFrame& frame, int channel) = 0;
};

struct VerifyOptions {
    std::string filePath;                        // the exported file; its manifest lies beside it
    std::optional<std::string> sourcePath;       // the backup file the export should come from
    SourceRecordCheck* sourceRecords = nullptr;  // with sourcePath: checks each frame's record
    std::optional<std::string> publicKeyPath;
};

enum class VerifyStatus {
    Ok = 0,
    Mismatch = 1,  // the file, its frames, the source or the signature do not match the manifest
    Damaged = 2,   // the manifest or the key is missing or damaged
};

struct VerifyOutcome {
    VerifyStatus status = VerifyStatus::Damaged;
    std::string message;  // the first mismatch or the damage, when not Ok
    std::optional<Manifest> manifest;
    bool signatureChecked = false;
    bool sourceChecked = false;
};

// Reads FILE.manifest.json and checks the file against it: size and SHA-256; for AVI exports every
// frame's SHA-256 and the chain of entries, found through the file's own index; the first and last
// picture times; with a source, the backup file's size and SHA-256 and each frame's record; with a key,
// the signature.
VerifyOutcome verifyExport(const VerifyOptions& options);

}  // namespace dvr::evidence
