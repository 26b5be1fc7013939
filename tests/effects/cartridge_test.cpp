#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "effects/cCartridgeEjector.h"
#include "render/QuadSet.h"
#include "sound/cSoundManager.h"
#include "testing/effectsTestWorld.h"

using namespace QEL;

namespace {

class CartridgeTest : public effectsTest::EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        effectsTest::writeOgg("ShellsHittingFloor1");
        effectsTest::writePng("shell", 8, 8, 0xC8B428FF);
        dropSound = sounds.createSoundPool(3, "shellHitFloor", "../assets/ShellsHittingFloor1.ogg");
        ejector = std::make_unique<cCartridgeEjector>(dropSound);
        slot.unlock();
        slot.loadTexture("../assets/shell.png");
        ejector->setup(&slot, 12);
        ejector->gravityY = 0.004f;
        ejector->lastTime = 1000;
    }

    // Drop sounds played so far (the pool of three starts on a new instance at every play).
    int32_t dropSoundsPlayed() const { return dropSound->position; }

    cSoundManager sounds;
    cSoundPool* dropSound = nullptr;
    QuadSet slot{568, 320};
    std::unique_ptr<cCartridgeEjector> ejector;
};

constexpr float kDegree = 3.14159265f / 180.0f;

TEST_F(CartridgeTest, ThrowsLeaveUpwardsWithinTheirRanges) {
    for (int i = 0; i < 20; ++i) ejector->throwCartridge(300.0f, 200.0f, 0.0f, true, true);
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        const cCartridge& c = ejector->cartridge(i);
        EXPECT_TRUE(c.active);
        EXPECT_GE(c.rotation, -10.0f);
        EXPECT_LE(c.rotation, 10.0f);
        const float speed = std::hypot(c.vx, c.vy);
        EXPECT_GE(speed, 0.8f - 1e-5f);
        EXPECT_LE(speed, 1.2f + 1e-5f);
        const float direction = std::atan2(c.vy, c.vx) / kDegree;  // about 270 degrees: up the screen
        EXPECT_NEAR(std::fmod(direction + 720.0f, 360.0f), std::fmod(-c.rotation - 90.0f + 720.0f, 360.0f), 1e-2);
        EXPECT_GE(c.spin, 0.3f);
        EXPECT_LE(c.spin, 0.9f);
    }

    const cCartridge& c = ejector->cartridge(0);
    const float vy = c.vy, y = c.y;
    ejector->update(1010);
    EXPECT_FLOAT_EQ(c.vy, vy + 0.04f);                  // gravity 0.004 per ms
    EXPECT_FLOAT_EQ(c.y, y + c.vy * 10 * 0.015f * 12);  // bigger cartridges fly faster

    ejector->throwCartridge(300.0f, 200.0f, 45.0f, false, true);  // no momentum: it only drops and turns
    EXPECT_EQ(c.vx, 0.0f);
    EXPECT_EQ(c.vy, 0.0f);
    EXPECT_NEAR(c.spin, c.rotation * kDegree, 0.15f + 1e-5f);
}

TEST_F(CartridgeTest, TheTwentyFirstThrowTakesOverTheFirstCartridge) {
    EXPECT_EQ(slot.quadCount(), 20u);  // all made at set-up, parked off screen
    EXPECT_GT(ejector->cartridge(19).quad->position.x, 1.0f);
    for (int i = 0; i < 21; ++i) ejector->throwCartridge(10.0f * i, 100.0f, 0.0f, true, true);
    EXPECT_FLOAT_EQ(ejector->cartridge(0).x, 200.0f);
    EXPECT_FLOAT_EQ(ejector->cartridge(1).x, 10.0f);
    EXPECT_EQ(slot.quadCount(), 20u);
}

TEST_F(CartridgeTest, TheDropSoundPlaysWhenTheFlyingShellsDropToOneOrNone) {
    for (int i = 0; i < 3; ++i) ejector->throwCartridge(300.0f, 300.0f, 0.0f, false, false);
    EXPECT_TRUE(ejector->update(1001));  // 3 in the air
    EXPECT_TRUE(ejector->update(2001));  // all three fall out of the screen together
    EXPECT_EQ(dropSoundsPlayed(), 0);
    EXPECT_FALSE(ejector->update(2002));  // 3 → 0: one sound
    EXPECT_FALSE(ejector->update(2003));
    EXPECT_EQ(dropSoundsPlayed(), 1);

    ejector->throwCartridge(300.0f, 300.0f, 0.0f, false, false);  // falls out at once
    ejector->throwCartridge(300.0f, 20.0f, 0.0f, false, false);   // needs longer
    ejector->update(2004);
    ejector->update(2504);  // the first leaves
    ejector->update(2505);  // 2 → 1
    EXPECT_EQ(dropSoundsPlayed(), 2);
    ejector->update(4505);  // the second leaves
    ejector->update(4506);  // 1 → 0
    EXPECT_EQ(dropSoundsPlayed(), 3 % 3);  // the pool of three has come round again
    EXPECT_EQ(ejector->activeCount, 0);

    ejector->dropSoundEnabled = false;  // the weapon switched it off
    ejector->throwCartridge(300.0f, 300.0f, 0.0f, false, false);
    ejector->update(4507);
    ejector->update(6507);
    ejector->update(6508);
    EXPECT_EQ(dropSoundsPlayed(), 0);
}

TEST_F(CartridgeTest, WithoutAnImageNothingIsThrownAndTheClockIsLeftAlone) {
    ejector->reset();
    EXPECT_EQ(ejector->cartridge(0).quad, nullptr);
    ejector->lastTime = 1234;
    ejector->throwCartridge(300.0f, 200.0f, 0.0f, true, true);
    EXPECT_FALSE(ejector->cartridge(0).active);
    EXPECT_FALSE(ejector->update(5000));
    EXPECT_EQ(ejector->lastTime, 1234u);
}

}  // namespace
