// The bytes of a fuzz input as the record area of a backup file: the never-read leading 64 KiB are put in
// front of them as zeros, so the input's first byte is the first record's.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>

#include "player/media/BackupFormat.h"
#include "player/media/ByteSource.h"

namespace dvr::fuzz {

class RecordArea final : public media::ByteSource {
public:
    explicit RecordArea(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    uint64_t size() const override { return media::kDataStart + m_bytes.size(); }
    size_t readAt(uint64_t offset, std::span<uint8_t> out) const override {
        size_t done = 0;
        while (done < out.size() && offset + done < size()) {
            const uint64_t at = offset + done;
            if (at < media::kDataStart) {
                const size_t count = size_t(std::min<uint64_t>(out.size() - done, media::kDataStart - at));
                std::memset(out.data() + done, 0, count);
                done += count;
            } else {
                const size_t count = size_t(std::min<uint64_t>(out.size() - done, size() - at));
                std::memcpy(out.data() + done, m_bytes.data() + (at - media::kDataStart), count);
                done += count;
            }
        }
        return done;
    }

private:
    std::span<const uint8_t> m_bytes;
};

}  // namespace dvr::fuzz
