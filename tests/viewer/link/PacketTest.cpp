#include "viewer/link/ArpCache.h"
#include "viewer/link/EventRecord.h"
#include "viewer/link/Packet.h"
#include "viewer/link/PacketFramer.h"

#include <gtest/gtest.h>

#include <cstring>

namespace dvr::link {
namespace {

TEST(Packet, RequestSizesAndFields) {
    const VersionText recorder = makeVersionText("DVRJ PACKET1.42");
    const auto login = buildLoginBlock("admin", "secret");
    RequestValues values;
    struct Case {
        RequestKind kind;
        uint32_t command;
        size_t size;
    };
    const Case cases[] = {
        {RequestKind::Login, command::Login, 300},
        {RequestKind::LivePicture, command::LivePicture, 60},
        {RequestKind::EventList, command::EventList, 60},
        {RequestKind::Stop, command::Stop, 60},
        {RequestKind::KeepAlive, command::KeepAlive, 60},
        {RequestKind::RecordingRange, command::RecordingRange, 60},
        {RequestKind::NextPlaybackPicture, command::NextPlaybackPicture, 60},
        {RequestKind::PlaySearch, command::PlaySearch, 60},
        {RequestKind::StopPlayback, command::StopPlayback, 60},
    };
    for (const Case& c : cases) {
        const RequestBytes r = buildRequest(c.kind, recorder, values, login);
        ASSERT_EQ(r.size, c.size);
        const PacketHeader h = readPacketHeader(r.view());
        EXPECT_EQ(h.length, c.size);
        EXPECT_EQ(h.command, c.command);
        EXPECT_EQ(h.type, c.kind == RequestKind::Login ? 2u : 1u);
        // The login always carries 1.44; the others the recorder's text.
        EXPECT_EQ(versionString(h.version),
                  c.kind == RequestKind::Login ? "DVRJ PACKET1.44" : "DVRJ PACKET1.42");
    }
    const RequestBytes r = buildRequest(RequestKind::Login, recorder, values, login);
    EXPECT_EQ(std::memcmp(r.bytes.data() + 28, "admin\0", 6), 0);
    EXPECT_EQ(std::memcmp(r.bytes.data() + 28 + 128, "secret\0", 7), 0);

    std::array<uint8_t, 100> ptz{};
    const uint8_t bytes[5] = {1, 2, 3, 4, 5};
    ASSERT_EQ(buildPtzPacket(ptz, recorder, bytes, 2), 65u);
    EXPECT_EQ(readPacketHeader(ptz).length, 65u);
    EXPECT_EQ(buildPtzPacket(std::span<uint8_t>(ptz).first(64), recorder, bytes, 2), 0u);
}

TEST(Packet, Windows1252Conversion) {
    struct Case {
        std::string utf8;
        std::string expected;
    };
    const Case cases[] = {
        {"admin", "admin"},
        {"J\xC3\xBCrgen", "J\xFCrgen"},  // U+00FC
        {"\xE2\x82\xAC"
         "5",
         "\x80"
         "5"},                               // euro sign
        {"\xC5\xA0", "\x8A"},                // S with caron
        {"\xE4\xB8\xAD\xE6\x96\x87", "##"},  // two CJK characters
        {"a\xF0\x9F\x98\x80"
         "b",
         "a#b"},            // outside the BMP
        {"x\xFFy", "x#y"},  // invalid byte
        {"x\xC3", "x#"},    // truncated sequence
        {"\xC0\xAF", "#"},  // overlong form
    };
    for (const Case& c : cases)
        EXPECT_EQ(utf8ToWindows1252(c.utf8), c.expected) << c.utf8;
    EXPECT_EQ(utf16ToWindows1252(u"Gr\u00FC\u00DF \u20AC \u4E2D \U0001F600"), "Gr\xFC\xDF \x80 # #");
    EXPECT_EQ(windows1252ToUtf8("\x80\xFC"), "\xE2\x82\xAC\xC3\xBC");
}

TEST(Packet, VersionComparisonIgnoresCase) {
    EXPECT_EQ(protocolFromVersion(makeVersionText("dvrj packet1.42")).level, 2);
    EXPECT_EQ(protocolFromVersion(makeVersionText("Dvrj Packet1.41")).level, 1);
    EXPECT_EQ(protocolFromVersion(makeVersionText("X")).level, 0);
    // Sixteen characters without a NUL are read whole.
    EXPECT_EQ(protocolFromVersion(makeVersionText("DVRJ PACKET1.499")).level, 3);
}

TEST(Packet, LoginFieldsKeepTheirTerminator) {
    const std::string longUser(300, 'u');
    const std::string longPassword(300, 'p');
    const auto block = buildLoginBlock(longUser, longPassword);
    EXPECT_EQ(block[126], 'u');
    EXPECT_EQ(block[127], 0);
    EXPECT_EQ(block[128], 'p');
    EXPECT_EQ(block[128 + 142], 'p');
    EXPECT_EQ(block[128 + 143], 0);
}

TEST(Packet, PackedTimes) {
    const DateTime t{2006, 11, 30, 23, 59, 58};
    EXPECT_EQ(packDateWord(t), (2006u << 16) | (11u << 8) | 30u);
    EXPECT_EQ(packTimeWord(t), (23u << 24) | (59u << 16) | (58u << 8));
    EXPECT_EQ(unpackRecorderTime(packDateWord(t), packTimeWord(t)), t);
    EXPECT_EQ(packPictureDateWord(t), (10u << 8) | 11u);
    EXPECT_EQ(packPictureTimeWord(t), (30u << 24) | (23u << 16) | (59u << 8) | 58u);
    EXPECT_EQ(unpackPictureTime(packPictureDateWord(t), packPictureTimeWord(t)), t);
    EXPECT_EQ(dateTimeText(t), "2006-11-30 23:59:58");
}

TEST(Packet, HeaderRecognition) {
    auto packet = makePacket(makeVersionText("DVRJ PACKET1.41"), 1, command::StopReply, ParamBlock{});
    EXPECT_TRUE(parseReceivedHeader(packet));
    EXPECT_FALSE(parseReceivedHeader(std::span<const uint8_t>(packet).first(59)));
    packet[20] = 4;  // type
    EXPECT_FALSE(parseReceivedHeader(packet));
    packet[20] = 1;
    packet[3] = 0;  // a NUL ends the text before the magic
    EXPECT_FALSE(findPacketMagic(packet));
    const std::string text = "xxxxDVRJ PACKET";
    const std::vector<uint8_t> shifted(text.begin(), text.end());
    EXPECT_EQ(findPacketMagic(shifted), 4u);
}

TEST(PacketFramer, ResynchronisesAfterGarbageAndOversize) {
    PacketFramer framer(1000);
    std::vector<uint8_t> stream = {'D', 'V', 'R', 'J', 'x', 'D', 'V'};  // a false start
    auto oversize = makePacket(makeVersionText("DVRJ PACKET1.44"), 1, 0x1012, ParamBlock{},
                               std::vector<uint8_t>(1001, 0x33));
    stream.insert(stream.end(), oversize.begin(), oversize.end());
    const std::vector<uint8_t> payload = {9, 8, 7};
    auto good = makePacket(makeVersionText("DVRJ PACKET1.44"), 1, 0x1012, ParamBlock{}, payload);
    stream.insert(stream.end(), good.begin(), good.end());

    std::span<const uint8_t> in(stream);
    std::vector<FramerEvent::Kind> kinds;
    std::vector<uint8_t> got;
    while (!in.empty()) {
        size_t used = 0;
        const FramerEvent e = framer.next(in, used);
        in = in.subspan(used);
        if (e.kind != FramerEvent::Kind::NeedMore)
            kinds.push_back(e.kind);
        if (e.kind == FramerEvent::Kind::PayloadComplete)
            got.assign(e.payload.begin(), e.payload.end());
    }
    // The oversize header is reported (its reply is answered) and its bytes passed over.
    EXPECT_EQ(kinds, (std::vector<FramerEvent::Kind>{FramerEvent::Kind::Oversize, FramerEvent::Kind::Header,
                                                     FramerEvent::Kind::PayloadComplete}));
    EXPECT_EQ(got, payload);
    EXPECT_EQ(framer.oversizePackets(), 1u);
    EXPECT_TRUE(framer.atPacketBoundary());
}

TEST(PacketFramer, EventListLengthComesFromTheRecordCount) {
    PacketHeader h{makeVersionText("DVRJ PACKET1.44"), 60, 1, command::EventListReply};
    ParamBlock p;
    p.p[0] = 3;
    EXPECT_EQ(PacketFramer::announcedPayload(h, p), 48u);
    p.p[0] = 0xFFFFFFFF;  // no overflow
    EXPECT_EQ(PacketFramer::announcedPayload(h, p), 0xFFFFFFFFull * 16);
    h.command = command::LivePictureReply;
    h.length = 10;
    EXPECT_EQ(PacketFramer::announcedPayload(h, p), 0u);
}

class FakeArpTable : public ArpTable {
public:
    std::optional<std::vector<ArpEntry>> read(size_t maxRows) override {
        if (!readable || rows.size() > maxRows)
            return std::nullopt;
        return rows;
    }
    bool remove(const ArpEntry& e) override {
        removed.push_back(e);
        return false;  // failures are ignored
    }
    bool readable = true;
    std::vector<ArpEntry> rows;
    std::vector<ArpEntry> removed;
};

TEST(ArpCache, AsksToDeleteOnlyTheRecorderEntry) {
    FakeArpTable table;
    table.rows = {{"10.0.0.1", "eth0"}, {"127.0.0.1", "lo"}, {"10.0.0.9", "eth0"}, {"10.0.0.90", "wlan0"}};
    // Refused deletes (an ordinary user) are ignored; other neighbours of the machine are never touched.
    EXPECT_EQ(clearArpCache(table, "10.0.0.9"), 1u);
    EXPECT_EQ(table.removed, (std::vector<ArpEntry>{{"10.0.0.9", "eth0"}}));

    struct Case {
        const char* address;
        size_t rows;
        bool readable;
    };
    // A host name or IPv6 address has no row of its own; an unreadable or oversized table is left alone.
    const Case nothing[] = {{"recorder.example", 3, true}, {"::1", 3, true}, {"10.0.0.1", 402, true},
                            {"10.0.0.1", 3, false},        {"", 3, true},    {"10.0.0.77", 3, true}};
    for (const Case& c : nothing) {
        FakeArpTable other;
        other.readable = c.readable;
        for (size_t i = 0; i < c.rows; ++i)
            other.rows.push_back({"10.0.0." + std::to_string(1 + i % 250), "eth0"});
        EXPECT_EQ(clearArpCache(other, c.address), 0u) << c.address << " " << c.rows;
        EXPECT_TRUE(other.removed.empty()) << c.address;
    }
}

TEST(ArpCache, ParsesTheKernelTable) {
    const char* text =
        "IP address       HW type     Flags       HW address            Mask     Device\n"
        "192.168.1.1      0x1         0x2         00:11:22:33:44:55     *        eth0\n"
        "not-an-address   0x1         0x2         00:11:22:33:44:56     *        eth0\n"
        "10.0.0.7         0x1         0x0         00:00:00:00:00:00     *        wlan0\n"
        "short line\n";
    const auto rows = parseProcNetArp(text);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0], (ArpEntry{"192.168.1.1", "eth0"}));
    EXPECT_EQ(rows[1], (ArpEntry{"10.0.0.7", "wlan0"}));
}

TEST(EventRecord, ParsesValidRecordsInOrder) {
    std::vector<uint8_t> body(16 * 3 + 5);
    EventRecord a{{2005, 3, 1, 12, 30, 15}, 4, 0x82};
    EventRecord b{{1996, 12, 31, 24, 0, 59}, 15, 0x86};
    writeEventRecord(std::span<uint8_t>(body).first<16>(), a);
    writeEventRecord(std::span<uint8_t>(body).subspan(16).first<16>(), b);
    writeEventRecord(std::span<uint8_t>(body).subspan(32).first<16>(), a);
    body[32 + 1] = 13;  // month out of range: skipped
    const auto events = parseEventRecords(body);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], a);
    EXPECT_EQ(events[1], b);
    EXPECT_EQ(eventTypeText(0x82), " LOSS EVENT ON");
    EXPECT_EQ(eventTypeText(0x86), " NO EVENT");
}

}  // namespace
}  // namespace dvr::link
