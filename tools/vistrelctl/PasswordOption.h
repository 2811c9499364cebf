// The recorder password on the command line without showing it to the other users of the machine: read
// from a file (or standard input) with --password-file, and a --password given anyway blanked out of
// the program's command line once it was read.
#pragma once

#include <istream>
#include <optional>
#include <string>

namespace dvr::ctl {

// The password in the file at `path` ("-": `standardInput`): its first line without the line end. Empty
// with a one-line `error` when the file cannot be read.
std::optional<std::string> readPasswordFile(const std::string& path, std::istream& standardInput,
                                            std::string& error);

// Overwrites an argument's text in place, so that the command line other users can list no longer holds
// it.
void blankArgument(char* argument);

}  // namespace dvr::ctl
