#pragma once

#include <initializer_list>
#include <string>

namespace dvr::zavtool {

// Whether the file named by --out may be written, checked before any work: a free path, or with
// `overwrite` an existing file or link. A folder, device or FIFO is refused, and so is a file the
// command reads (`inputs`), under whatever name. Empty when it may; else a one-line reason.
std::string checkOutput(const std::string& path, bool overwrite, std::initializer_list<std::string> inputs);

// Removes the file or link at `path` (a link itself, never its target) so the new file is created anew.
// Called only once the command has what it writes, so that a run that fails before leaves the old file
// where it was. Empty when the path is free; else a one-line reason.
std::string removeOutput(const std::string& path);

}  // namespace dvr::zavtool
