#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "common/evidence/ManifestBuilder.h"
#include "common/evidence/Verify.h"
#include "common/frame/DateTime.h"
#include "common/frame/PictureDecoder.h"
#include "player/media/ByteSource.h"
#include "tools/zavtool/ChannelPass.h"

namespace dvr::zavtool {

// Checks a frame entry against the backup file: the record at its source position is read; its picture
// codestream must have the entry's SHA-256 (version 2; version 1: must decode to a picture of the
// manifest's channel) and its time must be the entry's.
class BackupRecordCheck final : public evidence::SourceRecordCheck {
public:
    explicit BackupRecordCheck(const std::string& backupPath);
    // Over the bytes of a backup file; `decoder` (not owned) replaces the JPEG 2000 decoder when given.
    explicit BackupRecordCheck(std::unique_ptr<media::ByteSource> source,
                               frame::PictureDecoder* decoder = nullptr);
    ~BackupRecordCheck() override;
    std::string check(const evidence::ManifestFrame& frame, int channel, int formatVersion) override;

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace dvr::zavtool
