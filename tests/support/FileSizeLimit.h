// A full disk for the length of a scope: the files this process writes may not grow past a limit, and a
// write past it fails (EFBIG) instead of ending the process (SIGXFSZ is ignored meanwhile).
#pragma once

#include <signal.h>
#include <sys/resource.h>

namespace dvr::testsupport {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &m_before);
        rlimit limit = m_before;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
        m_handler = signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &m_before);
        signal(SIGXFSZ, m_handler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_before{};
    sighandler_t m_handler = SIG_DFL;
};

}  // namespace dvr::testsupport
