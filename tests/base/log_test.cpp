#include "base/log.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

TEST(Log, EachLineKindHasItsByteShape) {
    CaptureStdout();
    QEL::logError("QEL::cAssetMgr::loadAsset", "IMAGE NOT FOUND: ", "gun", ".png");
    QEL::logWarning("QEL::cEmitter::processRoot", "count ", 3);
    QEL::logWarning("QEL::cEmitter::processRoot", "WARNING: name not specified in <emitter> element.\n");
    QEL::logStatus("Ammo ON.");
    QEL::logStatus("FPS: ", false);
    QEL::logStatus("Portrait: ", true);
    EXPECT_EQ(GetCapturedStdout(),
              "E: (QEL::cAssetMgr::loadAsset) \aIMAGE NOT FOUND: gun.png\n"  // a bell after the function name
              "W: (QEL::cEmitter::processRoot) count 3\n"                     // warnings without one
              "W: (QEL::cEmitter::processRoot) WARNING: name not specified in <emitter> element.\n\n"
              "   Ammo ON.\n   FPS: 0\n   Portrait: 1\n");  // flags as digits
}

TEST(Log, PrintfAndCoutStayInCallOrder) {
    CaptureStdout();  // standard output becomes a file, so printf buffers fully
    std::printf("one\n");
    QEL::logStatus("two");
    std::printf("three\n");
    std::cout << "four\n";
    std::fflush(stdout);
    std::cout.flush();
    EXPECT_EQ(GetCapturedStdout(), "one\n   two\nthree\nfour\n");
}

}  // namespace
