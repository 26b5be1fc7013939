// Reports files saved into watched folders once their writes have settled. Editors save by writing
// a temporary file and renaming it over the old one, so whole folders are watched (inotify: closed
// after writing, moved in, created) and files are reported by folder and name. The inotify
// descriptor is non-blocking: a poll with nothing to report is one read that returns at once.
// Main thread only; the watcher owns its descriptor.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace QEL {

class fileWatcher {
public:
    fileWatcher();
    ~fileWatcher();
    fileWatcher(const fileWatcher&) = delete;
    fileWatcher& operator=(const fileWatcher&) = delete;

    // False when the system gave no inotify descriptor (errno then tells why).
    bool available() const { return descriptor >= 0; }

    // Watches exactly these folders from now on, each spelt as folderOf spells it ("" is the
    // working directory). Folders that cannot be watched are left out.
    void watchFolders(const std::set<std::string>& folders);

    // Reads what the system reported since the last poll at `nowMs` (any millisecond clock) and,
    // once `settleMs` have passed with no new report, returns each file changed in that burst
    // (folder + "/" + name, spelt with the folder as given) once; otherwise nothing.
    std::vector<std::string> poll(uint32_t nowMs, uint32_t settleMs);

private:
    // One read of every report waiting; true when one named a file.
    bool readReports();

    int descriptor = -1;
    std::map<std::string, int> watches;                 // folder as spelt -> watch descriptor
    std::set<std::string> changed;                      // this burst's files, as reported
    uint32_t lastReportMs = 0;
};

// The folder part of `path` as fileWatcher spells folders: everything before the last '/'
// ("/" for a file in the root, "" for a bare name).
std::string folderOf(const std::string& path);

}  // namespace QEL
