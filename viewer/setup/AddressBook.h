#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace dvr::setup {

// One recorder of the address book.
struct AddressEntry {
    std::string name;
    std::string address;
    std::string port;  // as text, the way the book stores it

    bool operator==(const AddressEntry&) const = default;
};

// The address book ini/cnn.ini: section "CNN" with "number" and, per entry i from 0, "id<i>", "ip<i>" and
// "port<i>". Read with ini semantics; written whole, in list order, as UTF-16LE text with a byte-order
// mark and CR LF line ends.
class AddressBook {
public:
    static constexpr const char* kRelativePath = "ini/cnn.ini";
    static constexpr std::size_t kNameMaxChars = 383;
    static constexpr std::size_t kFieldMaxChars = 127;
    // An address may be a host name: kept as whole as the connection's own setting keeps it, since a
    // name cut short is another host's.
    static constexpr std::size_t kAddressMaxChars = 255;
    // A hand-edited "number" beyond this is not believed.
    static constexpr int kMaxEntries = 1000;

    // The row shown while the book is empty; it is never written.
    static AddressEntry defaultRow();

    // The book held by the file's bytes; unreadable text gives an empty book.
    static AddressBook parse(std::span<const std::uint8_t> bytes);
    static AddressBook parse(std::string_view bytes);
    // The book stored at `path`; a missing or unreadable file gives an empty book.
    static AddressBook load(const std::string& path);

    const std::vector<AddressEntry>& entries() const { return m_entries; }
    // What the list shows: the entries, or the default row alone when there are none.
    std::vector<AddressEntry> rows() const;

    // Sets the address and port of the entry named `name` (the whole name, ignoring letter case), or
    // appends an entry. Returns its index.
    std::size_t save(const AddressEntry& entry);
    // Whether save() keeps `entry` when the book is read again: its name is in the book, or the book
    // holds fewer than kMaxEntries.
    bool hasRoomFor(const AddressEntry& entry) const;
    // Removes entry `index`; false when there is no such entry.
    bool remove(std::size_t index);

    // The file's lines, without line ends.
    std::vector<std::string> lines() const;
    // The file's bytes.
    std::string serialize() const;

private:
    std::vector<AddressEntry> m_entries;
};

// True when the two UTF-8 texts are equal ignoring the case of ASCII and Latin-1 letters.
bool equalIgnoringCase(std::string_view a, std::string_view b);

}  // namespace dvr::setup
