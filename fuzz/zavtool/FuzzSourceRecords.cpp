// Checks manifest frames against arbitrary bytes taken as the record area of a backup file (the
// never-read leading 64 KiB are put in front of them), as zavtool verify --source does, with the stub
// decoder (guard checked, no decoding): every record position, cut or whole, gives a verdict without
// fault, and asking twice gives the same verdict.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <span>

#include "fuzz/support/StubPictureDecoder.h"
#include "player/media/BackupFormat.h"
#include "player/media/ByteSource.h"
#include "tools/zavtool/ExportEvidence.h"

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
    static fuzz::StubPictureDecoder stub;
    zavtool::BackupRecordCheck check(std::make_unique<RecordArea>(std::span(data, size)), &stub);
    const int channel = size > 0 ? data[0] % 17 - 1 : 0;  // -1 to 15
    evidence::ManifestFrame frame;
    frame.time = "2026-05-17 12:00:00";
    // Every sector start of the area (the first 64 at most), one byte past one, and positions outside.
    for (int64_t position : {int64_t(-1), int64_t(0), int64_t(media::kDataStart) + 1,
                             int64_t(media::kDataStart + size), int64_t(INT64_MAX)}) {
        frame.sourcePosition = position;
        (void)check.check(frame, channel);
    }
    const std::size_t sectors = std::min<std::size_t>(size / media::kSectorBytes + 1, 64);
    for (std::size_t i = 0; i < sectors; ++i) {
        frame.sourcePosition = int64_t(media::kDataStart + i * media::kSectorBytes);
        const std::string first = check.check(frame, channel);
        if (check.check(frame, channel) != first)
            std::abort();
    }
    return 0;
}
