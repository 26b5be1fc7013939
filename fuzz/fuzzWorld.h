// What the fuzz harnesses share: a private working folder laid out as the game sees it (play/ as
// the working directory, assets/ beside it, filled from the demo pack), the log sent to nowhere,
// a clock the harness sets, and on request a real GL context on a private Xvfb and a sound
// manager on an offline speaker. Set up once per fuzzing process from LLVMFuzzerInitialize; the
// folder is removed at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace QEL {
class cSoundManager;
}

namespace kablixFuzz {

struct WorldOptions {
    bool copyPack = true;      // the demo pack's files into assets/
    bool glContext = false;    // a GL window (textures need it)
    bool soundManager = false; // cSoundManager with an offline speaker
};

// Exits the process with a message when the world cannot be built: a harness without its world
// would only report false findings.
void setUpWorld(const WorldOptions& options);

// Paths inside the world.
std::string assetsDir();  // ".../assets"
std::string playDir();    // ".../play", the working directory

// Writes `size` bytes at `data` to `path`, replacing it.
void writeBytes(const std::string& path, const uint8_t* data, size_t size);
void writeText(const std::string& path, const std::string& text);

// The clock every harness sets (appTimeMs reads it).
void setClock(uint32_t ms);
uint32_t clock();

QEL::cSoundManager* sounds();
// Mixes `frames` stereo frames on the offline speaker, as the audio thread would.
void mix(int32_t frames);

}  // namespace kablixFuzz
