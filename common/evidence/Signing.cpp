#include "common/evidence/Signing.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/evidence/Sha256.h"

namespace dvr::evidence {

namespace {

EVP_PKEY* keyOf(const std::shared_ptr<void>& p) {
    return static_cast<EVP_PKEY*>(p.get());
}

std::string join(const std::string& folder, std::string_view name) {
    return folder.empty() || folder.back() == '/' ? folder + std::string(name)
                                                  : folder + "/" + std::string(name);
}

bool readWhole(const std::string& path, std::string& out, std::string* reason) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (reason)
            *reason = path + ": " + std::strerror(errno);
        return false;
    }
    std::array<char, 4096> block{};
    out.clear();
    for (;;) {
        const ssize_t got = ::read(fd, block.data(), block.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || out.size() > (1 << 16)) {
            if (reason)
                *reason = path + ": " + (got < 0 ? std::strerror(errno) : "too large for a key file");
            ::close(fd);
            return false;
        }
        if (got == 0) {
            ::close(fd);
            return true;
        }
        out.append(block.data(), size_t(got));
    }
}

// Writes the whole text to a new file of the given mode; false with the reason otherwise.
bool writeNew(const std::string& path, const std::string& text, mode_t mode, bool replace,
              std::string& reason) {
    if (replace)
        ::unlink(path.c_str());
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        reason = path + ": " + std::strerror(errno);
        return false;
    }
    ::fchmod(fd, mode);
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            reason = path + ": " + std::strerror(errno);
            ::close(fd);
            return false;
        }
        done += size_t(put);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        reason = path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string pemOf(EVP_PKEY* key, bool privateKey) {
    BIO* bio = BIO_new(BIO_s_mem());
    if (!bio)
        return {};
    const int ok = privateKey ? PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr)
                              : PEM_write_bio_PUBKEY(bio, key);
    std::string out;
    if (ok == 1) {
        char* data = nullptr;
        const long length = BIO_get_mem_data(bio, &data);
        out.assign(data, size_t(length));
    }
    BIO_free(bio);
    return out;
}

}  // namespace

std::string settingsFolder() {
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config == '/')
        return join(config, "Discoro");
    if (const char* home = std::getenv("HOME"); home && *home)
        return join(join(home, ".config"), "Discoro");
    return {};
}

std::optional<Ed25519Key> Ed25519Key::load(const std::string& path, bool privateKey, std::string* reason) {
    std::string text;
    if (!readWhole(path, text, reason))
        return std::nullopt;
    BIO* bio = BIO_new_mem_buf(text.data(), int(text.size()));
    if (!bio) {
        if (reason)
            *reason = "out of memory";
        return std::nullopt;
    }
    EVP_PKEY* key = privateKey ? PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr)
                               : PEM_read_bio_PUBKEY(bio, nullptr, nullptr, nullptr);
    BIO_free(bio);
    if (!key) {
        if (reason)
            *reason = path + ": not a PEM " + (privateKey ? "private" : "public") + " key";
        return std::nullopt;
    }
    if (EVP_PKEY_get_id(key) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(key);
        if (reason)
            *reason = path + ": not an Ed25519 key";
        return std::nullopt;
    }
    Ed25519Key out;
    out.m_key = std::shared_ptr<void>(key, [](void* p) { EVP_PKEY_free(static_cast<EVP_PKEY*>(p)); });
    return out;
}

std::string Ed25519Key::fingerprint() const {
    std::array<uint8_t, 32> raw{};
    size_t length = raw.size();
    if (EVP_PKEY_get_raw_public_key(keyOf(m_key), raw.data(), &length) != 1 || length != raw.size())
        return {};
    return hexOf(sha256(std::span<const uint8_t>(raw)));
}

std::string Ed25519Key::sign(std::string_view message) const {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    std::array<uint8_t, 64> signature{};
    size_t length = signature.size();
    const bool ok =
        context && EVP_DigestSignInit(context, nullptr, nullptr, nullptr, keyOf(m_key)) == 1 &&
        EVP_DigestSign(context, signature.data(), &length,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
    EVP_MD_CTX_free(context);
    return ok ? hexOf(std::span(signature.data(), length)) : std::string();
}

bool Ed25519Key::verify(std::string_view message, std::string_view signatureHex) const {
    const std::optional<std::string> signature = bytesFromHex(signatureHex);
    if (!signature || signature->size() != 64)
        return false;
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    const bool ok = context && EVP_DigestVerifyInit(context, nullptr, nullptr, nullptr, keyOf(m_key)) == 1 &&
                    EVP_DigestVerify(
                        context, reinterpret_cast<const unsigned char*>(signature->data()), signature->size(),
                        reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
    EVP_MD_CTX_free(context);
    return ok;
}

KeyFiles generateKeyPair(const std::string& folder, bool replace) {
    KeyFiles out;
    if (folder.empty()) {
        out.message = "no settings folder (neither XDG_CONFIG_HOME nor HOME is set)";
        return out;
    }
    out.privatePath = join(folder, kPrivateKeyFile);
    out.publicPath = join(folder, kPublicKeyFile);
    // The folder and its parents.
    for (size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? folder : folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            out.message = part + ": " + std::strerror(errno);
            return out;
        }
        if (slash == std::string::npos)
            break;
    }
    struct stat existing {};
    if (!replace && ::stat(out.privatePath.c_str(), &existing) == 0) {
        out.message = out.privatePath + " exists (--force replaces it)";
        return out;
    }
    EVP_PKEY* key = EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519");
    if (!key) {
        out.message = "cannot make an Ed25519 key";
        return out;
    }
    const std::string privatePem = pemOf(key, true);
    const std::string publicPem = pemOf(key, false);
    EVP_PKEY_free(key);
    if (privatePem.empty() || publicPem.empty()) {
        out.message = "cannot write the key as PEM";
        return out;
    }
    if (!writeNew(out.privatePath, privatePem, 0600, replace, out.message) ||
        !writeNew(out.publicPath, publicPem, 0644, true, out.message))
        return out;
    out.ok = true;
    return out;
}

}  // namespace dvr::evidence
