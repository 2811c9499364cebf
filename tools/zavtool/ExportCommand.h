#pragma once

namespace dvr::zavtool {

// `zavtool export FILE --channel N --out X.avi [options]`; argv[1] is "export". Returns the exit status.
int runExportCommand(int argc, char** argv);

}  // namespace dvr::zavtool
