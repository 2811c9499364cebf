// Feeds arbitrary bytes to the DDNS answer judge and the request-address splitter and checks what must
// always hold: an accepted answer has a valid host and port, a refused one always has words for the
// user, and the first byte splits the input into a template and the member ID put into it.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "fuzz/support/Check.h"
#include "viewer/setup/DdnsLookup.h"

using dvr::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dvr::setup;
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    const LookupAnswer answer = DdnsLookup::judgeAnswer(text);
    if (answer.ok) {
        check(DdnsLookup::isValidHost(answer.address));
        check(DdnsLookup::parsePort(answer.port).has_value());
    } else {
        check(!answer.message.empty());
        check(answer.address.empty());
    }

    const std::size_t split = size == 0 ? 0 : data[0] % (size + 1);
    const std::string_view urlTemplate = text.substr(0, split);
    const std::string_view member = text.substr(split);
    const std::string url = DdnsLookup::requestUrl(urlTemplate, member, member);
    if (urlTemplate.find("[0]") == std::string_view::npos &&
        urlTemplate.find("[1]") == std::string_view::npos) {
        check(url == urlTemplate);
    }
    UrlError error;
    if (const auto parts = DdnsLookup::splitUrl(url, &error)) {
        check(!parts->host.empty());
        check(parts->port >= 1 && parts->port <= 65535);
        check(!parts->path.empty() && parts->path.front() == '/');
    } else {
        check(!error.message.empty());
    }
    return 0;
}
