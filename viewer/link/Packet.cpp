#include "viewer/link/Packet.h"

#include "common/frame/Bytes.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace dvr::link {

using frame::readLe32;
using frame::writeLe32;

VersionText makeVersionText(std::string_view text) {
    VersionText out{};
    const size_t n = std::min(text.size(), out.size());
    std::memcpy(out.data(), text.data(), n);
    return out;
}

std::string versionString(const VersionText& text) {
    const auto end = std::find(text.begin(), text.end(), uint8_t{0});
    return std::string(text.begin(), end);
}

void writePacketHeader(std::span<uint8_t> out, const PacketHeader& header) {
    std::memcpy(out.data(), header.version.data(), kVersionTextBytes);  // version text
    writeLe32(out, 16, header.length);                                  // total length
    writeLe32(out, 20, header.type);                                    // packet type
    writeLe32(out, 24, header.command);                                 // command code
}

void writeParamBlock(std::span<uint8_t> out, const ParamBlock& params) {
    for (size_t i = 0; i < params.p.size(); ++i)
        writeLe32(out, i * 4, params.p[i]);  // p0 .. p7
}

PacketHeader readPacketHeader(std::span<const uint8_t> bytes) {
    PacketHeader h;
    std::memcpy(h.version.data(), bytes.data(), kVersionTextBytes);
    h.length = readLe32(bytes, 16);
    h.type = readLe32(bytes, 20);
    h.command = readLe32(bytes, 24);
    return h;
}

ParamBlock readParamBlock(std::span<const uint8_t> bytes) {
    ParamBlock b;
    for (size_t i = 0; i < b.p.size(); ++i)
        b.p[i] = readLe32(bytes, i * 4);
    return b;
}

std::vector<uint8_t> serializePacket(const PacketHeader& header, const ParamBlock& params,
                                     std::span<const uint8_t> payload) {
    std::vector<uint8_t> out(kPacketPrefixBytes + payload.size());
    writePacketHeader(out, header);
    writeParamBlock(std::span<uint8_t>(out).subspan(kPacketHeaderBytes), params);
    if (!payload.empty())
        std::memcpy(out.data() + kPacketPrefixBytes, payload.data(), payload.size());
    return out;
}

std::vector<uint8_t> makePacket(const VersionText& version, uint32_t type, uint32_t command,
                                const ParamBlock& params, std::span<const uint8_t> payload) {
    const PacketHeader header{version, static_cast<uint32_t>(kPacketPrefixBytes + payload.size()), type,
                              command};
    return serializePacket(header, params, payload);
}

std::optional<size_t> findPacketMagic(std::span<const uint8_t> block) {
    const size_t limit = std::min(block.size(), kPacketHeaderBytes);
    // Text search: the searched text ends at the first NUL byte.
    const auto nul = std::find(block.begin(), block.begin() + static_cast<ptrdiff_t>(limit), uint8_t{0});
    const size_t textLength = static_cast<size_t>(nul - block.begin());
    if (textLength < kPacketMagic.size())
        return std::nullopt;
    const std::string_view text(reinterpret_cast<const char*>(block.data()), textLength);
    const size_t at = text.find(kPacketMagic);
    if (at == std::string_view::npos)
        return std::nullopt;
    return at;
}

std::optional<PacketHeader> parseReceivedHeader(std::span<const uint8_t> block) {
    if (block.size() < kPacketPrefixBytes || !findPacketMagic(block))
        return std::nullopt;
    PacketHeader h = readPacketHeader(block);
    if (h.type < 1 || h.type > 3)
        return std::nullopt;
    return h;
}

namespace {

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

}  // namespace

ProtocolInfo protocolFromVersion(const VersionText& version) {
    const std::string text = versionString(version);
    if (equalsIgnoringCase(text, "DVRJ PACKET1.41"))
        return {1, false};
    if (equalsIgnoringCase(text, "DVRJ PACKET1.42"))
        return {2, false};
    if (equalsIgnoringCase(text, "DVRJ PACKET1.44"))
        return {3, true};
    if (text.size() >= 2) {
        // The last two characters read as a decimal number (leading digits).
        const char a = text[text.size() - 2];
        const char b = text[text.size() - 1];
        int value = 0;
        if (a >= '0' && a <= '9') {
            value = a - '0';
            if (b >= '0' && b <= '9')
                value = value * 10 + (b - '0');
        }
        if (value > 44)
            return {3, true};
    }
    return {0, false};
}

