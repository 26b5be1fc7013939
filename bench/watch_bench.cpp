// Live reload timings: what the folder watch costs a turn of the main loop when nothing was saved
// (one non-blocking read), and how soon a save by rename is reported once its writes have settled.
// Prints the figures; no window.
#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <thread>

#include "base/fileWatcher.h"
#include "bench/bestTime.h"
#include "testing/scratchDir.h"

using namespace QEL;

namespace {

uint32_t nowMs() {
    using namespace std::chrono;
    return static_cast<uint32_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void saveByRename(const std::string& folder, const std::string& name) {
    std::ofstream(folder + "/.saving") << "<kablixWeapon/>\n";
    std::rename((folder + "/.saving").c_str(), (folder + "/" + name).c_str());
}

}  // namespace

int main() {
    testing::ScratchDir dir("kablix-watch");
    fileWatcher watcher;
    if (!watcher.available()) {
        std::printf("no inotify here: live reload is off\n");
        return 0;
    }
    watcher.watchFolders({dir.path});
    constexpr int kTurns = 100000;
    const double idleUs = bench::bestMs(5, [&] {
                              for (int turn = 0; turn < kTurns; ++turn) watcher.poll(nowMs(), 200);
                          }) * 1000.0 / kTurns;
    std::printf("idle poll (one turn, nothing saved): %.3f us\n", idleUs);

    // Polled every 2 ms, as a turn ends no sooner: the report comes the settle time after the save.
    for (uint32_t settleMs : {0u, 200u}) {
        const uint32_t saved = nowMs();
        saveByRename(dir.path, "probe.xml");
        while (watcher.poll(nowMs(), settleMs).empty()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
        std::printf("save to report, settle %u ms: %u ms\n", settleMs, nowMs() - saved);
    }
    return 0;
}
