#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace dvr::exporting {

// The outcome of an output step: ok, or the reason it failed in words ("No space left on device").
class Status {
public:
    static Status success() { return Status(); }
    static Status failure(std::string reason) { return Status(std::move(reason)); }
    bool ok() const { return m_failed == false; }
    const std::string& reason() const { return m_reason; }

private:
    Status() = default;
    explicit Status(std::string reason) : m_failed(true), m_reason(std::move(reason)) {}
    bool m_failed = false;
    std::string m_reason;
};

// Where a writer puts its bytes: sequential writes at a position it can move back to for patching.
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Writes all of bytes at the current position and moves past them; a short write is a failure.
    virtual Status write(std::span<const uint8_t> bytes) = 0;
    // Moves the position to an absolute offset (at most the current size).
    virtual Status seek(uint64_t offsetBytes) = 0;
    virtual uint64_t tell() const = 0;
    // Hands what was written to the storage, so that a crash after it keeps it.
    virtual Status sync() { return Status::success(); }
};

// A file opened for creation (truncated when it exists). Writes go straight to the system, unbuffered.
class FileSink final : public ByteSink {
public:
    // Creates a new file (never an existing one, nor through a link); nullptr with the reason in
    // *reason when the file cannot be created.
    static std::unique_ptr<FileSink> create(const std::string& path, std::string* reason);
    ~FileSink() override;
    FileSink(const FileSink&) = delete;
    FileSink& operator=(const FileSink&) = delete;

    Status write(std::span<const uint8_t> bytes) override;
    Status seek(uint64_t offsetBytes) override;
    uint64_t tell() const override { return m_position; }
    Status sync() override;

private:
    explicit FileSink(int fd) : m_fd(fd) {}
    int m_fd = -1;
    uint64_t m_position = 0;
};

// Bytes kept in memory, for tests. A limit makes writes past it fail as a full disk would, after
// writing what still fits.
class MemorySink final : public ByteSink {
public:
    Status write(std::span<const uint8_t> bytes) override;
    Status seek(uint64_t offsetBytes) override;
    uint64_t tell() const override { return m_position; }

    void setLimitBytes(uint64_t limit) { m_limitBytes = limit; }
    const std::vector<uint8_t>& bytes() const { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
    uint64_t m_position = 0;
    uint64_t m_limitBytes = UINT64_MAX;
};

}  // namespace dvr::exporting
