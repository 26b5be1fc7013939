#include <gtest/gtest.h>

#include "effects/debugLight.h"
#include "tests/effects/effectsTestWorld.h"

using namespace QEL;
using effectsTest::EffectsTest;

namespace {

class DebugLightTest : public EffectsTest {
protected:
    debugLight light;
};

TEST_F(DebugLightTest, TheKeySwitchesItAndSaysSo) {
    ::testing::internal::CaptureStdout();
    light.toggle();
    light.toggle();
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "   Debug light on.\n   Debug light off.\n");
    EXPECT_FALSE(light.visible);
}

TEST_F(DebugLightTest, ARequestLightsItForJustOverTenMilliseconds) {
    light.request();
    light.update(1000);
    EXPECT_FALSE(light.on);  // nothing runs before the first weapon was put down
    light.reset();
    light.request();
    light.update(1000);
    EXPECT_TRUE(light.on);
    EXPECT_EQ(light.start, 1000u);
    light.update(1010);
    EXPECT_TRUE(light.on);
    light.update(1011);
    EXPECT_FALSE(light.on);
    EXPECT_FALSE(light.requested);
    EXPECT_EQ(light.elapsed, 11u);
}

TEST_F(DebugLightTest, ItIsDrawnOnlyWhileVisibleAndOn) {
    light.reset();
    light.request();
    light.update(1000);
    light.draw();
    EXPECT_TRUE(QEL::testing::colorNear(QEL::testing::readPixel(15, 15), 0, 0, 0));
    ::testing::internal::CaptureStdout();
    light.toggle();
    ::testing::internal::GetCapturedStdout();
    light.draw();
    EXPECT_TRUE(QEL::testing::colorNear(QEL::testing::readPixel(10, 10), 255, 0, 0));
    EXPECT_TRUE(QEL::testing::colorNear(QEL::testing::readPixel(19, 19), 255, 0, 0));
    EXPECT_TRUE(QEL::testing::colorNear(QEL::testing::readPixel(21, 15), 0, 0, 0));
    EXPECT_TRUE(QEL::testing::colorNear(QEL::testing::readPixel(15, 21), 0, 0, 0));
}

}  // namespace
