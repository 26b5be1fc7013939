// Runs a fuzz harness over files instead of under libFuzzer: every file named on the command line,
// every file inside each folder named (sorted by name), and for "folder/*.ext" the folder's files
// with that ending. The regression tests replay the inputs
// that once crashed and the seed corpora this way, in the ordinary and the sanitizer builds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace fs = std::filesystem;

int main(int argc, char** argv) {
    // Paths first: the harness may change the working directory.
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        fs::path path = fs::absolute(argv[i]);
        std::string ending;
        if (path.filename().string().rfind("*.", 0) == 0) {
            ending = path.filename().string().substr(1);
            path = path.parent_path();
        }
        if (fs::is_directory(path)) {
            std::vector<fs::path> inside;
            for (const fs::directory_entry& entry : fs::recursive_directory_iterator(path)) {
                if (entry.is_regular_file() && (ending.empty() || entry.path().extension() == ending)) {
                    inside.push_back(entry.path());
                }
            }
            std::sort(inside.begin(), inside.end());
            files.insert(files.end(), inside.begin(), inside.end());
        } else if (fs::is_regular_file(path)) {
            files.push_back(path);
        } else {
            std::fprintf(stderr, "replay: no such file or folder: %s\n", argv[i]);
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
