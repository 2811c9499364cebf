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
#include "common/fs/AtomicFile.h"
#include "common/fs/SafeOpen.h"

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
    std::string why;
    std::optional<std::string> bytes = fs::readInput(path, 1 << 16, &why);
    if (!bytes) {
        if (reason)
            *reason = path + ": " + (why.rfind("larger than", 0) == 0 ? "too large for a key file" : why);
        return false;
    }
    out = std::move(*bytes);
    return true;
}

// Replaces a key file whole; false with "path: reason" otherwise.
bool writeKeyFile(const std::string& path, const std::string& text, unsigned mode, std::string& reason) {
    const fs::FileResult written = fs::AtomicFile::writeWithMode(path, text, mode);
    if (!written.ok)
        reason = written.describe();
    return written.ok;
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

std::string Ed25519Key::publicPem() const {
    return pemOf(keyOf(m_key), false);
}

std::string archivedPublicKeyFile(std::string_view fingerprint) {
    return "manifest-key." + std::string(fingerprint) + ".pub.pem";
}

bool repairPublicKey(const std::string& folder, std::string* reason) {
    const std::string privatePath = join(folder, kPrivateKeyFile);
    const std::string publicPath = join(folder, kPublicKeyFile);
    const std::optional<Ed25519Key> key = Ed25519Key::load(privatePath, true, reason);
    if (!key)
        return false;
    const std::optional<Ed25519Key> published = Ed25519Key::load(publicPath, false, nullptr);
    if (published && published->fingerprint() == key->fingerprint())
        return true;
    // A public key that does not match was left by a replacement cut short; the private key wins.
    const std::string pem = key->publicPem();
    std::string why;
    if (pem.empty() || !writeKeyFile(publicPath, pem, 0644, why)) {
        if (reason)
            *reason = pem.empty() ? std::string("cannot write the key as PEM") : why;
        return false;
    }
    return true;
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
    // The old pair is replaced in steps that each leave usable files: the old public key is kept under
    // its fingerprint first (exports signed with it still verify), then the new private key is renamed
    // into place, then its public key is written. A run cut short after the second step leaves a public
    // key that no longer matches, which repairPublicKey (run before every signature) rewrites.
    if (replace) {
        std::optional<Ed25519Key> old = Ed25519Key::load(out.publicPath, false, nullptr);
        if (const auto oldPrivate = Ed25519Key::load(out.privatePath, true, nullptr);
            oldPrivate && (!old || old->fingerprint() != oldPrivate->fingerprint()))
            old = oldPrivate;
        if (old) {
            const std::string oldPem = old->publicPem();
            out.archivedPublicPath = join(folder, archivedPublicKeyFile(old->fingerprint()));
            if (oldPem.empty() || !writeKeyFile(out.archivedPublicPath, oldPem, 0644, out.message)) {
                if (oldPem.empty())
                    out.message = "cannot write the old key as PEM";
                return out;
            }
        }
    }
    if (!writeKeyFile(out.privatePath, privatePem, 0600, out.message) ||
        !writeKeyFile(out.publicPath, publicPem, 0644, out.message))
        return out;
    out.ok = true;
    return out;
}

}  // namespace dvr::evidence
