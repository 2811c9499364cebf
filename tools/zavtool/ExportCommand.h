#pragma once

namespace dvr::zavtool {

// `zavtool export FILE --channel N --out X.avi [options]`; argv[1] is "export". Returns the exit status.
int runExportCommand(int argc, char** argv);

// `zavtool still FILE --channel N [--at T] [--filter LIST] --out X.jpg|X.png`; argv[1] is "still".
int runStillCommand(int argc, char** argv);

}  // namespace dvr::zavtool
