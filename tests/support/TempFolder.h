// A fresh folder of one test under the system's temporary folder, removed with everything in it when the
// test ends; with the small file helpers the tests around files share.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

namespace dvr::testsupport {

class TempFolder {
public:
    // Makes a folder named "dvr-test-XXXXXX" (mode 0700, name unique); failing to is a test failure.
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "dvr-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            m_path = pattern;
        } else {
            ADD_FAILURE() << "no temporary folder under " << std::filesystem::temp_directory_path();
        }
    }
    ~TempFolder() {
        if (!m_path.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(m_path, ignored);
        }
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return m_path; }
    // The path of `name` inside the folder (which may name sub-folders).
    std::string file(const std::string& name) const {
        return (std::filesystem::path(m_path) / name).string();
    }

    // Writes bytes to a file inside the folder, making its sub-folders, and returns its path.
    std::string write(const std::string& name, const std::string& bytes) const {
        const std::filesystem::path target = std::filesystem::path(m_path) / name;
        std::error_code ignored;
        std::filesystem::create_directories(target.parent_path(), ignored);
        std::ofstream(target, std::ios::binary) << bytes;
        return target.string();
    }
    // The whole content of a file; empty when it cannot be read.
    static std::string read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // The permission bits of a path itself (a link's own, not its target's); 0 when it is missing.
    static unsigned mode(const std::string& path) {
        struct stat status {};
        return ::lstat(path.c_str(), &status) == 0 ? status.st_mode & 07777u : 0u;
    }
    // The names in the folder, sorted.
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& entry : std::filesystem::directory_iterator(m_path)) {
            out.push_back(entry.path().filename().string());
        }
        std::sort(out.begin(), out.end());
        return out;
    }

private:
    std::string m_path;
};

}  // namespace dvr::testsupport
