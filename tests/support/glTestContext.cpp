#include "tests/support/glTestContext.h"

#include <GL/gl.h>
#include <SDL/SDL.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "render/QuadSet.h"

namespace QEL {
namespace testing {

namespace {

pid_t xvfbPid = -1;
bool windowOpen = false;

void stopGLContext() {
    if (windowOpen) SDL_Quit();
    windowOpen = false;
    if (xvfbPid > 0) {
        kill(xvfbPid, SIGTERM);
        waitpid(xvfbPid, nullptr, 0);
        xvfbPid = -1;
    }
}

// Starts Xvfb, which picks a free display and writes its number to the pipe. Returns the
// display name, or empty on failure.
std::string startXvfb() {
    int fds[2];
    if (pipe(fds) != 0) return "";
    const pid_t pid = fork();
    if (pid < 0) return "";
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the test process
        close(fds[0]);
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    xvfbPid = pid;
    close(fds[1]);
    std::string number;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') number += c;
    close(fds[0]);
    return number.empty() ? "" : ":" + number;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const RGBA& p) {
    return out << "(" << int(p.r) << ", " << int(p.g) << ", " << int(p.b) << ", " << int(p.a) << ")";
}

bool startGLContext() {
    if (windowOpen) return true;
    const std::string display = startXvfb();
    if (display.empty()) {
        std::fprintf(stderr, "test support: Xvfb did not start\n");
        stopGLContext();
        return false;
    }
    std::atexit(stopGLContext);
    setenv("DISPLAY", display.c_str(), 1);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        std::fprintf(stderr, "test support: SDL_Init failed: %s\n", SDL_GetError());
        stopGLContext();
        return false;
    }
    windowOpen = true;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    if (!SDL_SetVideoMode(kWindowWidth, kWindowHeight, 16, SDL_OPENGL)) {
        std::fprintf(stderr, "test support: SDL_SetVideoMode failed: %s\n", SDL_GetError());
        stopGLContext();
        return false;
    }
    glViewport(0, 0, kWindowWidth, kWindowHeight);
    return true;
}

std::vector<uint8_t> readPixels(int x, int yFromBottom, int w, int h) {
    std::vector<uint8_t> pixels(static_cast<size_t>(w) * h * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, yFromBottom, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

RGBA readPixel(int x, int yFromTop) {
    const std::vector<uint8_t> p = readPixels(x, kWindowHeight - 1 - yFromTop, 1, 1);
    return RGBA{p[0], p[1], p[2], p[3]};
}

bool colorNear(const RGBA& p, int r, int g, int b, int tolerance) {
    return std::abs(p.r - r) <= tolerance && std::abs(p.g - g) <= tolerance && std::abs(p.b - b) <= tolerance;
}

void swapBuffers() { SDL_GL_SwapBuffers(); }

void GLTest::SetUpTestSuite() { startGLContext(); }

void GLTest::SetUp() {
    if (!windowOpen) GTEST_FAIL() << "no OpenGL context (Xvfb or SDL failed to start)";
    screenMirrorMode = 0;
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

}  // namespace testing
}  // namespace QEL
