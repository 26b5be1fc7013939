#include "app/log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <unistd.h>

namespace {

// Captures std::cout for the lifetime of the object.
class CoutCapture {
public:
    CoutCapture() : old(std::cout.rdbuf(buffer.rdbuf())) {}
    ~CoutCapture() { std::cout.rdbuf(old); }
    std::string text() const { return buffer.str(); }

private:
    std::ostringstream buffer;
    std::streambuf* old;
};

TEST(Log, ErrorLineCarriesBellAfterTheFunctionName) {
    CoutCapture out;
    QEL::logError("QEL::cAssetMgr::loadAsset", "IMAGE NOT FOUND: ", "gun", ".png");
    EXPECT_EQ(out.text(), "E: (QEL::cAssetMgr::loadAsset) \aIMAGE NOT FOUND: gun.png\n");
}

TEST(Log, WarningLineHasNoBell) {
    CoutCapture out;
    QEL::logWarning("QEL::cEmitter::processRoot", "count ", 3);
    EXPECT_EQ(out.text(), "W: (QEL::cEmitter::processRoot) count 3\n");
}

TEST(Log, MessageEndingInLineFeedIsFollowedByAnEmptyLine) {
    CoutCapture out;
    QEL::logWarning("QEL::cEmitter::processRoot", "WARNING: name not specified in <emitter> element.\n");
    EXPECT_EQ(out.text(), "W: (QEL::cEmitter::processRoot) WARNING: name not specified in <emitter> element.\n\n");
}

TEST(Log, StatusLineHasThreeLeadingBlanksAndWritesFlagsAsDigits) {
    CoutCapture out;
    QEL::logStatus("Ammo ON.");
    QEL::logStatus("FPS: ", false);
    QEL::logStatus("Portrait: ", true);
    EXPECT_EQ(out.text(), "   Ammo ON.\n   FPS: 0\n   Portrait: 1\n");
}

TEST(Log, PrintfAndCoutStayInCallOrder) {
    std::fflush(stdout);
    std::cout.flush();
    char path[] = "/tmp/kablix_log_XXXXXX";
    int fd = mkstemp(path);
    ASSERT_GE(fd, 0);
    int saved = dup(STDOUT_FILENO);
    dup2(fd, STDOUT_FILENO);
    std::printf("one\n");
    QEL::logStatus("two");
    std::printf("three\n");
    std::cout << "four\n";
    std::fflush(stdout);
    std::cout.flush();
    dup2(saved, STDOUT_FILENO);
    close(saved);
    close(fd);
    FILE* in = std::fopen(path, "r");
    ASSERT_TRUE(in);
    char buf[256] = {};
    size_t n = std::fread(buf, 1, sizeof buf - 1, in);
    std::fclose(in);
    std::remove(path);
    EXPECT_EQ(std::string(buf, n), "one\n   two\nthree\nfour\n");
}

}  // namespace
