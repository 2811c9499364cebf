#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace dvr::media {

// Random-access read-only bytes: a backup file, or memory in tests and fuzzing. readAt may be called
// from two threads at once (the playback thread and the read-ahead worker).
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Reads up to out.size() bytes at offset; returns the count read (short at the end or on failure).
    virtual size_t readAt(uint64_t offset, std::span<uint8_t> out) const = 0;
};

// A file opened read-only; reads are positional, so concurrent reads do not disturb each other.
class FileByteSource final : public ByteSource {
public:
    // Opens an existing file; nullptr on failure, with the system's reason in *error.
    static std::unique_ptr<FileByteSource> open(const std::string& path, std::string* error = nullptr);
    ~FileByteSource() override;
    FileByteSource(const FileByteSource&) = delete;
    FileByteSource& operator=(const FileByteSource&) = delete;

    uint64_t size() const override { return m_size; }
    size_t readAt(uint64_t offset, std::span<uint8_t> out) const override;

private:
    FileByteSource(int fd, uint64_t size) : m_fd(fd), m_size(size) {}
    int m_fd = -1;
    uint64_t m_size = 0;
};

// Bytes held in memory (a view; the caller keeps them alive).
class MemoryByteSource final : public ByteSource {
public:
    explicit MemoryByteSource(std::span<const uint8_t> bytes) : m_bytes(bytes) {}
    uint64_t size() const override { return m_bytes.size(); }
    size_t readAt(uint64_t offset, std::span<uint8_t> out) const override;

private:
    std::span<const uint8_t> m_bytes;
};

}  // namespace dvr::media
