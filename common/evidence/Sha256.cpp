#include "common/evidence/Sha256.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

#include "common/fs/SafeOpen.h"

namespace dvr::evidence {

namespace {

const EVP_MD* digestType() {
    // Fetched once: the implicit fetch behind EVP_sha256() costs more than hashing a small frame.
    static EVP_MD* const md = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    return md ? md : EVP_sha256();
}

EVP_MD_CTX* context(void* p) {
    return static_cast<EVP_MD_CTX*>(p);
}

}  // namespace

Sha256::Sha256() : m_context(EVP_MD_CTX_new()) {
    if (!m_context || EVP_DigestInit_ex(context(m_context), digestType(), nullptr) != 1)
        throw std::runtime_error("SHA-256 is not available");
}

Sha256::~Sha256() {
    EVP_MD_CTX_free(context(m_context));
}

void Sha256::add(std::span<const uint8_t> bytes) {
    if (!bytes.empty())
        EVP_DigestUpdate(context(m_context), bytes.data(), bytes.size());
}

void Sha256::add(std::string_view text) {
    add(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

Digest Sha256::finish() {
    Digest out{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(context(m_context), out.data(), &length);
    EVP_DigestInit_ex(context(m_context), digestType(), nullptr);
    return out;
}

Digest sha256(std::span<const uint8_t> bytes) {
    Digest out{};
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), out.data(), &length, digestType(), nullptr);
    return out;
}

Digest sha256(std::string_view text) {
    return sha256(std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
}

std::string hexOf(std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out.push_back(kDigits[b >> 4]);
        out.push_back(kDigits[b & 15]);
    }
    return out;
}

std::optional<std::string> bytesFromHex(std::string_view hex) {
    if (hex.size() % 2)
        return std::nullopt;
    auto value = [](char c) -> int {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
        const int high = value(hex[i]);
        const int low = value(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.push_back(char(high << 4 | low));
    }
    return out;
}

std::optional<FileDigest> sha256OfFile(const std::string& path, std::string* reason,
                                       const std::atomic<bool>* cancel, std::atomic<uint64_t>* bytesDone) {
    // Non-blocking open, regular files only: a FIFO or device at the path cannot hang the caller.
    fs::UniqueFd input = fs::openInput(path, reason);
    if (!input)
        return std::nullopt;
    const int fd = input.release();
    Sha256 hasher;
    FileDigest out;
    std::vector<uint8_t> block(size_t(1) << 20);
    for (;;) {
        if (cancel && cancel->load()) {
            if (reason)
                *reason = "cancelled";
            ::close(fd);
            return std::nullopt;
        }
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            if (reason)
                *reason = std::strerror(errno);
            ::close(fd);
            return std::nullopt;
        }
        if (got == 0)
            break;
        hasher.add(std::span(block.data(), size_t(got)));
        out.sizeBytes += uint64_t(got);
        if (bytesDone)
            bytesDone->store(out.sizeBytes);
    }
    ::close(fd);
    out.digest = hasher.finish();
    return out;
}

}  // namespace dvr::evidence
