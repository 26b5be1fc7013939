// Picture check and frame cost (not a test). Draws a fixed tour through every demo weapon on a set
// clock with a fixed random seed: at rest, firing, another fire mode, reloading, mirrored, and in a
// team game with hits, blood, death, digging out and the debug light. Each step is one frame of the
// application object (cApp::runFrame, as the game draws it), read back from the window.
//
//   frame_pictures <assets folder> [--dump <folder>]   one line per picture: weapon, phase, clock,
//                                                       checksum of its pixels (and a PNG with --dump)
//   frame_pictures <assets folder> --time <frames>      CPU and wall time per drawn and swapped frame
//                                                       of each weapon at rest and while firing
//
// Run the first form on two builds and compare the outputs to show that a drawing change keeps the
// picture. The frame buffer is filled with magenta before every frame, so a layer that stops
// covering what it covered shows. The window is opened as the game opens it (16-bit, 5-6-5).
#include <GL/gl.h>
#include <SDL/SDL.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "base/appTime.h"
#include "app/cApp.h"
#include "effects/debugLight.h"
#include "effects/teamDamage.h"
#include "render/Image.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "testing/glTestContext.h"
#include "testing/scratchDir.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponTest.h"

namespace fs = std::filesystem;
using namespace QEL;

namespace {

uint32_t clockNow = 1;
uint32_t tourClock() { return clockNow; }

constexpr int kStepMs = 16;  // one frame of a 60 Hz display
const char* const kWeapons[] = {"carbine", "sidearm", "rotary", "pulsar"};
constexpr int kFireX = 284, kFireY = 200;

double seconds(clockid_t clock) {
    timespec now;
    clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

uint64_t checksum(const std::vector<uint8_t>& pixels) {
    uint64_t hash = 1469598103934665603ull;  // FNV-1a
    for (uint8_t byte : pixels) hash = (hash ^ byte) * 1099511628211ull;
    return hash;
}

// The window as the game opens it (main.cpp's attributes) on the test support's private server.
bool openGameWindow() {
    if (!QEL::testing::startGLContext()) return false;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
    return SDL_SetVideoMode(kScreenWidth, kScreenHeight, 16, SDL_OPENGL) != nullptr;
}

class Tour {
public:
    Tour(cApp& app, std::string dumpDir) : app(app), mgr(*app.assetManager()), dumpDir(std::move(dumpDir)) {}

    void run(const std::string& name) {
        weapon = name;
        std::srand(1);
        app.loadWeapon(testWeapon(weapon));
        phase("rest", 60);
        press();
        phase("fire", 60);
        release();
        phase("after", 60);
        mgr.toggleAssetMode();
        press();
        phase("mode", 40);
        release();
        phase("mode-after", 40);
        mgr.requestReload();
        phase("reload", 120);
        for (int mode : {3, 1, 2}) {
            screenMirrorMode = static_cast<MirrorMode>(mode);
            phase("mirror" + std::to_string(mode), 8);
        }
        screenMirrorMode = MirrorMode::none;
        teamGame();
    }

private:
    void teamGame() {
        mgr.setTeamMode(TeamMode::team1);
        mgr.toggleDebugLight();
        phase("team", 10);
        // Hits until the blood shows, then a shot, then until the player dies.
        for (int i = 0; i < 40 && mgr.damageDisplay().health() >= 40.0f; ++i) hit("hit");
        press();
        phase("hurt-fire", 30);
        release();
        for (int i = 0; i < 60 && !mgr.damageDisplay().dead(); ++i) hit("dying");
        phase("dead", 30);
        for (int i = 0; i < 16; ++i) {
            press();
            phase("dig", 2);
            release();
            phase("dig", 2);
        }
        phase("revive", 120);
        mgr.toggleDebugLight();
        mgr.setTeamMode(TeamMode::offline);
        phase("solo", 4);
    }

    void hit(const std::string& label) {
        mgr.receiveHit(1 + std::rand() % 5);  // the demo effects 1 to 5; 6 may take the weapon away
        phase(label, 6);
    }

    void press() { app.onMouseDown(kFireX, kFireY); }
    void release() {
        mgr.injectInputUp();
        mgr.injectDodgeInput(false);
    }

    void phase(const std::string& label, int frames) {
        for (int i = 0; i < frames; ++i) {
            clockNow += kStepMs;
            picture(label);
        }
    }

    void picture(const std::string& label) {
        glClearColor(1, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glClearColor(0, 0, 0, 0);
        app.runFrame();
        const std::vector<uint8_t> pixels = QEL::testing::readPixels(0, 0, kScreenWidth, kScreenHeight);
        std::printf("%s %s %u %016llx\n", weapon.c_str(), label.c_str(), clockNow,
                    static_cast<unsigned long long>(checksum(pixels)));
        if (!dumpDir.empty())
            takeScreenshot(dumpDir + "/" + weapon + "-" + std::to_string(clockNow) + "-" + label + ".png");
    }

    cApp& app;
    cAssetMgr& mgr;
    std::string dumpDir;
    std::string weapon;
};

// CPU time (all threads, the renderer's included) and wall time per frame drawn and swapped.
void timeFrames(cApp& app, const char* weapon, const char* state, int frames) {
    const double cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID), wall0 = seconds(CLOCK_MONOTONIC);
    for (int i = 0; i < frames; ++i) {
        clockNow += 1;
        app.runFrame();
        SDL_GL_SwapBuffers();
    }
    const double cpu = seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0, wall = seconds(CLOCK_MONOTONIC) - wall0;
    std::fprintf(stderr, "%-8s %-7s CPU %.3f ms, wall %.3f ms per frame\n", weapon, state, cpu * 1000 / frames,
                 wall * 1000 / frames);
}

void timeWeapons(cApp& app, int frames) {
    for (const char* weapon : kWeapons) {
        std::srand(1);
        app.loadWeapon(testWeapon(weapon));
        clockNow += 500;
        timeFrames(app, weapon, "rest", frames);
        app.onMouseDown(kFireX, kFireY);
        clockNow += 700;
        timeFrames(app, weapon, "firing", frames);
        app.assetManager()->injectInputUp();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <assets folder> [--dump <folder> | --time <frames>]\n", argv[0]);
        return 2;
    }
    std::string dumpDir;
    int timedFrames = 0;
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--dump") dumpDir = fs::absolute(argv[i + 1]).string();
        if (option == "--time") timedFrames = std::atoi(argv[i + 1]);
    }
    if (!openGameWindow()) {
        std::fprintf(stderr, "frame_pictures: no OpenGL window\n");
        return 1;
    }
    GLint bits[5];
    const GLenum names[5] = {GL_RED_BITS, GL_GREEN_BITS, GL_BLUE_BITS, GL_ALPHA_BITS, GL_DEPTH_BITS};
    for (int i = 0; i < 5; ++i) glGetIntegerv(names[i], &bits[i]);
    std::fprintf(stderr, "frame buffer: red %d, green %d, blue %d, alpha %d, depth %d bits; %s\n", bits[0], bits[1],
                 bits[2], bits[3], bits[4], reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    // A copy of the pack, so that the score database the weapons write goes nowhere that matters.
    const QEL::testing::ScratchDir scratch("kablix-pictures");
    fs::create_directories(fs::path(scratch.path) / "play");
    fs::copy(argv[1], fs::path(scratch.path) / "assets", fs::copy_options::recursive);
    fs::remove(fs::path(scratch.path) / "assets" / "scores.db");
    fs::current_path(fs::path(scratch.path) / "play");
    if (!dumpDir.empty()) fs::create_directories(dumpDir);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    setAppTimeSourceForTesting(&tourClock);

    cApp* app = createApp(0, 0, 0, 0);
    if (timedFrames > 0) {
        timeWeapons(*app, timedFrames);
    } else {
        Tour tour(*app, dumpDir);
        for (const char* weapon : kWeapons) tour.run(weapon);
    }
    destroyApp(app);
    return 0;
}
