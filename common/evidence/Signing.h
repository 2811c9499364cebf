#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace dvr::evidence {

inline constexpr std::string_view kPrivateKeyFile = "manifest-key.pem";
inline constexpr std::string_view kPublicKeyFile = "manifest-key.pub.pem";

// The user's settings folder of the player: $XDG_CONFIG_HOME/Discoro, or $HOME/.config/Discoro when
// that is not an absolute path; empty when neither is set.
std::string settingsFolder();

// An Ed25519 key read from a PEM file: the private half when it can sign.
class Ed25519Key {
public:
    // Reads a PEM private key (PKCS#8) or, when `privateKey` is false, a PEM public key. nullopt with the
    // reason when the file is missing, damaged or not an Ed25519 key.
    static std::optional<Ed25519Key> load(const std::string& path, bool privateKey, std::string* reason);

    // Hex SHA-256 of the raw 32-byte public key.
    std::string fingerprint() const;
    // Hex signature of the bytes (private keys only; empty on failure).
    std::string sign(std::string_view message) const;
    // Whether the hex signature is this key's signature of the bytes.
    bool verify(std::string_view message, std::string_view signatureHex) const;
    // The public half as PEM (empty on failure).
    std::string publicPem() const;

private:
    std::shared_ptr<void> m_key;  // EVP_PKEY
};

struct KeyFiles {
    bool ok = false;
    std::string message;  // the reason, when not ok
    std::string privatePath;
    std::string publicPath;
    std::string archivedPublicPath;  // where a replaced pair's public key was kept; empty when none
};
// Creates a new key pair in the folder (made with mode 0700 when missing): the private key with mode
// 0600, the public key beside it. An existing private key is kept unless `replace`; a replaced pair's
// public key is kept as archivedPublicKeyFile(its fingerprint), so exports signed with it still verify.
// Each file is replaced whole; the old files stay as they were when a step fails.
KeyFiles generateKeyPair(const std::string& folder, bool replace);

// "manifest-key.FINGERPRINT.pub.pem": the name a replaced public key is kept under.
std::string archivedPublicKeyFile(std::string_view fingerprint);

// Makes the folder's public key match its private key, rewriting the public one when it is missing or
// belongs to another key. False with the reason when there is no usable private key or the write fails.
bool repairPublicKey(const std::string& folder, std::string* reason);

}  // namespace dvr::evidence
