#pragma once

#include <initializer_list>
#include <string>

namespace dvr::zavtool {

// Whether the file named by --out may be written, checked before any work: a free path, or with
// `overwrite` an existing file or link. A folder, device or FIFO is refused, and so is a file the
// command reads (`inputs`), under whatever name. Empty when it may; else a one-line reason.
std::string checkOutput(const std::string& path, bool overwrite, std::initializer_list<std::string> inputs);

// An existing output moved out of the way once a command has what it writes, and while it writes its new
// one: put back when the run leaves no file at its name (nothing written, or a partial sound file or
// picture removed), so a run that fails keeps the earlier file; removed once a new file stands there.
class SetAsideOutput {
public:
    SetAsideOutput() = default;
    ~SetAsideOutput() { finish(); }
    SetAsideOutput(const SetAsideOutput&) = delete;
    SetAsideOutput& operator=(const SetAsideOutput&) = delete;

    // Moves the file or link at `path` (a link itself) to a new hidden name in its folder. Empty when
    // moved or when nothing is there; else a one-line reason.
    std::string setAside(const std::string& path);
    // The run is over: the file set aside goes back to its name when nothing is there now, else it goes.
    void finish();

private:
    std::string m_path;
    std::string m_aside;
};

}  // namespace dvr::zavtool
