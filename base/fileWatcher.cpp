#include "base/fileWatcher.h"

#include <sys/inotify.h>
#include <unistd.h>


namespace QEL {

namespace {

// A save shows as a file closed after writing or moved in (an editor's rename); a new file as
// created. Attribute changes and reads are not saves.
constexpr uint32_t kSaveEvents = IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE;

std::string joined(const std::string& folder, const char* name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

}  // namespace

fileWatcher::fileWatcher() : descriptor(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

fileWatcher::~fileWatcher() {
    if (descriptor >= 0) close(descriptor);
}

void fileWatcher::watchFolders(const std::set<std::string>& folders) {
    if (descriptor < 0) return;
    std::map<std::string, int> kept;
    for (const std::string& folder : folders) {
        const auto known = watches.find(folder);
        const int watch = known != watches.end()
                              ? known->second
                              : inotify_add_watch(descriptor, folder.empty() ? "." : folder.c_str(), kSaveEvents);
        if (watch >= 0) kept[folder] = watch;
    }
    // Two spellings of one folder share a watch descriptor: it goes only when neither is kept.
    for (const auto& old : watches) {
        bool stillUsed = false;
        for (const auto& entry : kept) stillUsed = stillUsed || entry.second == old.second;
        if (!stillUsed) inotify_rm_watch(descriptor, old.second);
    }
    watches = std::move(kept);
}

bool fileWatcher::readReports() {
    alignas(inotify_event) char buffer[4096];
    bool named = false;
    ssize_t size;
    while (descriptor >= 0 && (size = read(descriptor, buffer, sizeof buffer)) > 0) {
        for (ssize_t at = 0; at < size;) {
            const auto* report = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + report->len);
            if (report->len == 0 || (report->mask & IN_ISDIR)) continue;
            for (const auto& entry : watches) {
                if (entry.second == report->wd) changed.insert(joined(entry.first, report->name));
            }
            named = true;
        }
    }
    return named;
}

std::vector<std::string> fileWatcher::poll(uint32_t nowMs, uint32_t settleMs) {
    if (readReports()) lastReportMs = nowMs;
    if (changed.empty() || nowMs - lastReportMs < settleMs) return {};
    std::vector<std::string> burst(changed.begin(), changed.end());
    changed.clear();
    return burst;
}

std::string folderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return std::string();
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace QEL
