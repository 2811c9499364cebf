#include "common/fs/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "common/fs/SafeOpen.h"

namespace dvr::fs {

namespace {

struct Fault {
    testing::Step step;
    int error;
    int count;
};
thread_local std::optional<Fault> t_fault;

// True (with errno set) when a test asked this step to fail now.
bool faultAt(testing::Step step) {
    if (!t_fault || t_fault->step != step || t_fault->count <= 0) {
        return false;
    }
    if (--t_fault->count > 0) {
        return false;
    }
    errno = t_fault->error;
    return true;
}

std::string folderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void syncFolder(const std::string& folder) {
    // Makes the rename itself durable; a file system that cannot sync folders is not an error.
    UniqueFd fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) {
        ::fsync(fd.get());
    }
}

}  // namespace

FileResult FileResult::fromErrno(std::string path, int error) {
    return failure(std::move(path), std::strerror(error));
}

std::string FileResult::describe() const {
    return ok ? std::string() : path + ": " + reason;
}

FileResult makeFolders(const std::string& folder, unsigned mode) {
    if (folder.empty()) {
        return FileResult::success(folder);
    }
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = slash == std::string::npos ? folder : folder.substr(0, slash);
        if (!part.empty() && ::mkdir(part.c_str(), mode & 07777u) != 0 && errno != EEXIST) {
            return FileResult::fromErrno(part, errno);
        }
        if (slash == std::string::npos) {
            break;
        }
    }
    struct stat status {};
    if (::stat(folder.c_str(), &status) != 0) {
        return FileResult::fromErrno(folder, errno);
    }
    if (!S_ISDIR(status.st_mode)) {
        return FileResult::failure(folder, "not a folder");
    }
    return FileResult::success(folder);
}

FileResult AtomicFile::write(const std::string& path, std::string_view bytes, const Options& options) {
    if (path.empty() || path.back() == '/') {
        return FileResult::failure(path, "no file name");
    }
    const std::string folder = folderOf(path);
    if (options.makeFolder) {
        if (FileResult made = makeFolders(folder, options.folderMode); !made) {
            return FileResult::failure(path, made.describe());
        }
    }
    unsigned mode = options.newFileMode & ~currentUmask() & 07777u;
    struct stat existing {};
    if (::lstat(path.c_str(), &existing) == 0) {
        if (S_ISDIR(existing.st_mode)) {
            return FileResult::fromErrno(path, EISDIR);
        }
        if (S_ISREG(existing.st_mode)) {
            mode = existing.st_mode & 07777u;
        }
    }
    if (options.mode) {
        mode = *options.mode & 07777u;
    }

    // mkstemp opens with O_CREAT|O_EXCL and mode 0600: a name that exists, a link included, is never
    // opened, and nobody else can read the bytes before the mode is set.
    std::string temporary = folder + "/." + nameOf(path) + ".XXXXXX";
    UniqueFd fd;
    if (!faultAt(testing::Step::CreateTemporary)) {
        fd.reset(::mkostemp(temporary.data(), O_CLOEXEC));
    }
    if (!fd) {
        return FileResult::fromErrno(path, errno);
    }
    const auto fail = [&](int error) {
        fd.reset();
        ::unlink(temporary.c_str());
        return FileResult::fromErrno(path, error);
    };
    if (faultAt(testing::Step::Write) || !writeAll(fd.get(), bytes.data(), bytes.size())) {
        return fail(errno);
    }
    if (::fchmod(fd.get(), mode) != 0) {
        return fail(errno);
    }
    if (faultAt(testing::Step::Sync) || ::fsync(fd.get()) != 0) {
        return fail(errno);
    }
    if (::close(fd.release()) != 0) {
        return fail(errno);
    }
    if (faultAt(testing::Step::Rename) || ::rename(temporary.c_str(), path.c_str()) != 0) {
        return fail(errno);
    }
    syncFolder(folder);
    return FileResult::success(path);
}

namespace testing {

ScopedFault::ScopedFault(Step step, int error, int count) {
    t_fault = Fault{step, error, count};
}

ScopedFault::~ScopedFault() {
    t_fault.reset();
}

}  // namespace testing

}  // namespace dvr::fs
