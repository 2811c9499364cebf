#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dvr::setup {

// The transport of a lookup address.
enum class UrlScheme { Ftp, Http, Https };

// A lookup address taken apart.
struct UrlParts {
    UrlScheme scheme = UrlScheme::Http;
    std::string schemeText;  // as written, lower case; "http" when the address names none
    std::string user;
    std::string password;
    std::string host;
    int port = 80;
    std::string path = "/";  // from the first "/" after the host, query included

    bool operator==(const UrlParts&) const = default;
};

// A URL that could not be taken apart, with the reason for the user.
struct UrlError {
    std::string message;
};

// The judged answer of a DDNS service.
struct LookupAnswer {
    bool ok = false;
    std::string address;
    std::string port;
    // For a failed lookup: what the user is shown.
    std::string message;
};

// The rules of a DDNS lookup, free of any transport.
class DdnsLookup {
public:
    static constexpr const char* kAgent = "Mozilla/4.0 (compatible; )";
    static constexpr std::size_t kMaxAnswerChars = 259;
    static constexpr std::size_t kMaxMessageChars = 127;
    static constexpr std::size_t kMaxHostChars = 255;

    // Every "[0]" of the template replaced by the member ID and every "[1]" by the name, both
    // percent-encoded where a URL would read them otherwise. Replaced text is not searched again.
    static std::string requestUrl(std::string_view urlTemplate, std::string_view memberId,
                                  std::string_view name);
    // Every byte but letters, digits and "-._~" as %XX.
    static std::string percentEncode(std::string_view text);

    // Takes the address apart: the scheme before a ":" that is followed by "/" (else "http"),
    // "user:password@" before the host, ":port" after it (defaults 21, 80, 443), the path from the first
    // "/" after the host ("/" when there is none).
    static std::optional<UrlParts> splitUrl(std::string_view url, UrlError* error = nullptr);

    // The URL (or template) without its "user:password@" part, for messages and logs.
    static std::string displayUrl(std::string_view url);
    // Whether the URL (or template) carries a user or password before its host.
    static bool hasCredentials(std::string_view url);
    // Whether those would travel unencrypted: credentials in an "http" (or scheme-less) address.
    static bool sendsCredentialsInClear(std::string_view url);
    // `text` with the user information of `url` taken out wherever it appears: the URL itself becomes
    // its display form and the password, in any other place, "***".
    static std::string hideCredentials(std::string_view text, std::string_view url);

    // Judges the body of the service's answer (8-bit text): blanks and line breaks around it are
    // dropped; with a ":" the address is the text before the first ":" and the port the text after it,
    // accepted only for a valid host name or IP address and a port from 1 to 65535; without one the
    // answer is the service's message: the text between "<body>" and "</body>" (at most 127 characters)
    // when both are there, else the whole text.
    static LookupAnswer judgeAnswer(std::string_view body);

    // True for a dotted IPv4 address other than 0.0.0.0, or a host name of letters, digits, "-" and
    // "." (labels of 1 to 63 characters not starting or ending in "-", at most 255 characters).
    static bool isValidHost(std::string_view host);
    // The port of a text of 1 to 5 digits from 1 to 65535; nothing otherwise.
    static std::optional<int> parsePort(std::string_view text);
    // The text without blanks, tabs and line breaks at its ends.
    static std::string_view trim(std::string_view text);
};

}  // namespace dvr::setup
