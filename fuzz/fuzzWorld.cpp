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
#include "testing/soundTestSupport.h"
#include "testing/glTestContext.h"

#ifndef KABLIX_FUZZ_PACK_DIR
#define KABLIX_FUZZ_PACK_DIR ""
#endif

namespace kablixFuzz {

namespace fs = std::filesystem;

namespace {

fs::path worldRoot;
uint32_t clockNow = 0;
QEL::cSoundManager* soundManager = nullptr;
std::ofstream nowhere;  // the log's sink: never opened, so every write is dropped

uint32_t fuzzClock() { return clockNow; }

void removeWorld() {
    // Only the process that made the folder removes it (libFuzzer's -fork children share it).
    if (!worldRoot.empty() && worldRoot.filename() == "kablix_fuzz_" + std::to_string(::getpid())) {
        std::error_code ignored;
        fs::remove_all(worldRoot, ignored);
    }
}

[[noreturn]] void fail(const std::string& why) {
    std::fprintf(stderr, "fuzz world: %s\n", why.c_str());
    std::exit(2);
}

void copyPack() {
    const char* fromEnv = std::getenv("KABLIX_FUZZ_PACK");
    const fs::path pack = fromEnv && *fromEnv ? fs::path(fromEnv) : fs::path(KABLIX_FUZZ_PACK_DIR);
    std::error_code error;
    if (pack.empty() || !fs::is_directory(pack, error)) {
        fail("no demo pack at '" + pack.string() + "' (build the kablix_pack target or set KABLIX_FUZZ_PACK)");
    }
    for (const fs::directory_entry& entry : fs::directory_iterator(pack)) {
        const std::string name = entry.path().filename().string();
        if (!entry.is_regular_file() || name.rfind("scores.db", 0) == 0 || name[0] == '.') continue;
        fs::copy_file(entry.path(), worldRoot / "assets" / name, fs::copy_options::overwrite_existing, error);
        if (error) fail("cannot copy " + entry.path().string());
    }
}

// Mesa unloads its software driver at exit, before LeakSanitizer looks: what the driver keeps for
// the whole run would then be reported from an unknown module that no suppression can name.
// Keeping it loaded lets lsan.supp name it like the other system libraries.
void keepGLDriverLoaded() {
    dlopen("/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so", RTLD_NOW | RTLD_GLOBAL | RTLD_NODELETE);
}

}  // namespace

void setUpWorld(const WorldOptions& options) {
    worldRoot = fs::temp_directory_path() / ("kablix_fuzz_" + std::to_string(::getpid()));
    std::error_code error;
    fs::remove_all(worldRoot, error);
    fs::create_directories(worldRoot / "play", error);
    fs::create_directories(worldRoot / "assets", error);
    if (error) fail("cannot create " + worldRoot.string());
    std::atexit(removeWorld);
    if (options.copyPack) copyPack();
    fs::current_path(worldRoot / "play", error);
    if (error) fail("cannot enter " + (worldRoot / "play").string());

    QEL::setAppTimeSourceForTesting(&fuzzClock);
    // The log lines are the program's interface, not findings; libFuzzer reports on stderr.
    std::cout.rdbuf(nowhere.rdbuf());
    if (!std::freopen("/dev/null", "w", stdout)) fail("cannot silence stdout");

    if (options.glContext) {
        keepGLDriverLoaded();
        if (!QEL::testing::startGLContext()) fail("no GL context");
    }
    if (options.soundManager) {
        soundManager = new QEL::cSoundManager();
        soundManager->setSpeaker(QEL::soundTest::offlineSpeaker().release());
    }
}

std::string assetsDir() { return (worldRoot / "assets").string(); }
std::string playDir() { return (worldRoot / "play").string(); }

void writeBytes(const std::string& path, const uint8_t* data, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

void writeText(const std::string& path, const std::string& text) {
    writeBytes(path, reinterpret_cast<const uint8_t*>(text.data()), text.size());
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
