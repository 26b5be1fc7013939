// The program's entry: SDL and the 568 × 320 OpenGL window, the application object, the weapon
// catalogue and the first weapon, then the main loop, then shutdown in a fixed order.
#include "app/cApp.h"
#include "base/dataFileReader.h"
#include "app/mainLoop.h"
#include "app/options.h"
#include "app/packLibrary.h"
#include "app/weaponPreview.h"
#include "render/screen.h"
#include "sound/hss/hssDriver.h"
#include "weapon/cAssetMgr.h"

#include <SDL/SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>

namespace {

// SDL's own start: no parachute, and SDL_Quit runs at exit however the program ends.
void startSDL() {
    SDL_Init(SDL_INIT_NOPARACHUTE);
    std::atexit(SDL_Quit);
}

// Every SDL_Init call would install SDL's signal parachute unless told not to.
void initSubsystem(Uint32 flag, const char* failureFormat) {
    if (SDL_Init(flag | SDL_INIT_NOPARACHUTE) < 0) {
        std::fprintf(stderr, failureFormat, SDL_GetError());
        std::exit(-1);
    }
}

// SDL ends the loop with a quit event on SIGINT and SIGTERM; a closed terminal (SIGHUP) ends it
// the same way, so the weapon in hand is still stored. Writing to a terminal or pipe that has
// gone then fails quietly instead of ending the process before that.
void quitOnHangup() {
    struct sigaction action {};
    action.sa_handler = [](int) {
        SDL_Event quit{};
        quit.type = SDL_QUIT;
        SDL_PushEvent(&quit);
    };
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGHUP, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

// With no X display SDL falls back to console drivers, which cannot open an OpenGL window and
// may take over the terminal, so the game asks for X unless a driver is named.
void startVideo() {
    if (std::getenv("SDL_VIDEODRIVER")) {
        initSubsystem(SDL_INIT_VIDEO, "Can't init default SDL video driver: %s\n");
        return;
    }
    setenv("SDL_VIDEODRIVER", "x11", 1);
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_NOPARACHUTE) == 0) return;
    const char* display = std::getenv("DISPLAY");
    std::fprintf(stderr,
                 "kablix: cannot open the X display%s%s: set DISPLAY to a running X server, or run the "
                 "game under Xvfb (xvfb-run kablix)\n",
                 display ? " " : " (DISPLAY is not set)", display ? display : "");
    std::exit(1);
}

void openWindow(int32_t scale) {
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 6);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 5);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_WM_SetCaption("Kablix", "Kablix");
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1);
    if (!SDL_SetVideoMode(QEL::kScreenWidth * scale, QEL::kScreenHeight * scale, 16, SDL_OPENGL)) {
        std::fprintf(stderr, "Couldn't set GL mode: %s\n", SDL_GetError());
        SDL_Quit();
        std::exit(1);
    }
}

// SDL reports only the joysticks opened; they stay open for the whole run, and their buttons and
// axes are rows of the input table. Their events are on from the start: asking for them again
// (SDL_JoystickEventState) would throw away every event waiting, keys pressed during start-up too.
void openJoysticks() {
    for (int index = 0; index < SDL_NumJoysticks(); ++index) SDL_JoystickOpen(index);
}

bool traceRequested(const char* variable) {
    const char* value = std::getenv(variable);
    return value && *value && std::string(value) != "0";
}



// Options that only print are answered before SDL starts, so they need no display.
void answerOptions(const QEL::Options& options, const char* program) {
    using Action = QEL::Options::Action;
    switch (options.action) {
    case Action::play: return;
    case Action::usage: QEL::printUsage(program); break;
    case Action::help: QEL::printHelp(program); break;
    case Action::version: QEL::printVersion(); break;
    case Action::previewUsage:
        std::fprintf(stderr, "usage: %s [--scale N] --preview WEAPON [ANIMATION]\n", program);
        std::exit(2);
    case Action::unknownOption:
        std::fprintf(stderr, "kablix: unknown option %s (%s --help lists them)\n", options.unknown.c_str(), program);
        std::exit(2);
    case Action::badValue:
        std::fprintf(stderr, "kablix: %s\n", options.unknown.c_str());
        std::exit(2);
    case Action::packs: std::exit(QEL::runPackRequest(options.packs));
    }
    std::fflush(stdout);
    std::exit(0);
}

// The network's port and room from the options; a room key that cannot be read ends the start.
QEL::PeerSettings networkSettings(const QEL::Options& options) {
    QEL::PeerSettings settings;
    settings.port = options.port;
    settings.room = options.room;
    std::string error;
    settings.keyed = !options.roomKeyFile.empty();
    if (settings.keyed && !QEL::readRoomKey(options.roomKeyFile, options.room, settings.key, error)) {
        std::fprintf(stderr, "kablix: %s\n", error.c_str());
        std::exit(2);
    }
    return settings;
}

}  // namespace

int main(int argc, char** argv) {
    const QEL::Options options = QEL::parseOptions(argc, argv);
    answerOptions(options, argv[0]);
    const QEL::PeerSettings network = networkSettings(options);
    startSDL();
    startVideo();
    QEL::hssQuietAlsa();
    initSubsystem(SDL_INIT_AUDIO, "Can't init audio: %s\n");
    initSubsystem(SDL_INIT_JOYSTICK, "Can't init joystick: %s\n");
    quitOnHangup();
    openWindow(options.scale);

    QEL::cApp* app = QEL::createApp(0, 0, 0, 0);
    if (!app) {
        std::fprintf(stderr, "Out of memory for the application object\n");
        std::exit(-1);
    }
    app->setWindowSize(QEL::kScreenWidth * options.scale, QEL::kScreenHeight * options.scale);
    app->setPeerSettings(network);
    // The packs are mounted before the first weapon is checked, and stay so until the end.
    auto packs = std::make_unique<QEL::packLibrary>(options.packs.packsDirs);
    auto* catalogue = new QEL::dataFileReader("gunList.txt");
    const QEL::weaponListing listing = packs->listing(*catalogue);
    if (options.preview) {
        QEL::weaponPreview preview(*app, options.animation);
        app->takeFirstWeapon(options.weapon, true);  // what the checker finds shows from the start
        preview.run();
    } else {
        // A missing or failing first weapon does not stop start-up: the loop starts with the
        // notice saying why, over the catalogue's key 0 weapon when the first could not be loaded.
        app->takeFirstWeapon(options.weapon.empty() ? catalogue->getValue("0") : options.weapon, false,
                             catalogue->getValue("0"));
        openJoysticks();
        QEL::mainLoop loop(*app, *catalogue, listing, traceRequested("KABLIX_TRACE_INPUT"),
                           traceRequested("KABLIX_TRACE_FRAMES"));
        loop.run();
    }

    app->assetManager()->storeEventsToDB();
    QEL::destroyApp(app);
    packs.reset();  // std::exit runs no destructors of main's own
    delete catalogue;
    std::cout << std::flush;
    SDL_Quit();
    std::exit(0);
}
