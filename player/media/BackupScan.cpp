#include "player/media/BackupScan.h"

#include <algorithm>
#include <array>
#include <vector>

namespace dvr::media {

namespace {

// Sectors read after the data start before the scan gives up on finding a first header.
constexpr int kFirstHeaderSectors = 128;
// The end scan reads backwards in chunks of this many bytes (a whole number of sectors).
constexpr size_t kEndScanChunkBytes = 64 * 1024;

struct FirstHeader {
    BackupHeader header;
    uint64_t offset = 0;
    int channelCount = 0;
    int paneCount = 0;
};

// Opening scan steps 2 to 4: the first header whose byte 0x04 names 4, 8 or 16 channels.
bool findFirstHeader(const ByteSource& source, FirstHeader& first) {
    std::array<uint8_t, kSectorBytes> sector{};
    uint64_t offset = kDataStart;
    for (int count = 1; count <= kFirstHeaderSectors; ++count, offset += kSectorBytes) {
        if (source.readAt(offset, sector) < kSectorBytes)
            return false;
        if (!hasRecordSignature(sector))
            continue;
        switch (sector[backup_offset::kLayoutCode]) {
            case 0x16:
                first.channelCount = 16;
                first.paneCount = 16;
                break;
            case 0x04:
                first.channelCount = 4;
                first.paneCount = 4;
                break;
            case 0x08:
                first.channelCount = 8;
                first.paneCount = 9;
                break;
            default:
                continue;
        }
        first.header = *parseBackupHeader(sector);
        first.offset = offset;
        return true;
    }
    return false;
}

// The picture end marker as stored (byte-swapped): D9 FF at an even offset of the sector.
bool hasStoredEndMarker(std::span<const uint8_t> sector) {
    for (size_t i = 0; i + 1 < sector.size(); i += 2) {
        if (sector[i] == 0xD9 && sector[i + 1] == 0xFF)
            return true;
    }
    return false;
}

// End scan: backwards from the last whole sector, first to the last picture end marker, then to the
// nearest header before it whose time is later than the start time.
bool scanEnd(const ByteSource& source, int32_t startCount, ScanResult& result) {
    const uint64_t sectors = source.size() / kSectorBytes;
    if (sectors * kSectorBytes < kDataStart + kSectorBytes)
        return false;
    std::vector<uint8_t> chunk(kEndScanChunkBytes);
    bool markerFound = false;
    uint64_t chunkEnd = sectors * kSectorBytes;
    while (chunkEnd > kDataStart) {
        const uint64_t chunkStart =
            std::max<uint64_t>(kDataStart, chunkEnd - std::min<uint64_t>(chunkEnd, kEndScanChunkBytes));
        const size_t length = size_t(chunkEnd - chunkStart);
        if (source.readAt(chunkStart, {chunk.data(), length}) < length)
            return false;
        for (size_t at = length; at >= kSectorBytes; at -= kSectorBytes) {
            const std::span<const uint8_t> sector(chunk.data() + at - kSectorBytes, kSectorBytes);
            if (!markerFound) {
                // The sector holding the marker is not examined for a header.
                markerFound = hasStoredEndMarker(sector);
                continue;
            }
            if (!hasRecordSignature(sector))
                continue;
            const BackupHeader header = *parseBackupHeader(sector);
            if (!header.time.isValid())
                result.endTimeValid = false;
            if (startCount < orderingCount(header.time)) {
                result.endTime = header.time;
                result.endHeaderOffset = chunkStart + at - kSectorBytes;
                return true;
            }
        }
        chunkEnd = chunkStart;
    }
    return false;
}

}  // namespace

ScanOutcome scanBackup(const ByteSource& source, Notifier& notifier) {
    ScanOutcome outcome;
    ScanResult& result = outcome.result;
    result.fileSize = source.size();

    FirstHeader first;
    if (!findFirstHeader(source, first)) {
        outcome.error = ScanError::UnknownCd;
        notifier.showMessage(kUnknownCdMessage);
        return outcome;
    }
    result.channelCount = first.channelCount;
    result.paneCount = first.paneCount;
    result.layoutCode = first.header.layoutCode;
    result.soundAvailable = ((first.header.layoutCode >> 16) & 0xFF) == 3;  // byte 0x06
    result.startTime = first.header.time;
    result.firstHeaderOffset = first.offset;

    if (!scanEnd(source, orderingCount(first.header.time), result)) {
        outcome.error = ScanError::NoEnd;
        notifier.showMessage(kUnknownCdMessage);
        return outcome;
    }
    // A file shorter than the trailing area plus the data start still plays forward from its start.
    result.endOffset =
        result.fileSize > kTrailingBytes + kDataStart ? result.fileSize - kTrailingBytes : kDataStart;
    return outcome;
}

ScanOutcome openAndScan(const std::string& path, Notifier& notifier) {
    std::string reason;
    const auto source = FileByteSource::open(path, &reason);
    if (!source) {
        ScanOutcome outcome;
        outcome.error = ScanError::CannotOpen;
        outcome.detail = reason;
        notifier.showMessage(kUnknownCdMessage);
        return outcome;
    }
    return scanBackup(*source, notifier);
}

}  // namespace dvr::media
