#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>

#include "common/evidence/ManifestBuilder.h"
#include "common/evidence/Verify.h"
#include "common/export/ExportTime.h"
#include "common/export/RealTimePacer.h"
#include "tools/zavtool/ChannelExport.h"

namespace dvr::zavtool {

// A picture time as the manifest keeps it: "YYYY-MM-DD HH:MM:SS".
std::string manifestTimeText(const exporting::ExportTime& time);

// Records every written frame of a channel export in a manifest builder, with the picture it was made
// from. With real pacing a picture may be written several times or not at all: a pacer of its own,
// fed with picture numbers instead of pictures, tells which picture each frame is.
class ManifestRecorder final : public ExportObserver {
public:
    ManifestRecorder(evidence::ManifestBuilder& builder, ExportPace pace, int framesPerSecond)
        : m_builder(builder), m_pace(pace), m_shadow(framesPerSecond) {}

    void pictureMade(const exporting::ExportTime& time, uint64_t sourceOffset,
                     const std::array<uint8_t, 32>& sourceDigest, std::span<const uint8_t> jpeg) override;
    void frameWritten(uint32_t index, std::span<const uint8_t> jpeg) override;

private:
    struct Picture {
        std::string time;
        uint64_t sourceOffset;
        evidence::Digest sourceDigest;
    };
    evidence::ManifestBuilder& m_builder;
    const ExportPace m_pace;
    exporting::RealTimePacer m_shadow;
    bool m_shadowFinished = false;
    int64_t m_lastSecond = 0;
    std::deque<Picture> m_pictures;   // pictures that may still be written
    uint64_t m_firstPicture = 0;      // the number of m_pictures.front()
    std::deque<uint64_t> m_expected;  // numbers of the pictures of the next frames, in order
};

// Checks a frame entry against the backup file: the record at its source position is read; its picture
// codestream must have the entry's SHA-256 (version 2; version 1: must decode to a picture of the
// manifest's channel) and its time must be the entry's.
class BackupRecordCheck final : public evidence::SourceRecordCheck {
public:
    explicit BackupRecordCheck(const std::string& backupPath);
    ~BackupRecordCheck() override;
    std::string check(const evidence::ManifestFrame& frame, int channel, int formatVersion) override;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace dvr::zavtool
