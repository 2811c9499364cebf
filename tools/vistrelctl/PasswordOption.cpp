#include "tools/vistrelctl/PasswordOption.h"

#include <cstddef>
#include <cstring>

#include "common/fs/SafeOpen.h"

namespace dvr::ctl {

namespace {

// The first line of a password file's text, without its line end (as the bridge reads its files).
std::string firstLine(const std::string& text) {
    return text.substr(0, text.find_first_of("\r\n"));
}

}  // namespace

std::optional<std::string> readPasswordFile(const std::string& path, std::istream& standardInput,
                                            std::string& error) {
    if (path == "-") {
        std::string line;
        std::getline(standardInput, line);
        if (standardInput.bad()) {
            error = "cannot read the password from standard input";
            return std::nullopt;
        }
        return firstLine(line);
    }
    // A regular file only (a FIFO cannot hang the start), and of a sensible size.
    std::string reason;
    const std::optional<std::string> text = fs::readInput(path, std::size_t{1} << 20, &reason);
    if (!text) {
        error = "cannot read the password file " + path + ": " + reason;
        return std::nullopt;
    }
    return firstLine(*text);
}

void blankArgument(char* argument) {
    if (argument != nullptr)
        std::memset(argument, 'x', std::strlen(argument));
}

}  // namespace dvr::ctl
