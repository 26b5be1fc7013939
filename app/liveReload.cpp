#include "app/liveReload.h"

#include "weapon/cAssetMgr.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

namespace QEL {

liveReload::liveReload(cAssetMgr& assets) : assets(assets) {
    if (!watcher.available())
        std::fprintf(stderr, "kablix: live reload is off: no file watch (%s)\n", std::strerror(errno));
}

void liveReload::followFilesInUse() {
    if (watching && watchedVersion == assets.filesVersion()) return;
    std::set<std::string> folders;
    for (const std::string& path : assets.filesInUse()) folders.insert(folderOf(path));
    watcher.watchFolders(folders);
    watchedVersion = assets.filesVersion();
    watching = true;
}

std::string liveReload::weaponToReload(uint32_t nowMs) {
    if (!watcher.available() || nowMs - lastPollMs < kPollMs) return std::string();
    lastPollMs = nowMs;
    followFilesInUse();
    bool weaponChanged = false;
    for (const std::string& path : watcher.poll(nowMs, kSettleMs)) {
        if (assets.fileChanged(path)) weaponChanged = true;
    }
    return weaponChanged ? assets.weaponSource() : std::string();
}

}  // namespace QEL
