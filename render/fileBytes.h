// Reading a whole file into one buffer, shared by the image loaders (internal to kablix_render).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace QEL {

// status: 1 read; 0 the file cannot be opened; -1 it is empty or there is no memory for it;
// -2 fewer bytes than its size could be read. `data` is null unless status is 1.
struct FileBytes {
    std::unique_ptr<uint8_t[]> data;
    size_t size = 0;
    int status = 0;
};

FileBytes readWholeFile(const std::string& path);

}  // namespace QEL
