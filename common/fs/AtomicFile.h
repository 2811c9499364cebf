#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "common/fs/FileResult.h"

namespace dvr::fs {

// Replaces a whole file so that a reader, a crash or a failure sees the old file or the new one, never
// part of either: the bytes go to a unique temporary file created in the target's folder (exclusively,
// so a link planted there is never followed), are synced, get their mode and are renamed over the
// target; the folder is synced last. On any failure the temporary file is removed and the old file
// is left as it was. A link at the target is replaced by the file, its own target left untouched.
class AtomicFile {
public:
    struct Options {
        // Exactly this mode (not filtered by the umask); nothing: the old file's mode, or
        // `newFileMode` less the user's umask for a new file.
        std::optional<unsigned> mode;
        unsigned newFileMode = 0644;
        // Make the target's folder (and its parents) when missing, with this mode.
        bool makeFolder = true;
        unsigned folderMode = 0755;
    };

    static FileResult write(const std::string& path, std::string_view bytes, const Options& options);
    static FileResult write(const std::string& path, std::string_view bytes) {
        return write(path, bytes, Options{});
    }
    // `path` with `mode` exactly (a private file: 0600).
    static FileResult writeWithMode(const std::string& path, std::string_view bytes, unsigned mode) {
        Options options;
        options.mode = mode;
        return write(path, bytes, options);
    }
};

// Makes a folder and its missing parents with `mode`; true when it exists as a folder afterwards.
FileResult makeFolders(const std::string& folder, unsigned mode);

namespace testing {

// The steps of AtomicFile::write a test can make fail.
enum class Step { CreateTemporary, Write, Sync, Rename };

// While it lives, the `count`-th time (1 = the next) this thread's AtomicFile::write reaches `step`,
// the step fails with `error` as if the system had refused it. Lets tests interrupt a sequence of
// writes between its steps.
class ScopedFault {
public:
    ScopedFault(Step step, int error, int count = 1);
    ~ScopedFault();
    ScopedFault(const ScopedFault&) = delete;
    ScopedFault& operator=(const ScopedFault&) = delete;
};

}  // namespace testing

}  // namespace dvr::fs
