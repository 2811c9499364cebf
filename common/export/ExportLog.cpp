#include "common/export/ExportLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace dvr::exporting {

std::string exportLogText(const ExportLog& log) {
    char text[512];
    const ExportTime& s = log.start;
    const ExportTime& e = log.end;
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
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return Status::failure("cannot create " + path + ": " + std::strerror(errno));
    const std::string text = exportLogText(log);
    bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    int error = ok ? 0 : errno;
    if (std::fclose(f) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok)
        return Status::failure("cannot write " + path + ": " + std::strerror(error));
    return Status::success();
}

}  // namespace dvr::exporting
