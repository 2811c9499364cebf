// Feeds arbitrary bytes to the address-book and DDNS-list readers as file contents and checks what must
// always hold: a book written back reads as the same entries, saving and deleting keep the counts
// right, and the list rewritten whole reads back unchanged.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "fuzz/support/Check.h"
#include "viewer/setup/AddressBook.h"
#include "viewer/setup/DdnsList.h"

using dvr::fuzz::check;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace dvr::setup;
    const std::span<const std::uint8_t> bytes(data, size);

    AddressBook book = AddressBook::parse(bytes);
    check(!book.rows().empty());
    // Names, addresses and ports that hold line breaks come back with blanks instead; all else survives.
    const AddressBook again = AddressBook::parse(book.serialize());
    check(again.entries().size() == book.entries().size());
    check(AddressBook::parse(again.serialize()).entries() == again.entries());
    const std::size_t before = book.entries().size();
    book.save({"fuzz", "127.0.0.1", "50000"});
    check(book.entries().size() == before || book.entries().size() == before + 1);
    check(book.remove(0));
    check(!book.remove(book.entries().size()));

    DdnsList list = DdnsList::parse(bytes);
    check(!list.rows().empty());
    const std::size_t count = list.entries().size();
    list.save("member", "fuzz name");
    const DdnsList saved = DdnsList::parse(list.serialize());
    check(saved.entries().size() >= count);
    if (!list.entries().empty()) {
        check(list.remove(0));
        const DdnsList rewritten = DdnsList::parse(list.serialize());
        check(rewritten.entries().size() == list.entries().size());
    }
    return 0;
}
