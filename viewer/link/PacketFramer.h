// Splits a received byte stream into packets: exactly the 60-byte header and
// parameter block, then exactly the payload. Bytes that do not start with
// "DVRJ PACKET", headers whose type is not 1 to 3, and packets announcing a
// payload above the bound are dropped; the stream then resynchronises at the
// next "DVRJ PACKET" header. Pure: it never reads a socket.
#pragma once

#include "viewer/link/Packet.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace dvr::link {

struct FramerEvent {
    enum class Kind {
        NeedMore,         // every given byte is used; feed more
        Header,           // a packet's header and parameter block are complete
        PayloadComplete,  // the payload of the last header is complete
        Oversize,         // a header announcing more than the bound: dropped, the stream resynchronises
    };
    Kind kind = Kind::NeedMore;
    PacketHeader header;
    ParamBlock params;
    uint64_t payloadBytes = 0;         // Header: the payload that follows; Oversize: the one announced
    std::span<const uint8_t> payload;  // PayloadComplete: valid until the next call
};

class PacketFramer {
public:
    // The payload capacity reserved at the start of each connection.
    static constexpr size_t kInitialPayloadCapacity = 32768;
    // The event list is bounded by its own size, not the picture bound: up to 1 048 576 records,
    // far beyond the event log a recorder keeps.
    static constexpr uint64_t kMaxEventListBytes = uint64_t(1) << 24;

    explicit PacketFramer(uint64_t maxPayloadBytes);

    // Consumes bytes from `in` until one event is ready or `in` is used up;
    // `consumed` tells how many bytes were taken. After a Header event the
    // payload is collected unless skipPayload() is called before the next call.
    FramerEvent next(std::span<const uint8_t> in, size_t& consumed);

    // Do not keep the payload of the header just reported; its bytes are
    // passed over.
    void skipPayload();

    // Forget any partial packet and start looking for a header.
    void reset();
    // Back to the starting payload capacity (a new connection).
    void resetCapacity();

    // The payload length a header announces: p0 x 16 for the event list,
    // otherwise length - 60 (a length below 60 means no payload).
    static uint64_t announcedPayload(const PacketHeader& header, const ParamBlock& params);

    uint64_t maxPayloadBytes() const { return m_maxPayloadBytes; }
    // Bytes dropped while looking for a header (garbage, refused headers).
    uint64_t droppedBytes() const { return m_droppedBytes; }
    // Packets whose announced payload exceeded the bound.
    uint64_t oversizePackets() const { return m_oversizePackets; }
    bool atPacketBoundary() const { return m_mode == Mode::Prefix && m_prefixFill == 0; }

private:
    enum class Mode { Prefix, Collect, Skip };

    void pushPrefixByte(uint8_t b);
    void dropPrefixFront();

    uint64_t m_maxPayloadBytes;
    Mode m_mode = Mode::Prefix;
    std::array<uint8_t, kPacketPrefixBytes> m_prefix{};
    size_t m_prefixFill = 0;
    std::vector<uint8_t> m_payload;
    uint64_t m_expected = 0;
    uint64_t m_collected = 0;
    uint64_t m_droppedBytes = 0;
    uint64_t m_oversizePackets = 0;
};

}  // namespace dvr::link
