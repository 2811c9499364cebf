#include "tools/zavgen/BackupWriter.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace dvr::zavgen {

namespace {

constexpr size_t kSector = media::kSectorBytes;

uint32_t nextRandom(uint32_t& state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

}  // namespace

uint8_t muLawEncode(int16_t sample) {
    constexpr int kBias = 0x84;
    constexpr int kClip = 32635;
    int pcm = sample;
    const int sign = pcm < 0 ? 0x80 : 0;
    if (pcm < 0)
        pcm = -pcm;
    pcm = std::min(pcm, kClip) + kBias;
    int exponent = 7;
    for (int mask = 0x4000; (pcm & mask) == 0 && exponent > 0; mask >>= 1)
        --exponent;
    const int mantissa = (pcm >> (exponent + 3)) & 0x0F;
    return uint8_t(~(sign | exponent << 4 | mantissa));
}

int16_t muLawDecode(uint8_t code) {
    const int u = ~code & 0xFF;
    const int exponent = (u >> 4) & 7;
    const int magnitude = (((u & 0x0F) << 3) + 0x84) << exponent;
    return int16_t((u & 0x80) ? 0x84 - magnitude : magnitude - 0x84);
}

std::array<uint8_t, media::kSoundBlockBytes> buildSoundBlock(
    const std::array<std::span<const uint8_t>, media::kSoundChannels>& channels, uint8_t mask) {
    std::array<uint8_t, media::kSoundBlockBytes> block;
    block.fill(0x80);
    for (int k = 0; k < media::kSoundChannels; ++k) {
        if (!(mask & (1u << k)))
            continue;
        const auto bytes =
            channels[size_t(k)].first(std::min(channels[size_t(k)].size(), kMaxSoundBytesPerBlock));
        size_t g = 0;
        for (; g < bytes.size(); ++g)
            block[g * 4 + size_t(k)] = bytes[g] == 0x80 ? 0x81 : bytes[g];
        // The byte before the closing pair is not part of the data.
        block[g * 4 + size_t(k)] = 0xFF;
    }
    return block;
}

BackupWriter::~BackupWriter() {
    if (m_file)
        std::fclose(m_file);
}

bool BackupWriter::open(const std::string& path, std::span<const uint8_t> leading) {
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) {
        m_error = std::strerror(errno);
        return false;
    }
    std::vector<uint8_t> head(media::kDataStart, 0);
    std::copy_n(leading.begin(), std::min(leading.size(), head.size()), head.begin());
    put(head);
    return !m_failed;
}

void BackupWriter::put(std::span<const uint8_t> bytes) {
    if (!m_file || m_failed)
        return;
    if (std::fwrite(bytes.data(), 1, bytes.size(), m_file) != bytes.size()) {
        m_failed = true;
        m_error = std::strerror(errno);
    }
    m_offset += bytes.size();
}

uint64_t BackupWriter::writeRecord(const BackupRecord& shape) {
    const uint64_t headerOffset = m_offset;
    const uint32_t sector = kSectorBase + uint32_t(headerOffset / kSector);
    const bool soundOnly = shape.codestream.empty();
    const bool trailingBlock = shape.soundType == media::kSoundTrailingBlock;

    // Data after the header sector, in natural byte order: sub-header, codestream (padded to whole
    // words), then the sound block at the very end.
    size_t dataBytes = soundOnly ? media::kSoundBlockBytes
                                 : media::kSubHeaderBytes + ((shape.codestream.size() + 3) & ~size_t(3)) +
                                       (trailingBlock ? media::kSoundBlockBytes : 0);
    dataBytes = (dataBytes + kSector - 1) / kSector * kSector;
    m_record.assign(kSector + dataBytes, 0);
    std::span<uint8_t> data(m_record.data() + kSector, dataBytes);
    if (soundOnly) {
        std::copy(shape.soundBlock.begin(), shape.soundBlock.end(), data.begin());
    } else {
        data[11] = shape.fieldCode == media::kFirstField    ? 0xF0
                   : shape.fieldCode == media::kSecondField ? 0xF1
                                                            : 0x00;
        std::copy(shape.codestream.begin(), shape.codestream.end(), data.begin() + media::kSubHeaderBytes);
        if (shape.dropEndMarker && shape.codestream.size() >= 2) {
            data[media::kSubHeaderBytes + shape.codestream.size() - 2] = 0;
            data[media::kSubHeaderBytes + shape.codestream.size() - 1] = 0;
        }
        if (trailingBlock)
            std::copy(shape.soundBlock.begin(), shape.soundBlock.end(), data.end() - media::kSoundBlockBytes);
    }
    media::swapWords(data);

    media::BackupHeader h;
    h.signatureByte = shape.signatureByte;
    h.layoutCode = shape.layoutCode;
    h.frameIntervalFields = shape.frameIntervalFields;
    h.previousSectorLow = shape.previousSectorOverride.value_or(shape.linkPrevious ? m_lastSector : 0);
    h.sectorLow = sector;
    // The reader takes 4 bytes per sound channel bit off the picture length of a record with sound.
    h.pictureLength = shape.pictureLengthOverride.value_or(
        uint32_t(shape.codestream.size()) + (shape.soundType != 0 ? 4u * shape.soundMask : 0u));
    h.sectorCount = shape.sectorCountOverride.value_or(uint32_t(m_record.size() / kSector));
    h.groupWord = shape.groupWord;
    h.channel = shape.channel;
    h.time = shape.time;
    h.pictureFlags = shape.pictureFlags;
    h.skipWords = shape.skipWords;
    h.videoStandard = shape.videoStandard;
    h.soundWord = shape.soundType | shape.soundMask;
    h.soundSequence = shape.soundSequence;
    h.soundParameterWord = shape.soundParameter;
    media::writeBackupHeader(h, {m_record.data(), kSector});
    put(m_record);
    m_lastSector = sector;
    ++m_records;
    return headerOffset;
}

