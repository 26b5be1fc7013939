// Byte access for the sound loaders: a disk file or a block in memory behind one interface,
// so the WAV and Ogg readers work the same on both (and tests can feed them buffers).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace QEL {

// Seek origins as the mixer uses them.
enum hssSeekOrigin : int32_t { hssSeekCurrent = 0, hssSeekStart = 1, hssSeekEnd = 2 };

class hssFileInterface {
public:
    virtual ~hssFileInterface() = default;
    // Disk kinds use `path`; the memory kind uses `data`/`size` (borrowed, must outlive the file).
    virtual bool open(const char* path, const void* data, size_t size) = 0;
    virtual void close() = 0;
    // Returns the bytes actually read (0 at the end or on error).
    virtual size_t read(void* destination, size_t bytes) = 0;
    // Returns false when the target lies before the start; past the end is allowed (reads give 0).
    virtual bool seek(int64_t offset, int32_t origin) = 0;
    virtual int64_t tell() const = 0;
    virtual int64_t size() const = 0;
};

// A disk file read with the standard file functions.
class hssFileMulti : public hssFileInterface {
public:
    ~hssFileMulti() override;
    bool open(const char* path, const void* data, size_t size) override;
    void close() override;
    size_t read(void* destination, size_t bytes) override;
    bool seek(int64_t offset, int32_t origin) override;
    int64_t tell() const override;
    int64_t size() const override;

private:
    FILE* handle = nullptr;
    int64_t position = 0;
    int64_t length = 0;
};

// A borrowed block of memory.
class hssFileMemory : public hssFileInterface {
public:
    bool open(const char* path, const void* data, size_t size) override;
    void close() override;
    size_t read(void* destination, size_t bytes) override;
    bool seek(int64_t offset, int32_t origin) override;
    int64_t tell() const override;
    int64_t size() const override;

private:
    const uint8_t* bytes = nullptr;
    int64_t length = 0;
    int64_t position = 0;
};

// Forwards to memory when opened with a data pointer, to the disk otherwise. Owns its back end.
class hssFile {
public:
    hssFile() = default;
    ~hssFile();
    hssFile(const hssFile&) = delete;
    hssFile& operator=(const hssFile&) = delete;

    bool open(const char* path, const void* data = nullptr, size_t size = 0);
    void close();
    bool isOpen() const { return backEnd != nullptr; }
    size_t read(void* destination, size_t bytes);
    bool seek(int64_t offset, int32_t origin);
    int64_t tell() const;
    int64_t size() const;

private:
    hssFileInterface* backEnd = nullptr;
};

}  // namespace QEL
