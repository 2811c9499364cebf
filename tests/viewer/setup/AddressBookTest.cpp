#include <gtest/gtest.h>

#include "viewer/setup/AddressBook.h"
#include "viewer/setup/DdnsList.h"

namespace dvr::setup {
namespace {

// UTF-16LE bytes of ASCII text.
std::string wide(std::string_view ascii) {
    std::string out;
    for (const char c : ascii) {
        out.push_back(c);
        out.push_back('\0');
    }
    return out;
}

TEST(AddressBookTest, FileBytesAreUtf16WithByteOrderMarkAndCrLfAndKeepNonLatinNames) {
    AddressBook book;
    book.save({"Склад", "10.0.0.7", "50000"});
    book.save({"東京", "dvr.example.net", "8000"});
    const std::string bytes = book.serialize();

    std::string expected = "\xFF\xFE";
    expected += wide("[CNN]\r\nnumber=2\r\nid0=");
    expected += std::string("\x21\x04\x3A\x04\x3B\x04\x30\x04\x34\x04", 10);  // Склад
    expected += wide("\r\nip0=10.0.0.7\r\nport0=50000\r\nid1=");
    expected += std::string("\x71\x67\xAC\x4E", 4);  // 東京
    expected += wide("\r\nip1=dvr.example.net\r\nport1=8000\r\n");
    EXPECT_EQ(bytes, expected);

    const AddressBook back = AddressBook::parse(bytes);
    EXPECT_EQ(back.entries(), book.entries());
}

TEST(AddressBookTest, SavingAnExistingNameIgnoringCaseUpdatesThatRowInPlace) {
    AddressBook book;
    book.save({"Shop", "10.0.0.1", "50000"});
    book.save({"Office", "10.0.0.2", "50000"});
    EXPECT_EQ(book.save({"SHOP", "10.0.0.9", "6000"}), 0u);
    ASSERT_EQ(book.entries().size(), 2u);
    EXPECT_EQ(book.entries()[0], (AddressEntry{"Shop", "10.0.0.9", "6000"}));
    // Only the whole name matches; Latin-1 letters fold too.
    book.save({"Sho", "10.0.0.3", "1"});
    book.save({"ÉCOLE", "10.0.0.4", "1"});
    book.save({"école", "10.0.0.5", "2"});
    ASSERT_EQ(book.entries().size(), 4u);
    EXPECT_EQ(book.entries()[3], (AddressEntry{"ÉCOLE", "10.0.0.5", "2"}));
}

TEST(AddressBookTest, EmptyBookShowsTheDefaultRowButNeverWritesIt) {
    const AddressBook empty = AddressBook::parse(std::string_view());
    ASSERT_EQ(empty.rows().size(), 1u);
    EXPECT_EQ(empty.rows()[0], (AddressEntry{"INTRANET", "192.168.1.160", "50000"}));
    EXPECT_TRUE(empty.entries().empty());
    EXPECT_EQ(AddressBook::parse(empty.serialize()).entries().size(), 0u);

    // A "number" of 0 hides the rows after it; a hand-edited 8-bit file reads like the written one.
    EXPECT_TRUE(AddressBook::parse("[CNN]\nnumber=0\nid0=x\n").entries().empty());
    const AddressBook hand =
        AddressBook::parse("[cnn]\r\nNUMBER = 2\r\nid0 = A \r\nip0=1.2.3.4\r\nport0=5\r\n");
    ASSERT_EQ(hand.entries().size(), 2u);
    EXPECT_EQ(hand.entries()[0], (AddressEntry{"A", "1.2.3.4", "5"}));
    EXPECT_EQ(hand.entries()[1], (AddressEntry{}));
    EXPECT_EQ(AddressBook::parse("[CNN]\nnumber=999999999\n").entries().size(),
              static_cast<std::size_t>(AddressBook::kMaxEntries));
}

TEST(AddressBookTest, LineBreaksInsideValuesCannotAddLines) {
    AddressBook book;
    book.save({"a\r\nnumber=9", "1.2.3.4", "1"});
    const AddressBook back = AddressBook::parse(book.serialize());
    ASSERT_EQ(back.entries().size(), 1u);
    EXPECT_EQ(back.entries()[0].name, "a  number=9");
}

TEST(DdnsListTest, SavingAnExistingNameUpdatesItsMemberIdInPlaceAndANewNameAppends) {
    DdnsList list = DdnsList::parse(
        std::string_view("; my list\r\n[DDNS]\r\nnumber=1\r\nid0=shop\r\ngroup0=m1\r\nname0=shop\r\n"));
    ASSERT_TRUE(list.save("m2", "shop"));
    ASSERT_TRUE(list.save("m3", "Shop"));  // the title compares exactly
    EXPECT_FALSE(list.save("m4", ""));
    const std::string bytes = list.serialize();
    EXPECT_EQ(bytes.rfind("; my list\r\n", 0), 0u) << "saving keeps the file's other lines";
    const DdnsList back = DdnsList::parse(bytes);
    ASSERT_EQ(back.entries().size(), 2u);
    EXPECT_EQ(back.entries()[0], (DdnsEntry{"shop", "m2", "shop"}));
    EXPECT_EQ(back.entries()[1], (DdnsEntry{"Shop", "m3", "Shop"}));
}

TEST(DdnsListTest, DeletingRewritesTheWholeFileAndTheLastDeletionLeavesAnEmptyList) {
    DdnsList list;
    list.save("g1", "one");
    list.save("g2", "two");
    ASSERT_TRUE(list.remove(0));
    std::string expected = "\xFF\xFE" + wide("[DDNS]\r\nnumber=1\r\nid0=two\r\ngroup0=g2\r\nname0=two\r\n");
    EXPECT_EQ(list.serialize(), expected);
    EXPECT_FALSE(list.remove(1));
    ASSERT_TRUE(list.remove(0));
    const DdnsList back = DdnsList::parse(list.serialize());
    EXPECT_TRUE(back.entries().empty());
    ASSERT_EQ(back.rows().size(), 1u);
    EXPECT_EQ(back.rows()[0], (DdnsEntry{"name", "group", "name"}));
    // A save after a deletion goes on from the rewritten list.
    list.save("g3", "three");
    EXPECT_EQ(DdnsList::parse(list.serialize()).entries(),
              (std::vector<DdnsEntry>{{"three", "g3", "three"}}));
}

}  // namespace
}  // namespace dvr::setup
