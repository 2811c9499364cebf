#include "tools/zavtool/ExportEvidence.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "common/evidence/Sha256.h"
#include "common/frame/FrameDecoder.h"
#include "common/frame/SourceRect.h"
#include "player/media/BackupFormat.h"
#include "player/media/PictureDecode.h"

namespace dvr::zavtool {

struct BackupRecordCheck::State {
    std::unique_ptr<media::ByteSource> source;
    std::string openError;
    frame::FrameDecoder decoder;
    std::vector<uint8_t> data;
    // The last record checked: repeated frames name the same record.
    int64_t lastPosition = -1;
    int lastChannel = -1;
    std::string lastSourceSha256;
    std::string lastTime;
    std::string lastResult;
};

BackupRecordCheck::BackupRecordCheck(const std::string& backupPath) : m_state(std::make_unique<State>()) {
    // Opened without blocking, regular files only.
    std::string reason;
    m_state->source = media::FileByteSource::open(backupPath, &reason);
    if (!m_state->source)
        m_state->openError = backupPath + ": " + reason;
}

BackupRecordCheck::BackupRecordCheck(std::unique_ptr<media::ByteSource> source,
                                     frame::PictureDecoder* decoder)
    : m_state(std::make_unique<State>()) {
    m_state->source = std::move(source);
    if (!m_state->source)
        m_state->openError = "no backup file";
    m_state->decoder.setPictureDecoder(decoder);
}

BackupRecordCheck::~BackupRecordCheck() = default;

namespace {

bool readAt(const media::ByteSource& source, uint8_t* out, size_t size, uint64_t offset) {
    return source.readAt(offset, std::span(out, size)) == size;
}

}  // namespace

std::string BackupRecordCheck::check(const evidence::ManifestFrame& entry, int channel, int formatVersion) {
    State& s = *m_state;
    if (!s.source)
        return s.openError;
    if (entry.sourcePosition == s.lastPosition && channel == s.lastChannel &&
        entry.sourceSha256 == s.lastSourceSha256 && entry.time == s.lastTime)
        return s.lastResult;
    s.lastSourceSha256 = entry.sourceSha256;
    s.lastTime = entry.time;
    s.lastPosition = entry.sourcePosition;
    s.lastChannel = channel;
    std::string& result = s.lastResult;
    result.clear();
    if (entry.sourcePosition < 0)
        return result = "no source record";
    const uint64_t at = uint64_t(entry.sourcePosition);
    std::array<uint8_t, media::kSectorBytes> sector{};
    if (!readAt(*s.source, sector.data(), sector.size(), at) || !media::hasRecordSignature(sector))
        return result = "no record at source position " + std::to_string(at);
    const media::BackupHeader header = *media::parseBackupHeader(sector);
    const uint32_t n = header.sectorCount - 1;
    if (header.sectorCount < 1 || n <= 5 || n > 100)
        return result = "the record at " + std::to_string(at) + " holds no picture";
    std::array<uint8_t, media::kSubHeaderBytes> subHeader{};
    const size_t dataBytes = size_t(n) * media::kSectorBytes;
    s.data.assign(dataBytes, 0);
    if (!readAt(*s.source, subHeader.data(), subHeader.size(), at + media::kSectorBytes) ||
        !readAt(*s.source, s.data.data(), dataBytes - media::kSubHeaderBytes,
                at + media::kSectorBytes + media::kSubHeaderBytes))
        return result = "the record at " + std::to_string(at) + " is cut short";
    media::swapWords(subHeader);
    media::swapWords(s.data);
    // The codestream ends at its end marker, searched from 32 bytes before the picture length.
    int64_t found = -1;
    if (header.endSearchLength() >= 32) {
        for (int64_t i = std::max<int64_t>(header.endSearchLength() - 32, 1); i <= int64_t(dataBytes) - 17;
             ++i) {
            if (s.data[size_t(i - 1)] == 0xFF && s.data[size_t(i)] == 0xD9) {
                found = i;
                break;
            }
        }
    }
    if (found < 0)
        return result = "the record at " + std::to_string(at) + " holds no complete picture";
    const std::span<const uint8_t> codestream(s.data.data(), size_t(found) + 1);
    const DateTime recordTime = header.time.dateTime();
    if (formatVersion >= 2) {
        // The signature attests how the frame was made from these bytes; here they are the record's.
        if (entry.sourceSha256.empty())
            return result = "the entry names no source picture";
        if (evidence::hexOf(evidence::sha256(codestream)) != entry.sourceSha256)
            return result = "the record at " + std::to_string(at) + " holds another picture";
        if (dateTimeText(recordTime) != entry.time)
            return result = "the record at " + std::to_string(at) + " is of " + dateTimeText(recordTime);
        return result;
    }
    const frame::DecodedFrame decoded =
        s.decoder.decodeCodestream(media::frameHeaderOf(header, subHeader), codestream,
                                   uint32_t(codestream.size()), media::playerDecodeOptions(header));
    if (!decoded.ok())
        return result = "the record at " + std::to_string(at) + " does not decode";
    const int first = decoded.channel;
    if (first < 0 || channel < first || channel >= first + frame::channelsPerPicture(header.pictureFlags))
        return result = "the record at " + std::to_string(at) + " shows channel " + std::to_string(first) +
                        ", not channel " + std::to_string(channel);
    const DateTime time = header.time.dateTime();
    if (dateTimeText(time) != entry.time)
        return result = "the record at " + std::to_string(at) + " is of " + dateTimeText(time);
    return result;
}

}  // namespace dvr::zavtool
