#pragma once

#include <iosfwd>
#include <string>

namespace dvr::setup {

// What `vistrelctl ddns` was asked for.
struct DdnsCommandOptions {
    std::string urlTemplate;
    std::string memberId;
    std::string name;
    bool json = false;
    int timeoutMs = 10000;
};

// Runs one DDNS lookup (needs a Qt core application) and prints ADDRESS:PORT, or with `json`
// {"address": A, "port": P, "url": U}, to `out`, returning 0; on failure prints the service's message or
// the transport error on one line to `err` and returns 1.
int runDdnsCommand(const DdnsCommandOptions& options, std::ostream& out, std::ostream& err);

}  // namespace dvr::setup
