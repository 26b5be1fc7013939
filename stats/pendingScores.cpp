#include "stats/pendingScores.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <random>
#include <sstream>

namespace QEL {

const char* const kScoreColumns[kScoreColumnCount] = {
    "singleShot", "burstShot", "autoShot", "interruptedShot", "emptyShot", "reload",
    "modeSwitch", "idled",     "hit",      "damageTaken",     "used",      "deaths"};

namespace {

// Line 1 names the format; then one batch a line: id, the twelve counts, the name's length in
// bytes, one blank and the name itself (which may hold any byte).
const char* const kHeader = "kablix pending scores 1";
constexpr size_t kLongestName = 4096;

std::string newBatchId() {
    std::random_device source;
    char id[17];
    std::snprintf(id, sizeof id, "%08x%08x", source(), source());
    return id;
}

bool readBatch(std::istream& in, PendingBatch& batch) {
    size_t length = 0;
    if (!(in >> batch.id)) return false;
    for (int64_t& count : batch.counts) in >> count;
    if (!(in >> length) || length > kLongestName || in.get() != ' ') return false;
    batch.weaponName.resize(length);
    return in.read(&batch.weaponName[0], static_cast<std::streamsize>(length)) && in.get() == '\n';
}

bool writeAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t written = ::write(fd, text.data() + done, text.size() - done);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        done += static_cast<size_t>(written);
    }
    return true;
}

// The rename itself is made durable by flushing the folder that holds it.
void syncFolder(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

std::vector<PendingBatch> readPendingFile(const std::string& path) {
    std::vector<PendingBatch> batches;
    std::ifstream in(path, std::ios::binary);
    std::string header;
    if (!std::getline(in, header) || header != kHeader) return batches;
    for (PendingBatch batch; in.peek() != EOF;) {
        if (readBatch(in, batch)) {
            batches.push_back(batch);
        } else {
            in.clear();
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
        }
    }
    return batches;
}

std::string writePendingFile(const std::string& path, std::vector<PendingBatch>& batches) {
    std::ostringstream text;
    text << kHeader << '\n';
    for (PendingBatch& batch : batches) {
        if (batch.id.empty()) batch.id = newBatchId();
        text << batch.id;
        for (int64_t count : batch.counts) text << ' ' << count;
        text << ' ' << batch.weaponName.size() << ' ' << batch.weaponName << '\n';
    }
    // Each process writes its own temporary file: two copies of the game may share the folder.
    const std::string temporary = path + "." + std::to_string(::getpid()) + ".tmp";
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return std::strerror(errno);
    bool written = writeAll(fd, text.str()) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        error = errno;
    }
    if (written && ::rename(temporary.c_str(), path.c_str()) != 0) {
        written = false;
        error = errno;
    }
    if (!written) {
        ::unlink(temporary.c_str());
        return std::strerror(error);
    }
    syncFolder(path);
    return "";
}

}  // namespace QEL
