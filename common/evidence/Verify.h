#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/evidence/Manifest.h"

namespace dvr::evidence {

// Checks that a frame came from the source record its entry names (the backup format lives outside
// this library).
class SourceRecordCheck {
public:
    virtual ~SourceRecordCheck() = default;
    // Empty when the record at the entry's source position is the entry's: from version 2 its picture
    // codestream has the entry's sourceSha256 and its time is the entry's; in version 1 it decodes to a
    // picture of the channel with the entry's time. Otherwise what differs.
    virtual std::string check(const ManifestFrame& frame, int channel, int formatVersion) = 0;
};

struct VerifyOptions {
    std::string filePath;                        // the exported file; its manifest lies beside it
    std::optional<std::string> sourcePath;       // the backup file the export should come from
    SourceRecordCheck* sourceRecords = nullptr;  // with sourcePath: checks each frame's record
    std::optional<std::string> publicKeyPath;
    // Without publicKeyPath: public keys tried when one has the manifest's key fingerprint (the user's
    // own, current and earlier ones). A file that cannot be read is passed over.
    std::vector<std::string> knownKeyPaths;
    bool requireSignature = false;  // anything but a checked signature is a mismatch
};

// How far the manifest can be trusted to say who made it, once its integrity is checked.
enum class Trust {
    Unsigned,         // no signature: shows accidental damage, not who made the export
    SignedUnchecked,  // signed, but no key here has its fingerprint
    Signed,           // the signature was checked against a key
};
// "unsigned", "signed-unchecked", "signed".
const char* trustName(Trust trust);

enum class VerifyStatus {
    Ok = 0,
    Mismatch = 1,  // the file, its frames, the source or the signature do not match the manifest
    Damaged = 2,   // the manifest, the key or the exported file is missing or damaged
};

struct VerifyOutcome {
    VerifyStatus status = VerifyStatus::Damaged;
    std::string message;  // the first mismatch or the damage, when not Ok
    std::optional<Manifest> manifest;
    Trust trust = Trust::Unsigned;
    std::string keyPath;  // the key the signature was checked with
    bool signatureChecked = false;
    bool sourceChecked = false;
    std::vector<std::string> notes;  // what differs without making the export doubtful (a renamed file)
};

// Reads FILE.manifest.json and checks the file against it: size and SHA-256; for AVI exports every
// frame's SHA-256 and the chain of entries, found through the file's own index; the first and last
// picture times; with a source, the backup file's size and SHA-256 and each frame's record; the
// signature with the key given, or with a known key of its fingerprint. Time and memory grow with the
// files' sizes only (the manifest may be at most manifestSizeLimit of the file).
VerifyOutcome verifyExport(const VerifyOptions& options);

// The same over a manifest's text and the exported file's bytes held in memory; options.filePath names
// the file (its name is compared with the manifest's).
VerifyOutcome verifyExportBytes(std::string_view manifestText, std::span<const uint8_t> file,
                                const VerifyOptions& options);

}  // namespace dvr::evidence
