// Reads every sound channel of arbitrary bytes taken as the record area of a backup file (the
// never-read leading 64 KiB are put in front of them), as zavtool audio does, and checks what must
// always hold: the reading ends, and each block gives at most one block's samples.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <span>

#include "player/media/BackupFormat.h"
#include "player/media/ByteSource.h"
#include "tools/zavtool/SoundTrack.h"

namespace {

using namespace dvr;

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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const RecordArea area(std::span(data, size));
    // Every block needs a header sector in front of it: the samples are bounded by the sectors read.
    const std::size_t sectors = size / media::kSectorBytes + 1;
    for (int channel = 0; channel <= 5; ++channel) {
        const auto pcm = zavtool::readSoundChannel(area, channel);
        if ((channel < 1 || channel > 4) && !pcm.empty())
            std::abort();
        if (pcm.size() > sectors * media::kSoundBlockBytes)
            std::abort();
    }
    return 0;
}
