#include "app/appTime.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

TEST(AppTime, StartsNearZeroAndNeverGoesBack) {
    uint32_t first = QEL::appTimeMs();
    EXPECT_LT(first, 1000u);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    uint32_t second = QEL::appTimeMs();
    EXPECT_GE(second, first + 15);
}

uint32_t fixedClock() { return 4242; }

TEST(AppTime, TestSourceReplacesTheClockUntilCleared) {
    QEL::setAppTimeSourceForTesting(fixedClock);
    EXPECT_EQ(QEL::appTimeMs(), 4242u);
    QEL::setAppTimeSourceForTesting(nullptr);
    EXPECT_LT(QEL::appTimeMs(), 100000u);
}

}  // namespace
