#include "testing/glTestContext.h"

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

// Starts Xvfb on display `number`; it writes the number to the pipe once it accepts clients.
// Returns false when that server did not come up (e.g. the display is taken).
bool startXvfb(int number) {
    int fds[2];
    if (pipe(fds) != 0) return false;
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive the test process
        close(fds[0]);
        const int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) {
            dup2(devNull, STDOUT_FILENO);
            dup2(devNull, STDERR_FILENO);
        }
        const std::string display = ":" + std::to_string(number);
        const std::string fd = std::to_string(fds[1]);
        // -noreset: SDL's video start-up opens and closes a first connection to probe the display;
        // without it the server resets as that last client leaves and the window's connection
        // can break under it (the test then dies of SIGPIPE).
        execlp("Xvfb", "Xvfb", display.c_str(), "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24",
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    xvfbPid = pid;
    close(fds[1]);
    std::string reported;
    char c;
    while (read(fds[0], &c, 1) == 1 && c != '\n') reported += c;
    close(fds[0]);
    return reported == std::to_string(number);
}

// Xvfb's own choice of a free display (-displayfd without a number) races when several test
// processes start at once: a server that loses the race for :0 can leave the winner unreachable.
// So each process tries display numbers of its own, spread by its process id, above those that
// desktop sessions and other harnesses use.
bool openWindowOnFreshServer(int attempt) {
    const int number = 100 + (static_cast<int>(getpid()) * 7 + attempt * 13) % 800;
    if (access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0) return false;
    if (!startXvfb(number)) return false;
    setenv("DISPLAY", (":" + std::to_string(number)).c_str(), 1);
    unsetenv("XAUTHORITY");
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
    windowOpen = true;
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    return SDL_SetVideoMode(kWindowWidth, kWindowHeight, 16, SDL_OPENGL) != nullptr;
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const RGBA& p) {
    return out << "(" << int(p.r) << ", " << int(p.g) << ", " << int(p.b) << ", " << int(p.a) << ")";
}

bool startGLContext() {
    if (windowOpen) return true;
    std::atexit(stopGLContext);
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (openWindowOnFreshServer(attempt)) {
            glViewport(0, 0, kWindowWidth, kWindowHeight);
            return true;
        }
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
