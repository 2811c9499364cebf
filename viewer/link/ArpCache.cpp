#include "viewer/link/ArpCache.h"

#include <arpa/inet.h>
#include <net/if_arp.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cstring>
#include <fstream>
#include <sstream>

namespace dvr::link {

size_t clearArpCache(ArpTable& table, std::string_view recorderAddress) {
    const std::optional<std::vector<ArpEntry>> rows = table.read(kArpTableRows);
    in_addr recorder{};
    if (!rows || inet_pton(AF_INET, std::string(recorderAddress).c_str(), &recorder) != 1)
        return 0;
    size_t asked = 0;
    for (const ArpEntry& row : *rows) {
        in_addr address{};
        if (inet_pton(AF_INET, row.ipAddress.c_str(), &address) == 1 && address.s_addr == recorder.s_addr) {
            table.remove(row);
            ++asked;
        }
    }
    return asked;
}

std::vector<ArpEntry> parseProcNetArp(std::string_view text) {
    // Columns: IP address, HW type, Flags, HW address, Mask, Device.
    std::vector<ArpEntry> rows;
    std::istringstream in{std::string(text)};
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        if (header) {
            header = false;
            continue;
        }
        std::istringstream fields(line);
        std::string ip, hwType, flags, hwAddress, mask, device;
        if (!(fields >> ip >> hwType >> flags >> hwAddress >> mask >> device))
            continue;
        in_addr parsed{};
        if (inet_pton(AF_INET, ip.c_str(), &parsed) != 1)
            continue;
        rows.push_back(ArpEntry{ip, device});
    }
    return rows;
}

std::optional<std::vector<ArpEntry>> LinuxArpTable::read(size_t maxRows) {
    std::ifstream file("/proc/net/arp");
    if (!file)
        return std::nullopt;
    std::ostringstream text;
    text << file.rdbuf();
    std::vector<ArpEntry> rows = parseProcNetArp(text.str());
    if (rows.size() > maxRows)
        return std::nullopt;
    return rows;
}

bool LinuxArpTable::remove(const ArpEntry& entry) {
    arpreq request{};
    auto* address = reinterpret_cast<sockaddr_in*>(&request.arp_pa);
    address->sin_family = AF_INET;
    if (inet_pton(AF_INET, entry.ipAddress.c_str(), &address->sin_addr) != 1)
        return false;
    std::strncpy(request.arp_dev, entry.device.c_str(), sizeof request.arp_dev - 1);
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    const bool ok = ::ioctl(fd, SIOCDARP, &request) == 0;
    ::close(fd);
    return ok;
}

}  // namespace dvr::link
