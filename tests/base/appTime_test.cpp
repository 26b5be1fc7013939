#include "base/appTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

uint32_t fixedClock() { return 4242; }

TEST(AppTime, StartsNearZeroMovesOnAndCanBeReplacedForTests) {
    const uint32_t first = QEL::appTimeMs();
    EXPECT_LT(first, 1000u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_GE(QEL::appTimeMs(), first + 15);

    QEL::setAppTimeSourceForTesting(fixedClock);
    EXPECT_EQ(QEL::appTimeMs(), 4242u);
    QEL::setAppTimeSourceForTesting(nullptr);
    EXPECT_LT(QEL::appTimeMs(), 100000u);
}

}  // namespace
