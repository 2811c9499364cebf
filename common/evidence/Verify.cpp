#include "common/evidence/Verify.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "common/evidence/AviReader.h"
#include "common/evidence/Sha256.h"
#include "common/evidence/Signing.h"

#include "common/fs/SafeOpen.h"

namespace dvr::evidence {

namespace {

// A whole file mapped read-only.
class MappedFile {
public:
    explicit MappedFile(const std::string& path) {
        // Non-blocking and regular files only: a FIFO at the path cannot hang the verification.
        const int fd = fs::openInput(path, &m_error).release();
        if (fd < 0)
            return;
        struct stat s {};
        if (::fstat(fd, &s) != 0) {
            m_error = std::strerror(errno);
            ::close(fd);
            return;
        }
        m_size = size_t(s.st_size);
        m_ok = true;
        if (m_size > 0) {
            void* p = ::mmap(nullptr, m_size, PROT_READ, MAP_PRIVATE, fd, 0);
            if (p == MAP_FAILED) {
                m_error = std::strerror(errno);
                m_ok = false;
                m_size = 0;
            } else {
                m_data = static_cast<const uint8_t*>(p);
                ::madvise(p, m_size, MADV_SEQUENTIAL);
            }
        }
        ::close(fd);
    }
    ~MappedFile() {
        if (m_data)
            ::munmap(const_cast<uint8_t*>(m_data), m_size);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    bool ok() const { return m_ok; }
    const std::string& error() const { return m_error; }
    std::span<const uint8_t> bytes() const { return {m_data, m_size}; }

private:
    const uint8_t* m_data = nullptr;
    size_t m_size = 0;
    bool m_ok = false;
    std::string m_error;
};

std::string frameName(const ManifestFrame& f) {
    return "frame " + std::to_string(f.index) + " (" + f.time + ")";
}

VerifyOutcome fail(VerifyOutcome& out, VerifyStatus status, std::string message) {
    out.status = status;
    out.message = std::move(message);
    return out;
}

std::string baseName(const std::string& path) {
    return path.substr(path.find_last_of('/') + 1);
}

// The AVI's frames against the entries: each frame's hash, then the entry's place in the chain. Sets
// `damaged` when the file is not an AVI file that can be read.
std::string checkFrames(const Manifest& m, std::span<const uint8_t> file, bool& damaged) {
    const AviRead avi = readAviFrames(file);
    if (!avi.frames) {
        damaged = true;
        return "the file is not a readable AVI file: " + avi.error;
    }
    const std::vector<AviFrame>& frames = avi.frames->frames;
    std::string previous = firstPreviousChain();
    const size_t common = std::min(frames.size(), m.frames.size());
    for (size_t i = 0; i < common; ++i) {
        const ManifestFrame& entry = m.frames[i];
        if (entry.index != i)
            return "frame entry " + std::to_string(i) + " carries index " + std::to_string(entry.index);
        const AviFrame& f = frames[i];
        if (hexOf(sha256(file.subspan(f.offsetBytes, f.sizeBytes))) != entry.sha256)
            return frameName(entry) + ": the picture differs from the manifest";
        if (chainHash(previous, entry, m.formatVersion) != entry.chain)
            return frameName(entry) +
                   ": the chain hash does not match the entry (entries edited, removed or "
                   "reordered)";
        previous = entry.chain;
    }
    if (frames.size() != m.frames.size())
        return "the file has " + std::to_string(frames.size()) + " frames, the manifest lists " +
               std::to_string(m.frames.size());
    if (!m.frames.empty() && m.firstPictureTime != m.frames.front().time)
        return "firstPictureTime differs from frame 0's time";
    if (!m.frames.empty() && m.lastPictureTime != m.frames.back().time)
        return "lastPictureTime differs from the last frame's time";
    return {};
}

// The signature: with the key given, or with a known key of the manifest's fingerprint.
void checkSignature(const Manifest& m, const std::optional<Ed25519Key>& given, const VerifyOptions& o,
                    VerifyOutcome& out) {
    if (m.signature.empty()) {
        out.trust = Trust::Unsigned;
        return;
    }
    std::optional<Ed25519Key> key;
    std::string keyPath;
    if (given) {
        if (m.keyFingerprint != given->fingerprint()) {
            fail(out, VerifyStatus::Mismatch,
                 "signature: made with another key (fingerprint " + m.keyFingerprint + ")");
            return;
        }
        key = given;
        keyPath = *o.publicKeyPath;
    } else {
        for (const std::string& path : o.knownKeyPaths) {
            std::optional<Ed25519Key> known = Ed25519Key::load(path, false, nullptr);
            if (known && known->fingerprint() == m.keyFingerprint) {
                key = std::move(known);
                keyPath = path;
                break;
            }
        }
    }
    if (!key) {
        out.trust = Trust::SignedUnchecked;
        return;
    }
    if (!key->verify(signedText(m), m.signature)) {
        fail(out, VerifyStatus::Mismatch,
             "signature does not match the manifest (checked with " + keyPath + ")");
        return;
    }
    out.trust = Trust::Signed;
    out.keyPath = keyPath;
    out.signatureChecked = true;
}

}  // namespace

const char* trustName(Trust trust) {
    switch (trust) {
        case Trust::Signed:
            return "signed";
        case Trust::SignedUnchecked:
            return "signed-unchecked";
        case Trust::Unsigned:
            break;
    }
    return "unsigned";
}

VerifyOutcome verifyExportBytes(std::string_view manifestText, std::span<const uint8_t> bytes,
                                const VerifyOptions& o) {
    VerifyOutcome out;
    const std::string manifestPath = manifestPathOf(o.filePath);
    if (manifestText.size() > manifestSizeLimit(bytes.size()))
        return fail(out, VerifyStatus::Damaged,
                    "damaged manifest " + manifestPath + ": " + std::to_string(manifestText.size()) +
                        " bytes, more than a file of " + std::to_string(bytes.size()) + " bytes can need");
    ManifestParse parsed = parseManifest(manifestText);
    if (!parsed.manifest)
        return fail(out, VerifyStatus::Damaged, "damaged manifest " + manifestPath + ": " + parsed.error);
    out.manifest = std::move(parsed.manifest);
    const Manifest& m = *out.manifest;
    if (!m.signature.empty())
        out.trust = Trust::SignedUnchecked;
    if (!parsed.unknownKey.empty())
        return fail(out, VerifyStatus::Mismatch,
                    "the manifest holds a key its version does not know: " + parsed.unknownKey);

    std::optional<Ed25519Key> key;
    if (o.publicKeyPath) {
        std::string reason;
        key = Ed25519Key::load(*o.publicKeyPath, false, &reason);
        if (!key)
            return fail(out, VerifyStatus::Damaged, "key " + reason);
    }

    if (bytes.size() != m.fileSizeBytes)
        return fail(out, VerifyStatus::Mismatch,
                    "file size differs: " + std::to_string(bytes.size()) + " bytes, the manifest says " +
                        std::to_string(m.fileSizeBytes));
    // The whole file's hash runs beside the frames' hashes.
    std::string fileHash;
    std::thread hasher([&] { fileHash = hexOf(sha256(bytes)); });
    std::string mismatch;
    bool damaged = false;
    if (m.hasFrames)
        mismatch = checkFrames(m, bytes, damaged);
    hasher.join();
    if (!mismatch.empty())
        return fail(out, damaged ? VerifyStatus::Damaged : VerifyStatus::Mismatch, mismatch);
    if (fileHash != m.fileSha256)
        return fail(out, VerifyStatus::Mismatch, "file SHA-256 differs from the manifest");
    if (baseName(o.filePath) != m.fileName)
        out.notes.push_back("renamed: the manifest names the file " + m.fileName);

    if (o.sourcePath) {
        if (m.source.kind != ManifestSource::Kind::Backup)
            return fail(out, VerifyStatus::Mismatch,
                        "the export was made from a recorder, not from a backup file");
        std::string reason;
        const auto source = sha256OfFile(*o.sourcePath, &reason);
        if (!source)
            return fail(out, VerifyStatus::Damaged, *o.sourcePath + ": " + reason);
        if (source->sizeBytes != m.source.sizeBytes || hexOf(source->digest) != m.source.sha256)
            return fail(out, VerifyStatus::Mismatch,
                        "source differs: " + *o.sourcePath +
                            " is not the backup file the export was made from (" + m.source.path + ")");
        if (o.sourceRecords) {
            for (const ManifestFrame& f : m.frames)
                if (std::string why = o.sourceRecords->check(f, m.channel, m.formatVersion); !why.empty())
                    return fail(out, VerifyStatus::Mismatch, frameName(f) + ": " + why);
        }
        out.sourceChecked = true;
    }

    checkSignature(m, key, o, out);
    if (!out.message.empty())
        return out;
    if (o.requireSignature && out.trust != Trust::Signed)
        return fail(out, VerifyStatus::Mismatch,
                    out.trust == Trust::Unsigned
                        ? std::string("a signature is required: the manifest is not signed")
                        : "a signature is required: no key here for " + m.keyFingerprint);
    out.status = VerifyStatus::Ok;
    return out;
}

VerifyOutcome verifyExport(const VerifyOptions& o) {
    VerifyOutcome out;
    const std::string manifestPath = manifestPathOf(o.filePath);
    const MappedFile file(o.filePath);
    if (!file.ok())
        return fail(out, VerifyStatus::Damaged, o.filePath + ": " + file.error());
    const MappedFile manifest(manifestPath);
    if (!manifest.ok())
        return fail(out, VerifyStatus::Damaged, "no manifest " + manifestPath + ": " + manifest.error());
    const std::span<const uint8_t> text = manifest.bytes();
    return verifyExportBytes(std::string_view(reinterpret_cast<const char*>(text.data()), text.size()),
                             file.bytes(), o);
}

}  // namespace dvr::evidence
