// Runs a fuzz harness over files instead of under libFuzzer: each file named, each folder's files
// (sorted by name, sub-folders included) and for "folder/*.ext" the folder's files with that ending.
// The regression tests replay the inputs that once crashed and the seeds this way.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    std::vector<fs::path> files;  // gathered first: the harness may change the working directory
    for (int i = 1; i < argc; ++i) {
        fs::path path = fs::absolute(argv[i]);
        const bool byEnding = path.filename().string().rfind("*.", 0) == 0;
        const std::string ending = byEnding ? path.filename().string().substr(1) : "";
        if (byEnding) path = path.parent_path();
        const size_t first = files.size();
        if (fs::is_regular_file(path)) files.push_back(path);
        const fs::recursive_directory_iterator none, inside = fs::is_directory(path) ? fs::recursive_directory_iterator(path) : none;
        for (const auto& entry : inside)
            if (entry.is_regular_file() && (!byEnding || entry.path().extension() == ending)) files.push_back(entry.path());
        std::sort(files.begin() + long(first), files.end());
        if (files.size() == first) {
            std::fprintf(stderr, "replay: nothing at %s\n", argv[i]);
            return 1;
        }
    }
    if (LLVMFuzzerInitialize) LLVMFuzzerInitialize(&argc, &argv);
    for (const fs::path& file : files) {
        std::ifstream in(file, std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::fprintf(stderr, "replay: %s\n", file.string().c_str());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::fprintf(stderr, "replay: %zu inputs, no crash\n", files.size());
    return 0;
}
