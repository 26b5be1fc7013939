#include "sound/hss/hssFile.h"

#include <cstring>

namespace QEL {

namespace {

// The absolute target of a seek, or -1 when it would lie before the start.
int64_t seekTarget(int64_t position, int64_t length, int64_t offset, int32_t origin) {
    int64_t base = origin == hssSeekStart ? 0 : origin == hssSeekEnd ? length : position;
    int64_t target = base + offset;
    return target < 0 ? -1 : target;
}

}  // namespace

hssFileMulti::~hssFileMulti() { close(); }

bool hssFileMulti::open(const char* path, const void*, size_t) {
    close();
    if (!path) return false;
    handle = std::fopen(path, "rb");
    if (!handle) return false;
    if (std::fseek(handle, 0, SEEK_END) == 0) length = std::ftell(handle);
    if (length < 0) length = 0;
    std::fseek(handle, 0, SEEK_SET);
    position = 0;
    return true;
}

void hssFileMulti::close() {
    if (handle) std::fclose(handle);
    handle = nullptr;
    position = 0;
    length = 0;
}

size_t hssFileMulti::read(void* destination, size_t bytes) {
    if (!handle || position >= length) return 0;
    size_t got = std::fread(destination, 1, bytes, handle);
    position += static_cast<int64_t>(got);
    return got;
}

bool hssFileMulti::seek(int64_t offset, int32_t origin) {
    if (!handle) return false;
    int64_t target = seekTarget(position, length, offset, origin);
    if (target < 0) return false;
    if (target == position) return true;
    if (std::fseek(handle, static_cast<long>(target), SEEK_SET) != 0) return false;
    position = target;
    return true;
}

int64_t hssFileMulti::tell() const { return position; }
int64_t hssFileMulti::size() const { return length; }

bool hssFileMemory::open(const char*, const void* data, size_t size) {
    if (!data) return false;
    bytes = static_cast<const uint8_t*>(data);
    length = static_cast<int64_t>(size);
    position = 0;
    return true;
}

void hssFileMemory::close() {
    bytes = nullptr;
    length = 0;
    position = 0;
}

size_t hssFileMemory::read(void* destination, size_t count) {
    if (!bytes || position >= length) return 0;
    int64_t available = length - position;
    size_t got = static_cast<int64_t>(count) < available ? count : static_cast<size_t>(available);
    std::memcpy(destination, bytes + position, got);
    position += static_cast<int64_t>(got);
    return got;
}

bool hssFileMemory::seek(int64_t offset, int32_t origin) {
    if (!bytes) return false;
    int64_t target = seekTarget(position, length, offset, origin);
    if (target < 0) return false;
    position = target;
    return true;
}

int64_t hssFileMemory::tell() const { return position; }
int64_t hssFileMemory::size() const { return length; }

hssFile::~hssFile() { close(); }

bool hssFile::open(const char* path, const void* data, size_t size) {
    close();
    hssFileInterface* candidate = data ? static_cast<hssFileInterface*>(new hssFileMemory)
                                       : static_cast<hssFileInterface*>(new hssFileMulti);
    if (!candidate->open(path, data, size)) {
        delete candidate;
        return false;
    }
    backEnd = candidate;
    return true;
}

void hssFile::close() {
    delete backEnd;
    backEnd = nullptr;
}

size_t hssFile::read(void* destination, size_t bytes) {
    return backEnd ? backEnd->read(destination, bytes) : 0;
}

bool hssFile::seek(int64_t offset, int32_t origin) {
    return backEnd ? backEnd->seek(offset, origin) : false;
}

int64_t hssFile::tell() const { return backEnd ? backEnd->tell() : 0; }
int64_t hssFile::size() const { return backEnd ? backEnd->size() : 0; }

}  // namespace QEL
