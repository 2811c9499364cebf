#pragma once

#include <string>

#include "common/export/ByteSink.h"
#include "common/frame/DateTime.h"

namespace dvr::exporting {

// What the text log beside an exported AVI file records.
struct ExportLog {
    DateTime start;
    DateTime end;
    int framesPerSecond = 0;
    int channel = 0;  // 0-based
    int width = 0;
    int height = 0;
};

// The log's five lines, each ending with a blank before the line break.
std::string exportLogText(const ExportLog& log);
// The log file beside an AVI file: a final ".avi" (any case) becomes ".log"; other names get ".log" added.
std::string exportLogPath(const std::string& aviPath);
// Creates (or truncates) the log file and writes the text.
Status writeExportLog(const std::string& aviPath, const ExportLog& log);

}  // namespace dvr::exporting
