#include <gtest/gtest.h>

#include "effects/debugLight.h"
#include "testing/effectsTestWorld.h"

using namespace QEL;
using QEL::testing::colorNear;
using QEL::testing::readPixel;

namespace {

class DebugLightTest : public effectsTest::EffectsTest {
protected:
    debugLight light;
};

TEST_F(DebugLightTest, TheKeySwitchesItAndSaysSo) {
    const std::string said = effectsTest::stdoutOf([&] { light.toggle(); light.toggle(); });
    EXPECT_EQ(said, "   Debug light on.\n   Debug light off.\n");
    EXPECT_FALSE(light.visible);
}

TEST_F(DebugLightTest, ARequestLightsItForJustOverTenMillisecondsAndOnlyAVisibleOneIsDrawn) {
    light.request();
    light.update(1000);
    EXPECT_FALSE(light.on);  // nothing runs before the first weapon was put down
    light.reset();
    light.request();
    light.update(1000);
    ASSERT_TRUE(light.on);
    light.draw();
    EXPECT_TRUE(colorNear(readPixel(15, 15), 0, 0, 0));  // switched off by the key
    effectsTest::stdoutOf([&] { light.toggle(); });
    light.draw();
    EXPECT_TRUE(colorNear(readPixel(10, 10), 255, 0, 0));
    EXPECT_TRUE(colorNear(readPixel(19, 19), 255, 0, 0));
    EXPECT_TRUE(colorNear(readPixel(21, 15), 0, 0, 0));
    EXPECT_TRUE(colorNear(readPixel(15, 21), 0, 0, 0));

    light.update(1010);
    EXPECT_TRUE(light.on);
    light.update(1011);
    EXPECT_FALSE(light.on);
    EXPECT_FALSE(light.requested);
}

}  // namespace
