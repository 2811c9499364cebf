// Recorder packets: the 28-byte header, the 32-byte parameter block, the
// login block and every request the viewer sends, as value types with pure
// codecs. All wire integers are little-endian 32-bit words.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/frame/DateTime.h"

namespace dvr::link {

inline constexpr size_t kPacketHeaderBytes = 28;
inline constexpr size_t kParamBlockBytes = 32;
// Header plus parameter block: where a payload begins.
inline constexpr size_t kPacketPrefixBytes = kPacketHeaderBytes + kParamBlockBytes;
inline constexpr size_t kLoginBlockBytes = 272;
inline constexpr size_t kLoginUserBytes = 128;
inline constexpr size_t kLoginPasswordBytes = 144;
inline constexpr size_t kLoginPacketBytes = kPacketHeaderBytes + kLoginBlockBytes;  // 300
inline constexpr size_t kVersionTextBytes = 16;
inline constexpr size_t kEventRecordBytes = 16;

inline constexpr std::string_view kPacketMagic = "DVRJ PACKET";
// The version text every session starts with and every login request carries.
inline constexpr std::string_view kLoginVersionText = "DVRJ PACKET1.44";

enum class PacketType : uint32_t {
    Ordinary = 1,  // request or reply
    Login = 2,     // login request
    Data = 3,      // data carried to the recorder (PTZ bytes, set-up query)
};

// Command codes. A reply carries its request's code + 1.
namespace command {
inline constexpr uint32_t Login = 0x1001;
inline constexpr uint32_t LoginReply = 0x1002;
inline constexpr uint32_t LivePicture = 0x1011;
inline constexpr uint32_t LivePictureReply = 0x1012;
inline constexpr uint32_t Stop = 0x1013;
inline constexpr uint32_t StopReply = 0x1014;
inline constexpr uint32_t PtzData = 0x1037;
inline constexpr uint32_t EventList = 0x1041;
inline constexpr uint32_t EventListReply = 0x1042;
inline constexpr uint32_t Notice = 0x1052;
inline constexpr uint32_t SetupQuery = 0x1057;
inline constexpr uint32_t RecordingRange = 0x1061;
inline constexpr uint32_t RecordingRangeReply = 0x1062;
inline constexpr uint32_t SessionEnded = 0x1072;
inline constexpr uint32_t NextPlaybackPicture = 0x1111;
inline constexpr uint32_t PlaybackPictureReply = 0x1112;
inline constexpr uint32_t PlaySearch = 0x1113;
inline constexpr uint32_t PlaySearchReply = 0x1114;
inline constexpr uint32_t StopPlayback = 0x1115;
inline constexpr uint32_t StopPlaybackReply = 0x1116;
inline constexpr uint32_t KeepAlive = 0xFFFF0000;
}  // namespace command

// The number by which the rest of the viewer asks the session for a request.
enum class RequestKind : uint8_t {
    Login = 1,
    LivePicture = 2,
    EventList = 4,
    Stop = 8,
    KeepAlive = 100,
    RecordingRange = 102,
    NextPlaybackPicture = 103,
    PlaySearch = 104,
    StopPlayback = 105,
};

// Playback status codes (0x1112 p3 when no picture follows, 0x1116 p0).
namespace playstatus {
inline constexpr uint32_t Error = 0;
inline constexpr uint32_t StopPlayImage = 1;
inline constexpr uint32_t NoSearchImage = 2;
inline constexpr uint32_t EndOfPlay = 3;
inline constexpr uint32_t InvalidDate = 4;
}  // namespace playstatus

// 16 bytes, NUL-padded; not necessarily NUL-terminated on the wire.
using VersionText = std::array<uint8_t, kVersionTextBytes>;

VersionText makeVersionText(std::string_view text);
// The text up to the first NUL (at most 16 characters).
std::string versionString(const VersionText& text);

struct PacketHeader {
    VersionText version{};
    uint32_t length = 0;  // whole packet, header included
    uint32_t type = 0;    // PacketType value
    uint32_t command = 0;
};

struct ParamBlock {
    std::array<uint32_t, 8> p{};
};

// Serialise / parse the fixed parts. Parsing needs at least 28 (32) bytes and
// checks nothing else.
void writePacketHeader(std::span<uint8_t> out, const PacketHeader& header);
void writeParamBlock(std::span<uint8_t> out, const ParamBlock& params);
PacketHeader readPacketHeader(std::span<const uint8_t> bytes);
ParamBlock readParamBlock(std::span<const uint8_t> bytes);

// A whole packet: header (its length field as given), parameter block and
// payload. For the recorder's side and for tests.
std::vector<uint8_t> serializePacket(const PacketHeader& header, const ParamBlock& params,
                                     std::span<const uint8_t> payload = {});
// The same with the length field set to 60 + the payload size.
std::vector<uint8_t> makePacket(const VersionText& version, uint32_t type, uint32_t command,
                                const ParamBlock& params, std::span<const uint8_t> payload = {});

// Offset of "DVRJ PACKET" in the first 28 bytes of a block, searching as text
// (the search stops at the first NUL byte); nullopt when absent.
std::optional<size_t> findPacketMagic(std::span<const uint8_t> block);

// Whether the block starts a packet the viewer handles: "DVRJ PACKET" within
// its first 28 bytes, at least 60 bytes, and a type of 1 to 3.
std::optional<PacketHeader> parseReceivedHeader(std::span<const uint8_t> block);

// Protocol level (0 to 3) and the newer-protocol flag derived from a
// recorder's version text.
struct ProtocolInfo {
    int level = 0;
    bool newer = false;
};
ProtocolInfo protocolFromVersion(const VersionText& text);

// Packed recorder time: date word year << 16 | month << 8 | day, time word
// hour << 24 | minute << 16 | second << 8.
uint32_t packDateWord(const DateTime& t);
uint32_t packTimeWord(const DateTime& t);
DateTime unpackRecorderTime(uint32_t dateWord, uint32_t timeWord);
// The playback picture's shorter packing: date word (year - 1996) << 8 | month,
// time word day << 24 | hour << 16 | minute << 8 | second.
DateTime unpackPictureTime(uint32_t dateWord, uint32_t timeWord);
uint32_t packPictureDateWord(const DateTime& t);
uint32_t packPictureTimeWord(const DateTime& t);

// The fields a request takes from its caller.
struct RequestValues {
    uint32_t displayedChannelMask = 0xFFFF;  // live request p2
    int requestSpeed = 8;                    // live request p3 = 11 - speed
    uint32_t requestDateWord = 0;            // play request p1
    uint32_t requestTimeWord = 0;            // play request p2
    uint32_t playModeWord = 0;               // play request p3
};

// A built packet in a fixed buffer (no allocation per request).
struct RequestBytes {
    std::array<uint8_t, kLoginPacketBytes> bytes{};
    size_t size = 0;
    std::span<const uint8_t> view() const { return {bytes.data(), size}; }
};

// The 272-byte login block: user ID (128 bytes) and password (144 bytes), each
// converted to Windows-1252 with "#" for unmappable characters, truncated to
// leave room for the terminating NUL.
std::array<uint8_t, kLoginBlockBytes> buildLoginBlock(std::string_view userUtf8,
                                                      std::string_view passwordUtf8);

// Builds the request of a kind. The login request always carries
// "DVRJ PACKET1.44" and the login block; every other request carries `version`.
// Returns an empty result (size 0) for a kind that has no packet.
RequestBytes buildRequest(RequestKind kind, const VersionText& version, const RequestValues& values,
                          const std::array<uint8_t, kLoginBlockBytes>& loginBlock);

// The PTZ data packet (0x1037): 60 + n bytes written to `out` (which must hold
// them); returns the size, 0 when `out` is too small.
size_t buildPtzPacket(std::span<uint8_t> out, const VersionText& version, std::span<const uint8_t> ptzBytes,
                      uint32_t baudRateCode);
// The set-up query (0x1057), 60 bytes.
RequestBytes buildSetupQuery(const VersionText& version);

// Windows-1252 text, characters without a mapping replaced by "#". Invalid
// UTF-8 sequences count as unmappable characters.
std::string utf8ToWindows1252(std::string_view utf8);
std::string utf16ToWindows1252(std::u16string_view utf16);
std::string windows1252ToUtf8(std::string_view text);

}  // namespace dvr::link
