#include "app/liveReload.h"

#include "base/assetPath.h"
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
    diskFiles.clear();
    for (const std::string& path : assets.filesInUse()) {
        // A folder pack's files are watched where they are on the disk; an archive's are not.
        const std::string disk = diskFileOf(path);
        if (disk.empty()) continue;
        folders.insert(folderOf(disk));
        diskFiles[disk] = path;
    }
    watcher.watchFolders(folders);
    watchedVersion = assets.filesVersion();
    watching = true;
    refused = false;  // a weapon was loaded
}

std::string liveReload::weaponToReload(uint32_t nowMs) {
    if (!watcher.available() || nowMs - lastPollMs < kPollMs) return std::string();
    lastPollMs = nowMs;
    // A reload asked for last time that loaded nothing was refused, most likely for a file the
    // weapon names that is not there yet: any file saved beside it is worth another try.
    refused = refused || (reloadAsked && assets.filesVersion() == askedVersion);
    reloadAsked = false;
    followFilesInUse();
    const std::vector<std::string> saved = watcher.poll(nowMs, kSettleMs);
    bool weaponChanged = refused && !saved.empty();
    for (const std::string& path : saved) {
        const auto known = diskFiles.find(path);
        if (assets.fileChanged(known == diskFiles.end() ? path : known->second)) weaponChanged = true;
    }
    if (!weaponChanged) return std::string();
    reloadAsked = true;
    askedVersion = assets.filesVersion();
    return assets.weaponSource();
}

}  // namespace QEL
