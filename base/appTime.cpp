#include "base/appTime.h"

#include <time.h>

namespace QEL {

namespace {

uint32_t (*testSource)() = nullptr;

uint64_t monotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return uint64_t(now.tv_sec) * 1000u + uint64_t(now.tv_nsec) / 1000000u;
}

}  // namespace

uint32_t appTimeMs() {
    if (testSource) return testSource();
    static bool notStarted = true;
    static uint64_t startTick = 0;
    if (notStarted) {
        notStarted = false;
        startTick = monotonicMs();
    }
    return uint32_t(monotonicMs() - startTick);
}

void setAppTimeSourceForTesting(uint32_t (*source)()) { testSource = source; }

}  // namespace QEL