void BackupWriter::writeGarbageSectors(int count, uint32_t seed) {
    uint32_t state = seed | 1;
    std::array<uint8_t, kSector> sector;
    for (int i = 0; i < count; ++i) {
        for (auto& b : sector)
            b = uint8_t(nextRandom(state));
        if (media::hasRecordSignature(sector))
            sector[1] = 0;
        put(sector);
    }
}

void BackupWriter::writeSectors(std::span<const uint8_t> bytes) {
    std::vector<uint8_t> padded((bytes.size() + kSector - 1) / kSector * kSector, 0);
    std::copy(bytes.begin(), bytes.end(), padded.begin());
    put(padded);
}

void BackupWriter::skip(uint64_t bytes) {
    bytes = bytes / kSector * kSector;
    if (!m_file || m_failed || bytes == 0)
        return;
    if (fseeko(m_file, off_t(bytes), SEEK_CUR) != 0) {
        m_failed = true;
        m_error = std::strerror(errno);
    }
    m_offset += bytes;
}

bool BackupWriter::close() {
    if (!m_file)
        return false;
    // A hole at the end only counts once the file reaches its full size.
    if (!m_failed && (std::fflush(m_file) != 0 || ftruncate(fileno(m_file), off_t(m_offset)) != 0)) {
        m_failed = true;
        m_error = std::strerror(errno);
    }
    if (std::fclose(m_file) != 0 && !m_failed) {
        m_failed = true;
        m_error = std::strerror(errno);
    }
    m_file = nullptr;
    return !m_failed;
}

std::vector<uint8_t> evenLengthCodestream(std::span<const uint8_t> codestream) {
    std::vector<uint8_t> out(codestream.begin(), codestream.end());
    // SOC (FF 4F), then SIZ (FF 51) with its 16-bit length.
    if (out.size() % 2 == 0 || out.size() < 6 || out[0] != 0xFF || out[1] != 0x4F || out[2] != 0xFF ||
        out[3] != 0x51)
        return out;
    const size_t sizEnd = 4 + (size_t(out[4]) << 8 | out[5]);
    if (sizEnd > out.size())
        return out;
    static constexpr uint8_t kComment[] = {0xFF, 0x64, 0x00, 0x05,
                                           0x00, 0x01, 'z'};  // COM, Lcom 5, Latin text
    out.insert(out.begin() + std::ptrdiff_t(sizEnd), std::begin(kComment), std::end(kComment));
    return out;
}

std::vector<uint8_t> placeholderCodestream(size_t bytes, uint32_t seed) {
    bytes = std::max<size_t>(4, bytes + (bytes & 1));
    std::vector<uint8_t> out(bytes);
    uint32_t state = seed | 1;
    for (auto& b : out)
        b = uint8_t(nextRandom(state) & 0x7F);  // never FF: no early end marker
    out[0] = 0xFF;
    out[1] = 0x4F;  // start of codestream
    out[bytes - 2] = 0xFF;
    out[bytes - 1] = 0xD9;
    return out;
}

}  // namespace dvr::zavgen
