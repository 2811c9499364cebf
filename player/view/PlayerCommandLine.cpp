#include "player/view/PlayerCommandLine.h"

#include <algorithm>

namespace dvr::player {

PlayerCommandLine parsePlayerCommandLine(const std::vector<std::string>& arguments) {
    PlayerCommandLine line;
    std::vector<std::string> files;
    bool optionsEnded = false;
    for (size_t i = 0; i < arguments.size() && line.ok(); ++i) {
        const std::string& argument = arguments[i];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            files.push_back(argument);
            continue;
        }
        if (argument == "--") {
            optionsEnded = true;
        } else if (argument == "--help" || argument == "-h") {
            line.help = true;
        } else if (argument == "--home") {
            if (i + 1 >= arguments.size() || arguments[i + 1].empty()) {
                line.error = "--home needs a folder";
            } else {
                line.home = arguments[++i];
            }
        } else if (argument.starts_with("--home=")) {
            line.home = argument.substr(7);
            if (line.home->empty()) {
                line.error = "--home needs a folder";
            }
        } else {
            line.error = "unknown option: " + argument;
        }
    }
    if (!line.ok()) {
        return line;
    }
    if (files.size() > 1) {
        line.error = "one file at a time: " + files[1];
        return line;
    }
    if (!files.empty()) {
        std::string file = files.front();
        std::erase(file, '"');
        if (!file.empty()) {
            line.file = file;
        }
    }
    return line;
}

std::string_view playerUsage() {
    return "Usage: discoro [--home DIR] [FILE]\n"
           "Plays a recorder backup file (ZAV) per channel in 1, 4, 9 or 16 panes.\n"
           "\n"
           "  FILE        the backup file to open (relative to the current folder)\n"
           "  --home DIR  program folder holding res.ini and the skin bitmaps\n"
           "              (default: $DISCORO_HOME, else the folder of the program when it\n"
           "              holds them, else ../share/discoro beside it)\n"
           "  --help      show this text\n";
}

int answerPlayerCommandLine(const PlayerCommandLine& line, std::ostream& out, std::ostream& err) {
    if (!line.ok()) {
        err << "discoro: " << line.error << " (try --help)\n";
        return 2;
    }
    if (line.help) {
        out << playerUsage();
        return 0;
    }
    return -1;
}

}  // namespace dvr::player
