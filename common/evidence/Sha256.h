#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace dvr::evidence {

using Digest = std::array<uint8_t, 32>;

// SHA-256 fed in pieces. Not shared between threads.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(std::span<const uint8_t> bytes);
    void add(std::string_view text);
    // The digest of everything added; the hasher starts afresh afterwards.
    Digest finish();

private:
    void* m_context;  // EVP_MD_CTX
};

Digest sha256(std::span<const uint8_t> bytes);
Digest sha256(std::string_view text);
// Lower-case hexadecimal, two digits a byte.
std::string hexOf(std::span<const uint8_t> bytes);
// Parses hexadecimal digits (either case) into bytes; nullopt for an odd length or another character.
std::optional<std::string> bytesFromHex(std::string_view hex);

// SHA-256 and size of a whole file; nullopt (with the reason) when it cannot be read.
struct FileDigest {
    uint64_t sizeBytes = 0;
    Digest digest{};
};
// `cancel`, when given, is read between blocks: once it is set the work ends with the reason "cancelled".
// `bytesDone`, when given, counts the bytes hashed so far.
std::optional<FileDigest> sha256OfFile(const std::string& path, std::string* reason = nullptr,
                                       const std::atomic<bool>* cancel = nullptr,
                                       std::atomic<uint64_t>* bytesDone = nullptr);

}  // namespace dvr::evidence
