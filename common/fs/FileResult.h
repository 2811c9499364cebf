#pragma once

#include <string>

namespace dvr::fs {

// The outcome of a file operation: on failure the path it failed on and the reason (strerror text or
// a sentence of ours).
struct FileResult {
    bool ok = false;
    std::string path;
    std::string reason;

    static FileResult success(std::string path) { return {true, std::move(path), {}}; }
    static FileResult failure(std::string path, std::string reason) {
        return {false, std::move(path), std::move(reason)};
    }
    static FileResult fromErrno(std::string path, int error);

    explicit operator bool() const { return ok; }
    // "path: reason"; empty when ok.
    std::string describe() const;
};

}  // namespace dvr::fs
