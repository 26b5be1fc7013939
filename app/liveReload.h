// Live reload for pack authors: watches the folders of every file the asset manager has read
// (cAssetMgr::filesInUse; a folder pack's files where they are on the disk, an archive's not) and, once a burst of saves has settled, hands each changed file to the
// manager, which reads shared sounds, particle pictures and the hit effects again itself. Whether
// the weapon is to be loaded again is the caller's to act on, the same way a catalogue key loads
// it. Owned by whoever runs the turns (the main loop); borrows the asset manager.
#pragma once

#include <cstdint>
#include <map>
#include <string>

#include "base/fileWatcher.h"

namespace QEL {

class cAssetMgr;

class liveReload {
public:
    // Without inotify one line on standard error says that live reload is off.
    explicit liveReload(cAssetMgr& assets);

    // One turn at `nowMs` (program clock): every kPollMs one non-blocking read of the folder
    // watch, and the settled changes handed to the asset manager. Returns the catalogue name of
    // the weapon to load again (its file, a file it names or the hit effects file changed), else
    // empty. After a reload that was refused, a file saved in the watched folders tries again.
    std::string weaponToReload(uint32_t nowMs);

    // A read of the watch costs a system call (about 4 us); ten a second keep a save's reload
    // within 0.4 s of its last write.
    static constexpr uint32_t kPollMs = 100;
    // A save's writes have settled when no new one came for this long: a reload never reads a
    // half-written file, and a burst of saves reloads once.
    static constexpr uint32_t kSettleMs = 200;

private:
    // Watches the folders of the files in use when the manager has read anew since the last time.
    void followFilesInUse();

    cAssetMgr& assets;
    fileWatcher watcher;
    uint32_t watchedVersion = 0;
    uint32_t lastPollMs = 0;
    bool watching = false;
    bool reloadAsked = false;   // the last poll asked for a reload, at askedVersion of the files
    uint32_t askedVersion = 0;
    bool refused = false;       // that reload loaded nothing: the next save of any file tries again
    std::map<std::string, std::string> diskFiles;  // a watched file on the disk -> the name it was read by
};

}  // namespace QEL
