#include "testing/glTestContext.h"

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "render/QuadSet.h"
#include "render/screen.h"

namespace QEL::testing {

namespace {

pid_t xvfbPid = -1;
bool windowOpen = false;

void stopGLContext() {
    if (windowOpen) SDL_Quit();
    windowOpen = false;
    if (xvfbPid > 0) kill(xvfbPid, SIGTERM), waitpid(xvfbPid, nullptr, 0);
    xvfbPid = -1;
}

// Xvfb's own choice of a display races between test processes started at once, so each tries
// numbers of its own, spread by its process id, above those of desktops and other harnesses.
bool openWindowOnFreshServer(int attempt) {
    const std::string number = std::to_string(100 + (static_cast<int>(getpid()) * 7 + attempt * 13) % 800);
    int fds[2];
    if (access(("/tmp/.X" + number + "-lock").c_str(), F_OK) == 0 || pipe(fds) != 0) return false;
    if ((xvfbPid = fork()) == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the test process
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, STDOUT_FILENO), dup2(devNull, STDERR_FILENO), close(fds[0]);
        // -noreset: SDL's start-up probe connection leaving would otherwise reset the server
        // under the window's connection (the test then dies of SIGPIPE).
        execlp("Xvfb", "Xvfb", (":" + number).c_str(), "-displayfd", std::to_string(fds[1]).c_str(), "-screen", "0",
               "1024x768x24", "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string reported;  // Xvfb writes its number once it accepts clients
    for (char c; read(fds[0], &c, 1) == 1 && c != '\n';) reported += c;
    close(fds[0]);
    if (reported != number) return false;
    setenv("DISPLAY", (":" + number).c_str(), 1);
    unsetenv("XAUTHORITY");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    windowOpen = true;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    return SDL_SetVideoMode(kScreenWidth, kScreenHeight, 16, SDL_OPENGL) != nullptr;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const RGBA& p) {
    return out << "(" << int(p.r) << ", " << int(p.g) << ", " << int(p.b) << ", " << int(p.a) << ")";
}

bool startGLContext() {
    if (windowOpen) return true;
    std::atexit(stopGLContext);
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (openWindowOnFreshServer(attempt)) return glViewport(0, 0, kScreenWidth, kScreenHeight), true;
        stopGLContext();
    }
    std::fprintf(stderr, "test support: no Xvfb with an OpenGL window could be started: %s\n", SDL_GetError());
    return false;
}

std::vector<uint8_t> readPixels(int x, int yFromBottom, int w, int h) {
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, yFromBottom, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

RGBA readPixel(int x, int yFromTop) {
    const std::vector<uint8_t> p = readPixels(x, kScreenHeight - 1 - yFromTop, 1, 1);
    return RGBA{p[0], p[1], p[2], p[3]};
}

bool colorNear(const RGBA& p, int r, int g, int b, int tolerance) {
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance;
}

void GLTest::SetUpTestSuite() { startGLContext(); }

void GLTest::SetUp() {
    if (!windowOpen) GTEST_FAIL() << "no OpenGL context (Xvfb or SDL failed to start)";
    screenMirrorMode = MirrorMode::none;
    glDisable(GL_BLEND);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

}  // namespace QEL::testing
