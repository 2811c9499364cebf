#pragma once

#include <string>

namespace dvr::zavtool {

// Makes room for an output file named by --out: an existing file (or link) is refused with a one-line
// reason unless `overwrite`, and then removed (a link itself, never its target) so the file is created
// anew. Nothing but a file or a link is ever removed (a folder, device or FIFO is refused). Empty when
// the path is free.
std::string clearOutput(const std::string& path, bool overwrite);

}  // namespace dvr::zavtool
