#include "fuzz/fuzzWorld.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <vector>

#include "base/appTime.h"
#include "sound/cSoundManager.h"
#include "testing/glTestContext.h"
#include "testing/soundTestSupport.h"

#ifndef KABLIX_FUZZ_PACK_DIR
#define KABLIX_FUZZ_PACK_DIR ""
#endif

namespace kablixFuzz {

namespace fs = std::filesystem;

namespace {

fs::path worldRoot;
uint32_t clockNow = 0;
QEL::cSoundManager* soundManager = nullptr;
std::ofstream nowhere;  // never opened: every write is dropped

void removeWorld() {
    // Only the process that made the folder removes it (libFuzzer's -fork children share it).
    std::error_code ignored;
    if (worldRoot.filename() == "kablix_fuzz_" + std::to_string(::getpid())) fs::remove_all(worldRoot, ignored);
}

void require(bool done, const std::string& what) {
    if (done) return;
    std::fprintf(stderr, "fuzz world: %s\n", what.c_str());
    std::exit(2);
}

void copyPack() {
    const char* fromEnv = std::getenv("KABLIX_FUZZ_PACK");
    const fs::path pack = fromEnv && *fromEnv ? fs::path(fromEnv) : fs::path(KABLIX_FUZZ_PACK_DIR);
    std::error_code error;
    require(!pack.empty() && fs::is_directory(pack, error),
            "no demo pack at '" + pack.string() + "' (build the kablix_pack target or set KABLIX_FUZZ_PACK)");
    for (const fs::directory_entry& entry : fs::directory_iterator(pack)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name.rfind("scores.db", 0) == 0 || name[0] == '.') continue;
        fs::copy_file(entry.path(), worldRoot / "assets" / name, fs::copy_options::overwrite_existing, error);
        require(!error, "cannot copy " + entry.path().string());
    }
}

}  // namespace

void setUpWorld(const WorldOptions& options) {
    worldRoot = fs::temp_directory_path() / ("kablix_fuzz_" + std::to_string(::getpid()));
    std::error_code error;
    fs::remove_all(worldRoot, error);
    fs::create_directories(worldRoot / "play", error);
    fs::create_directories(worldRoot / "assets", error);
    require(!error, "cannot create " + worldRoot.string());
    std::atexit(removeWorld);
    if (options.copyPack) copyPack();
    fs::current_path(worldRoot / "play", error);
    require(!error, "cannot enter " + (worldRoot / "play").string());

    QEL::setAppTimeSourceForTesting([] { return clockNow; });
    // The log lines are the program's interface, not findings; libFuzzer reports on stderr.
    std::cout.rdbuf(nowhere.rdbuf());
    require(std::freopen("/dev/null", "w", stdout), "cannot silence stdout");
    if (options.glContext) {
        // Mesa unloads its software driver at exit, before LeakSanitizer looks; kept loaded, what it
        // holds is named by its module, which lsan.supp can suppress.
        dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
        require(QEL::testing::startGLContext(), "no GL context");
    }
    if (options.soundManager) {
        soundManager = new QEL::cSoundManager();
        soundManager->setSpeaker(QEL::soundTest::offlineSpeaker().release());
    }
}

std::string assetsDir() { return (worldRoot / "assets").string(); }
std::string playDir() { return (worldRoot / "play").string(); }

void writeBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(data), std::streamsize(size));
}

void setClock(uint32_t ms) { clockNow = ms; }
uint32_t clock() { return clockNow; }

QEL::cSoundManager* sounds() { return soundManager; }

void mix(int32_t frames) {
    if (!soundManager || !soundManager->getSpeaker()) return;
    static std::vector<uint8_t> buffer;
    buffer.assign(static_cast<size_t>(frames) * 4, 0);
    soundManager->getSpeaker()->mix(buffer.data(), static_cast<int32_t>(buffer.size()));
}

}  // namespace kablixFuzz
