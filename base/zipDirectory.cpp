#include "base/zipDirectory.h"

namespace QEL {

namespace {

constexpr uint32_t kEndSignature = 0x06054b50;
constexpr uint32_t kEntrySignature = 0x02014b50;
constexpr uint32_t kZip64LocatorSignature = 0x07064b50;
constexpr size_t kZip64LocatorBytes = 20;  // sits just before the end record
constexpr size_t kEndBytes = 22;           // the end record without its comment
constexpr size_t kMaxCommentBytes = 65535; // the comment's length is a 16-bit field
constexpr size_t kEntryBytes = 46;         // a directory entry before its name
constexpr unsigned kMadeOnUnix = 3;        // the "version made by" host that keeps st_mode

uint32_t read16(const unsigned char* p) { return p[0] | p[1] << 8; }
uint32_t read32(const unsigned char* p) { return read16(p) | read16(p + 2) << 16; }

// The end record, searched backwards over the longest comment it may carry; null when absent.
const unsigned char* findEnd(const unsigned char* data, size_t size) {
    if (size < kEndBytes) return nullptr;
    const size_t lowest = size - kEndBytes > kMaxCommentBytes ? size - kEndBytes - kMaxCommentBytes : 0;
    for (size_t at = size - kEndBytes + 1; at-- > lowest;)
        if (read32(data + at) == kEndSignature) return data + at;
    return nullptr;
}

bool refuse(std::string& problem, const char* why) {
    problem = why;
    return false;
}

}  // namespace

bool readZipDirectory(const unsigned char* data, size_t size, size_t maxEntries, std::vector<zipEntry>& entries,
                      std::string& problem) {
    entries.clear();
    const unsigned char* end = findEnd(data, size);
    if (!end) return refuse(problem, "it is not a zip archive");
    const uint32_t count = read16(end + 10), directoryBytes = read32(end + 12), directoryAt = read32(end + 16);
    if (read16(end + 4) != 0 || read16(end + 6) != 0 || read16(end + 8) != count)
        return refuse(problem, "it is a zip archive split over several files");
    const size_t endAt = static_cast<size_t>(end - data);
    if (count == 0xffff || directoryBytes == 0xffffffff || directoryAt == 0xffffffff)
        return refuse(problem, "it is a ZIP64 archive");
    // A ZIP64 record would give readers that honour it a second directory, unlike the one judged here.
    if (endAt >= kZip64LocatorBytes && read32(end - kZip64LocatorBytes) == kZip64LocatorSignature)
        return refuse(problem, "it is a ZIP64 archive");
    // Readers look for a directory that does not end at the end record (after bytes put in front of
    // the archive) by guesswork of their own, so only one that ends exactly there is judged.
    if (directoryAt > endAt || directoryBytes != endAt - directoryAt)
        return refuse(problem, "its central directory is not where its end record says");
    const unsigned char* at = data + directoryAt;
    const unsigned char* stop = at + directoryBytes;
    for (uint32_t n = 0; n < count && entries.size() <= maxEntries; ++n) {
        if (stop - at < static_cast<ptrdiff_t>(kEntryBytes) || read32(at) != kEntrySignature)
            return refuse(problem, "its central directory is damaged");
        const size_t nameBytes = read16(at + 28), recordBytes = kEntryBytes + nameBytes + read16(at + 30) + read16(at + 32);
        if (static_cast<size_t>(stop - at) < recordBytes) return refuse(problem, "its central directory is damaged");
        zipEntry entry;
        entry.name.assign(reinterpret_cast<const char*>(at + kEntryBytes), nameBytes);
        entry.packedBytes = read32(at + 20);
        entry.unpackedBytes = read32(at + 24);
        if (entry.packedBytes == 0xffffffff || entry.unpackedBytes == 0xffffffff)
            return refuse(problem, "it is a ZIP64 archive");
        if (read16(at + 4) >> 8 == kMadeOnUnix) entry.unixMode = read32(at + 38) >> 16;
        entries.push_back(entry);
        at += recordBytes;
    }
    return true;
}

}  // namespace QEL
