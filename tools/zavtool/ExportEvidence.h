#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <span>
#include <string>

#include "common/evidence/ManifestBuilder.h"
#include "common/evidence/Verify.h"
#include "common/export/ExportTime.h"
#include "tools/zavtool/ChannelExport.h"

namespace dvr::zavtool {

// A picture time as the manifest keeps it: "YYYY-MM-DD HH:MM:SS".
std::string manifestTimeText(const exporting::ExportTime& time);

// Records every written frame of a channel export in a manifest builder, with the picture it was made
// from: with real pacing a picture may be written several times or not at all, and frames follow the
// pictures' order, so each frame is matched to the oldest waiting picture with the same bytes.
class ManifestRecorder final : public ExportObserver {
public:
    explicit ManifestRecorder(evidence::ManifestBuilder& builder) : m_builder(builder) {}

    void pictureMade(const exporting::ExportTime& time, uint64_t sourceOffset,
                     std::span<const uint8_t> jpeg) override;
    void frameWritten(uint32_t index, std::span<const uint8_t> jpeg) override;

private:
    struct Picture {
        evidence::Digest digest;
        std::string time;
        uint64_t sourceOffset;
    };
    evidence::ManifestBuilder& m_builder;
    std::deque<Picture> m_waiting;
    const uint8_t* m_lastBytes = nullptr;  // the last picture's bytes, while they may be written as they are
    size_t m_lastSize = 0;
};

// Checks a frame entry against the backup file: the record at its source position is read and decoded
// again, and must carry the manifest's channel at the entry's time.
class BackupRecordCheck final : public evidence::SourceRecordCheck {
public:
    explicit BackupRecordCheck(const std::string& backupPath);
    ~BackupRecordCheck() override;
    std::string check(const evidence::ManifestFrame& frame, int channel) override;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace dvr::zavtool
