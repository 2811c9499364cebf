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

#include "fuzz/support/RecordArea.h"
#include "fuzz/support/StubPictureDecoder.h"
#include "player/media/BackupFormat.h"
#include "player/media/ByteSource.h"
#include "tools/zavtool/ExportEvidence.h"

using namespace dvr;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static fuzz::StubPictureDecoder stub;
    zavtool::BackupRecordCheck check(std::make_unique<fuzz::RecordArea>(std::span(data, size)), &stub);
    const int channel = size > 0 ? data[0] % 17 - 1 : 0;  // -1 to 15
    // Version 1 entries are checked by decoding, version 2 entries by their source picture's hash.
    const int version = size > 1 ? 1 + data[1] % 2 : 2;
    evidence::ManifestFrame frame;
    frame.time = "2026-05-17 12:00:00";
    frame.sourceSha256 = std::string(64, '0');
    // Every sector start of the area (the first 64 at most), one byte past one, and positions outside.
    for (int64_t position : {int64_t(-1), int64_t(0), int64_t(media::kDataStart) + 1,
                             int64_t(media::kDataStart + size), int64_t(INT64_MAX)}) {
        frame.sourcePosition = position;
        (void)check.check(frame, channel, version);
    }
    const std::size_t sectors = std::min<std::size_t>(size / media::kSectorBytes + 1, 64);
    for (std::size_t i = 0; i < sectors; ++i) {
        frame.sourcePosition = int64_t(media::kDataStart + i * media::kSectorBytes);
        const std::string first = check.check(frame, channel, version);
        if (check.check(frame, channel, version) != first)
            std::abort();
    }
    return 0;
}
