#include "common/export/ExportLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "common/fs/AtomicFile.h"

namespace dvr::exporting {

std::string exportLogText(const ExportLog& log) {
    char text[512];
    const DateTime& s = log.start;
    const DateTime& e = log.end;
    std::snprintf(text, sizeof text,
                  "RECORD START : %04d/%02d/%02d %02d:%02d:%02d \n"
                  "RECORD END   : %04d/%02d/%02d %02d:%02d:%02d \n"
                  "CHANNEL      : %02d \n"
                  "FRAME RATE   : %02d Frame \n"
                  "RECORD SIZE  : %d * %d Pixel \n",
                  s.year, s.month, s.day, s.hour, s.minute, s.second, e.year, e.month, e.day, e.hour,
                  e.minute, e.second, log.channel + 1, log.framesPerSecond, log.width, log.height);
    return text;
}

std::string exportLogPath(const std::string& aviPath) {
    const size_t n = aviPath.size();
    if (n >= 4 && aviPath[n - 4] == '.' && (aviPath[n - 3] | 0x20) == 'a' && (aviPath[n - 2] | 0x20) == 'v' &&
        (aviPath[n - 1] | 0x20) == 'i')
        return aviPath.substr(0, n - 4) + ".log";
    return aviPath + ".log";
}

Status writeExportLog(const std::string& aviPath, const ExportLog& log) {
    const std::string path = exportLogPath(aviPath);
    fs::AtomicFile::Options options;
    options.makeFolder = false;  // beside its AVI file, whose folder is there
    const fs::FileResult written = fs::AtomicFile::write(path, exportLogText(log), options);
    if (!written.ok)
        return Status::failure("cannot write " + path + ": " + written.reason);
    return Status::success();
}

}  // namespace dvr::exporting
