#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "player/media/BackupFormat.h"
#include "player/media/ByteSource.h"

namespace dvr::media {

// The message the player shows when a file is not a playable backup.
inline constexpr std::string_view kUnknownCdMessage = " Unknown CD ";

// Where the player's user-visible messages go (a message box in the program, a list in tests).
class Notifier {
public:
    virtual ~Notifier() = default;
    virtual void showMessage(std::string_view text) = 0;
};

// What the opening scan learns about a backup file.
struct ScanResult {
    int channelCount = 0;         // 4, 8 or 16
    int paneCount = 0;            // default layout: 4, 9 or 16 panes
    uint32_t layoutCode = 0;      // of the first accepted header
    bool soundAvailable = false;  // layout family 3 records sound
    RecordTime startTime;
    RecordTime endTime;
    // False when the end scan met a header whose date is not valid (the END button stays disabled).
    bool endTimeValid = true;
    uint64_t firstHeaderOffset = 0;
    uint64_t endHeaderOffset = 0;
    uint64_t endOffset = 0;  // forward playback ends here: file size - 640 KiB, never below the data start
    uint64_t fileSize = 0;
};

enum class ScanError {
    None,
    CannotOpen,  // the file could not be opened
    UnknownCd,   // no accepted header in the first 128 sectors after the data start
    NoEnd,       // no header with a later time precedes the last picture end marker
};

struct ScanOutcome {
    ScanError error = ScanError::None;
    ScanResult result;
    std::string detail;  // the system's reason for CannotOpen
    bool ok() const { return error == ScanError::None; }
};

// The opening scan over any byte source. Every failure shows " Unknown CD " through the notifier.
ScanOutcome scanBackup(const ByteSource& source, Notifier& notifier);

// Opens the file, scans it and closes it again.
ScanOutcome openAndScan(const std::string& path, Notifier& notifier);

}  // namespace dvr::media
