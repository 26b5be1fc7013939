// The shapes of the log lines, checked here once; other tests look only at what a line says.
#include "base/log.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(Log, EachLineKindHasItsByteShapeAndPrintfAndCoutStayInCallOrder) {
    ::testing::internal::CaptureStdout();  // standard output becomes a file: printf buffers fully
    QEL::logError("QEL::cAssetMgr::loadAsset", "IMAGE NOT FOUND: ", "gun", ".png");
    QEL::logWarning("QEL::cEmitter::processRoot", "count ", 3);
    std::printf("plain\n");
    QEL::logStatus("Ammo ON.");
    QEL::logStatus("FPS: ", false);
    std::cout << "cout\n";
    QEL::logStatus("Portrait: ", true);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "E: (QEL::cAssetMgr::loadAsset) \aIMAGE NOT FOUND: gun.png\n"  // a bell after the function name
              "W: (QEL::cEmitter::processRoot) count 3\n"                     // warnings without one
              "plain\n   Ammo ON.\n   FPS: 0\ncout\n   Portrait: 1\n");      // flags as digits
}

}  // namespace
