#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace dvr::player {

// The player's command line: discoro [--home DIR] [--help] [FILE]. FILE is the backup file to open
// at start-up, its double quotes removed; "--" ends the options (a file name may then start with "-").
struct PlayerCommandLine {
    bool help = false;
    std::optional<std::string> home;
    std::optional<std::string> file;
    std::string error;  // one line; empty when the command line is valid

    bool ok() const { return error.empty(); }
};

// Parses the arguments after the program name. --home takes its value as the next argument or after
// "=".
PlayerCommandLine parsePlayerCommandLine(const std::vector<std::string>& arguments);

// The --help text.
std::string_view playerUsage();

// Answers --help (status 0) and a bad command line (a one-line error, status 2); -1 when the program
// goes on.
int answerPlayerCommandLine(const PlayerCommandLine& line, std::ostream& out, std::ostream& err);

}  // namespace dvr::player
