// The ARP cache clean-up the live view runs whenever it drops a connection:
// read the machine's IP-to-hardware address table and delete the recorder's
// own entry, on the interface it was learnt on, so the next connection asks
// for the recorder's hardware address afresh. Every other entry of the
// machine belongs to other connections and is left alone. The table sits
// behind an interface; tests use a fake and never touch the machine's table.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dvr::link {

struct ArpEntry {
    std::string ipAddress;  // dotted IPv4 text
    std::string device;     // interface name
    bool operator==(const ArpEntry&) const = default;
};

class ArpTable {
public:
    virtual ~ArpTable() = default;
    // The rows, first to last; nullopt when the table cannot be read or holds
    // more than maxRows rows.
    virtual std::optional<std::vector<ArpEntry>> read(size_t maxRows) = 0;
    // Deletes one row; false on failure.
    virtual bool remove(const ArpEntry& entry) = 0;
};

// The table is read into room for this many rows; a larger table is left alone.
inline constexpr size_t kArpTableRows = 401;

// Deletes the rows of `recorderAddress` (a numeric IPv4 address; a host name
// or IPv6 address has no row and nothing is deleted), ignoring failures: an
// ordinary user is refused. Returns the number of rows asked to be deleted
// (0 when the table could not be read or holds none); the caller traces
// "Delete (%d) Entries\r\n" with it.
size_t clearArpCache(ArpTable& table, std::string_view recorderAddress);

// The rows of a /proc/net/arp text (header line first).
std::vector<ArpEntry> parseProcNetArp(std::string_view text);

// Linux: reads /proc/net/arp and deletes rows with the SIOCDARP ioctl. Needs
// rights an ordinary user may lack; failures are silent.
class LinuxArpTable final : public ArpTable {
public:
    std::optional<std::vector<ArpEntry>> read(size_t maxRows) override;
    bool remove(const ArpEntry& entry) override;
};

}  // namespace dvr::link
