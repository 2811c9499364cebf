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

private:
    std::shared_ptr<void> m_key;  // EVP_PKEY
};

struct KeyFiles {
    bool ok = false;
    std::string message;  // the reason, when not ok
    std::string privatePath;
    std::string publicPath;
};
// Creates a new key pair in the folder (made with mode 0700 when missing): the private key with mode
// 0600, the public key beside it. An existing private key is kept unless `replace`.
KeyFiles generateKeyPair(const std::string& folder, bool replace);

}  // namespace dvr::evidence
