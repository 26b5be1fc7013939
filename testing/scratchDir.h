// A private folder under /tmp for a test program's files; it goes, with everything in it, when the
// object does. Should /tmp refuse a new folder, files go to /tmp itself, which is never removed.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace QEL {
namespace testing {

class ScratchDir {
public:
    explicit ScratchDir(const std::string& prefix = "kablix") {
        std::string pattern = "/tmp/" + prefix + "-XXXXXX";
        path = mkdtemp(pattern.data()) ? pattern : "/tmp";
    }
    ~ScratchDir() {
        std::error_code ignored;
        if (path != "/tmp") std::filesystem::remove_all(path, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    std::string file(const std::string& name) const { return path + "/" + name; }

    std::string path;
};

}  // namespace testing
}  // namespace QEL