uint32_t packDateWord(const DateTime& t) {
    return (static_cast<uint32_t>(t.year) << 16) | (static_cast<uint32_t>(t.month & 0xFF) << 8) |
           static_cast<uint32_t>(t.day & 0xFF);
}

uint32_t packTimeWord(const DateTime& t) {
    return (static_cast<uint32_t>(t.hour & 0xFF) << 24) | (static_cast<uint32_t>(t.minute & 0xFF) << 16) |
           (static_cast<uint32_t>(t.second & 0xFF) << 8);
}

DateTime unpackRecorderTime(uint32_t dateWord, uint32_t timeWord) {
    DateTime t;
    t.year = static_cast<int>(dateWord >> 16);
    t.month = static_cast<int>((dateWord >> 8) & 0xFF);
    t.day = static_cast<int>(dateWord & 0xFF);
    t.hour = static_cast<int>(timeWord >> 24);
    t.minute = static_cast<int>((timeWord >> 16) & 0xFF);
    t.second = static_cast<int>((timeWord >> 8) & 0xFF);
    return t;
}

DateTime unpackPictureTime(uint32_t dateWord, uint32_t timeWord) {
    DateTime t;
    t.year = static_cast<int>(dateWord >> 8) + 1996;
    t.month = static_cast<int>(dateWord & 0xFF);
    t.day = static_cast<int>(timeWord >> 24);
    t.hour = static_cast<int>((timeWord >> 16) & 0xFF);
    t.minute = static_cast<int>((timeWord >> 8) & 0xFF);
    t.second = static_cast<int>(timeWord & 0xFF);
    return t;
}

uint32_t packPictureDateWord(const DateTime& t) {
    return (static_cast<uint32_t>(t.year - 1996) << 8) | static_cast<uint32_t>(t.month & 0xFF);
}

uint32_t packPictureTimeWord(const DateTime& t) {
    return (static_cast<uint32_t>(t.day & 0xFF) << 24) | (static_cast<uint32_t>(t.hour & 0xFF) << 16) |
           (static_cast<uint32_t>(t.minute & 0xFF) << 8) | static_cast<uint32_t>(t.second & 0xFF);
}

std::array<uint8_t, kLoginBlockBytes> buildLoginBlock(std::string_view userUtf8,
                                                      std::string_view passwordUtf8) {
    std::array<uint8_t, kLoginBlockBytes> block{};
    const std::string user = utf8ToWindows1252(userUtf8);
    const std::string password = utf8ToWindows1252(passwordUtf8);
    // Each field keeps at least one NUL at its end.
    std::memcpy(block.data(), user.data(), std::min(user.size(), kLoginUserBytes - 1));
    std::memcpy(block.data() + kLoginUserBytes, password.data(),
                std::min(password.size(), kLoginPasswordBytes - 1));
    return block;
}

namespace {

void fillOrdinary(RequestBytes& out, const VersionText& version, uint32_t type, uint32_t code,
                  const ParamBlock& params) {
    out.bytes.fill(0);
    out.size = kPacketPrefixBytes;
    writePacketHeader(out.bytes,
                      PacketHeader{version, static_cast<uint32_t>(kPacketPrefixBytes), type, code});
    writeParamBlock(std::span<uint8_t>(out.bytes).subspan(kPacketHeaderBytes), params);
}

}  // namespace

RequestBytes buildRequest(RequestKind kind, const VersionText& version, const RequestValues& values,
                          const std::array<uint8_t, kLoginBlockBytes>& loginBlock) {
    RequestBytes out;
    ParamBlock params;
    const auto ordinary = static_cast<uint32_t>(PacketType::Ordinary);
    switch (kind) {
        case RequestKind::Login:
            out.size = kLoginPacketBytes;
            writePacketHeader(
                out.bytes,
                PacketHeader{makeVersionText(kLoginVersionText), static_cast<uint32_t>(kLoginPacketBytes),
                             static_cast<uint32_t>(PacketType::Login), command::Login});
            std::memcpy(out.bytes.data() + kPacketHeaderBytes, loginBlock.data(), kLoginBlockBytes);
            return out;
        case RequestKind::LivePicture:
            params.p[0] = 1;
            params.p[1] = 1;
            params.p[2] = values.displayedChannelMask;
            params.p[3] = static_cast<uint32_t>(11 - values.requestSpeed);
            fillOrdinary(out, version, ordinary, command::LivePicture, params);
            return out;
        case RequestKind::EventList:
            fillOrdinary(out, version, ordinary, command::EventList, params);
            return out;
        case RequestKind::Stop:
            fillOrdinary(out, version, ordinary, command::Stop, params);
            return out;
        case RequestKind::KeepAlive:
            fillOrdinary(out, version, ordinary, command::KeepAlive, params);
            return out;
        case RequestKind::RecordingRange:
            fillOrdinary(out, version, ordinary, command::RecordingRange, params);
            return out;
        case RequestKind::NextPlaybackPicture:
            fillOrdinary(out, version, ordinary, command::NextPlaybackPicture, params);
            return out;
        case RequestKind::PlaySearch:
            params.p[0] = 15;
            params.p[1] = values.requestDateWord;
            params.p[2] = values.requestTimeWord;
            params.p[3] = values.playModeWord;
            fillOrdinary(out, version, ordinary, command::PlaySearch, params);
            return out;
        case RequestKind::StopPlayback:
            fillOrdinary(out, version, ordinary, command::StopPlayback, params);
            return out;
    }
    return out;
}

