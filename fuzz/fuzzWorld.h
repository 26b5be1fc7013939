// What the fuzz harnesses share, set up once per fuzzing process from LLVMFuzzerInitialize: a
// private folder laid out as the game sees it (play/ as the working directory, assets/ beside it,
// filled from the demo pack), the log sent nowhere, a clock the harness sets, and on request a real
// GL context on a private Xvfb and a sound manager on an offline speaker. Removed at exit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace QEL {
class cSoundManager;
}

namespace kablixFuzz {

struct WorldOptions {
    bool copyPack = true;
    bool glContext = false;    // textures need it
    bool soundManager = false;
};

// Exits with a message when the world cannot be built: a harness without it would only report
// false findings.
void setUpWorld(const WorldOptions& options);

std::string assetsDir();
std::string playDir();  // the working directory
void writeBytes(const std::string& path, const uint8_t* data, size_t size);

// The clock appTimeMs reads.
void setClock(uint32_t ms);
uint32_t clock();

QEL::cSoundManager* sounds();
// Mixes `frames` stereo frames on the offline speaker, as the audio thread would.
void mix(int32_t frames);

}  // namespace kablixFuzz
