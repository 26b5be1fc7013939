// The central directory of a .zip archive held in memory, read with bounded reads: what each entry
// says it is before anything is unpacked, so an archive can be judged without trusting it.
// ZIP64 and archives split over several files are not read (no pack comes near their limits).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace QEL {

struct zipEntry {
    std::string name;          // as stored, '/' between folders
    uint32_t packedBytes = 0;  // compressed size
    uint32_t unpackedBytes = 0;
    uint32_t unixMode = 0;     // st_mode bits when a Unix tool made the entry, else 0
};

// Fills `entries` from the archive `data` of `size` bytes, stopping after `maxEntries` + 1 so a
// huge count is never held; false with `problem` set when the directory cannot be read.
bool readZipDirectory(const unsigned char* data, size_t size, size_t maxEntries, std::vector<zipEntry>& entries,
                      std::string& problem);

}  // namespace QEL
