#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "common/evidence/ManifestBuilder.h"
#include "common/export/FramePipeline.h"
#include "common/frame/DateTime.h"
#include "common/frame/DecodedPicture.h"
#include "common/frame/SourceRect.h"

namespace dvr::zavtool {

enum class ExportPace {
    Pictures,  // every picture one frame
    Real,      // frames repeated or dropped by picture time: the clip lasts as long as the recording
};

struct ChannelExportOptions {
    std::string backupPath;
    int channel = 0;  // 0-based
    std::string aviPath;
    std::optional<DateTime> from;  // inclusive; default: from the file's start
    std::optional<DateTime> to;    // inclusive; default: to the file's end
    // Only what the player's forward play reaches (it stops 640 KiB before the end of the file); by
    // default the export goes on to the file's last picture.
    bool forwardRangeOnly = false;
    int framesPerSecond = 10;
    int width = 360;
    int height = 240;
    ExportPace pace = ExportPace::Pictures;
    int decodeThreads = 1;
    exporting::Stamper* stamper = nullptr;  // null: no stamp
    // Called on the calling thread now and then with the pictures exported and the share of the file read.
    std::function<void(int pictures, int percent)> progress;
    // Records every frame written with the picture it shows, written beside the AVI file at the end;
    // null: no manifest.
    evidence::ManifestBuilder* manifest = nullptr;
    // Called once the range is known to hold pictures of the channel, just before the AVI file is
    // created; a non-empty answer stops the export with that reason.
    std::function<std::string()> beforeCreate;
};

struct ChannelExportReport {
    int pictures = 0;        // pictures of the channel exported
    uint32_t frames = 0;     // frames in the AVI file
    int decodeFailures = 0;  // records of the channel that did not decode
    DateTime first;
    DateTime last;
    int pastForwardRange = 0;  // pictures from records the player's forward play never reaches
    // Pictures in the range left out for their dates: before the file's start or before the last
    // picture written (an older recording, or the recorder's clock set back).
    int olderLeftOut = 0;
};

struct ChannelExportOutcome {
    bool ok = false;
    std::string message;  // one line, when not ok
    ChannelExportReport report;
};

// One channel's part of a drawable picture, valid during the call that hands it over.
struct ChannelPicture {
    const frame::DecodedPicture* picture = nullptr;
    frame::PixelRect rect;  // the channel's part of the picture
    DateTime time;
    bool timeValid = false;     // a calendar date and time of day
    uint64_t sourceOffset = 0;  // the record's header offset in the backup file
    // SHA-256 of the record's codestream (byte-swapped, up to and including its end marker).
    std::array<uint8_t, 32> sourceDigest{};
};

// One run through a backup file: every drawable picture of one channel inside a time range, in file
// order, decoded by several threads with the order kept, with the player's drawing rules (only the
// first field of quad field pairs; fields woven into full-height pictures). The part the player's
// forward play reaches comes from one forward run of the playback thread (records it shows again are
// left out); the records after it, up to the file's last picture, are read in file order. Pictures
// dated before the file's start or before the last picture handed over are left out (a disk copy's
// tail can hold older recordings), and so are those of the tail without a valid date.
class ChannelPass {
public:
    // Only what the player's forward play reaches.
    void setForwardRangeOnly(bool only) { m_forwardOnly = only; }
    // Where the player's forward play ends: pictures from records at or after it are past that range.
    uint64_t forwardEnd() const { return m_endOffset; }

    // Scans the file and checks the channel and the range. An empty text when the pass can run, else
    // the one-line reason.
    std::string prepare(const std::string& backupPath, int channel, std::optional<DateTime> from,
                        std::optional<DateTime> to);
    // Hands every picture to onPicture on the calling thread until it returns false; onProgress now and
    // then gets the share of the file read.
    void run(int decodeThreads, const std::function<bool(const ChannelPicture&)>& onPicture,
             const std::function<void(int percent)>& onProgress = {});
    int decodeFailures() const { return m_decodeFailures; }
    // After run(): pictures left out for being dated before the file's start or the last one handed over.
    int olderLeftOut() const { return m_olderLeftOut; }
    // After run(): why part of the file could not be read (empty when all of it was), a one-line reason.
    const std::string& readFailure() const { return m_readFailure; }

private:
    std::string m_backupPath;
    int m_channel = 0;
    int m_channelCount = 16;
    uint64_t m_endOffset = 0;
    uint64_t m_endHeaderOffset = 0;
    uint64_t m_fileSize = 0;
    bool m_forwardOnly = false;
    std::optional<int64_t> m_startSecond;
    std::optional<int64_t> m_fromSecond;
    std::optional<int64_t> m_toSecond;
    int m_decodeFailures = 0;
    int m_olderLeftOut = 0;
    std::string m_readFailure;
};

// Exports every drawable picture of one channel of a backup file, in file order, to a Motion-JPEG AVI
// file (that channel's part of pair and quad pictures, fields woven into full-height pictures) through
// the channel export's output (the order rule, pacing, manifest) and writes the export log beside it.
// Pictures are decoded by decodeThreads threads; their order is kept. An export that writes no picture
// removes its AVI file and fails.
ChannelExportOutcome exportChannel(const ChannelExportOptions& options);

}  // namespace dvr::zavtool