size_t buildPtzPacket(std::span<uint8_t> out, const VersionText& version, std::span<const uint8_t> ptzBytes,
                      uint32_t baudRateCode) {
    const size_t total = kPacketPrefixBytes + ptzBytes.size();
    if (out.size() < total || total > UINT32_MAX)
        return 0;
    std::fill(out.begin(), out.begin() + static_cast<ptrdiff_t>(total), uint8_t{0});
    writePacketHeader(out, PacketHeader{version, static_cast<uint32_t>(total),
                                        static_cast<uint32_t>(PacketType::Data), command::PtzData});
    ParamBlock params;
    params.p[0] = 2;                                       // PTZ pass-through
    params.p[1] = static_cast<uint32_t>(ptzBytes.size());  // byte count
    params.p[2] = baudRateCode;                            // camera line speed
    writeParamBlock(out.subspan(kPacketHeaderBytes), params);
    if (!ptzBytes.empty())
        std::memcpy(out.data() + kPacketPrefixBytes, ptzBytes.data(), ptzBytes.size());
    return total;
}

RequestBytes buildSetupQuery(const VersionText& version) {
    RequestBytes out;
    ParamBlock params;
    params.p[0] = 1;
    params.p[1] = 0;
    fillOrdinary(out, version, static_cast<uint32_t>(PacketType::Data), command::SetupQuery, params);
    return out;
}

namespace {

// Code points of bytes 0x80 to 0x9F. The five bytes Windows-1252 leaves
// undefined map to the C1 control of the same value, as the platform does.
constexpr char32_t kHighTable[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

char codePointTo1252(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<char>(cp);
    for (size_t i = 0; i < 32; ++i)
        if (kHighTable[i] == cp)
            return static_cast<char>(0x80 + i);
    return '#';
}

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

std::string utf8ToWindows1252(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        size_t extra = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            cp = lead & 0x07;
        } else {
            out.push_back('#');  // stray continuation or invalid lead byte
            ++i;
            continue;
        }
        bool valid = i + extra < utf8.size();
        for (size_t k = 1; valid && k <= extra; ++k) {
            const auto c = static_cast<uint8_t>(utf8[i + k]);
            if ((c & 0xC0) != 0x80)
                valid = false;
            else
                cp = (cp << 6) | (c & 0x3F);
        }
        // Overlong forms and surrogates count as invalid.
        if (valid && ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) ||
                      (extra == 3 && cp < 0x10000) || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF))
            valid = false;
        if (!valid) {
            out.push_back('#');
            ++i;
            // Skip the continuation bytes of the broken sequence.
            while (i < utf8.size() && (static_cast<uint8_t>(utf8[i]) & 0xC0) == 0x80)
                ++i;
            continue;
        }
        out.push_back(codePointTo1252(cp));
        i += extra + 1;
    }
    return out;
}

std::string utf16ToWindows1252(std::u16string_view utf16) {
    std::string out;
    out.reserve(utf16.size());
    for (size_t i = 0; i < utf16.size(); ++i) {
        const char16_t u = utf16[i];
        if (u >= 0xD800 && u <= 0xDBFF) {
            // A surrogate pair is one character; none maps to Windows-1252.
            if (i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 && utf16[i + 1] <= 0xDFFF)
                ++i;
            out.push_back('#');
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            out.push_back('#');
        } else {
            out.push_back(codePointTo1252(u));
        }
    }
    return out;
}

std::string windows1252ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto b = static_cast<uint8_t>(c);
        const char32_t cp = (b >= 0x80 && b < 0xA0) ? kHighTable[b - 0x80] : b;
        appendUtf8(out, cp);
    }
    return out;
}

}  // namespace dvr::link
