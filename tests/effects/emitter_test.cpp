#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cmath>

#include "effects/cEmitter.h"
#include "render/QuadSet.h"
#include "tests/effects/effectsTestWorld.h"
#include "weapon/cAsset.h"

using namespace QEL;
using effectsTest::EffectsTest;

namespace {

class EmitterTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        effectsTest::writePng("spark", 4, 4, 255, 0, 0);
        emitter.setup("DYN_spark", "spark", 2);
    }

    // A still particle in the middle of the screen.
    static cParticleParams still(int32_t lifeMs) {
        cParticleParams p;
        p.size = 10.0f;
        p.x = 200.0f;
        p.y = 100.0f;
        p.lifeMs = lifeMs;
        return p;
    }

    float alpha(int i = 0) const { return emitter.particle(i).quad->colors[0].a; }

    cEmitter emitter{568, 320};
};

// Reads one <emitter> element as the overlay file gives it.
bool readEmitter(cEmitter& emitter, const std::string& xml) {
    TiXmlDocument doc;
    doc.Parse(xml.c_str());
    return emitter.processRoot(doc.RootElement());
}

TEST_F(EmitterTest, TheRingKeepsTheLastTwentySpawns) {
    for (int i = 0; i < 25; ++i) {
        cParticleParams p = still(1000);
        p.x = 10.0f * i;
        emitter.spawn(p);
    }
    for (int slot = 0; slot < 20; ++slot) {
        const int spawnNumber = slot < 5 ? slot + 20 : slot;  // spawns 20 to 24 replaced the first five
        EXPECT_TRUE(emitter.particle(slot).active);
        EXPECT_FLOAT_EQ(emitter.particle(slot).params.x, 10.0f * spawnNumber) << "slot " << slot;
    }
    EXPECT_EQ(emitter.getQuads()->quadCount(), 20u);  // quads are reused, not added per spawn
}

TEST_F(EmitterTest, ALifeOf300IsOpaqueForAThirdThenFadesOut) {
    emitter.spawn(still(300));
    emitter.update(100);
    EXPECT_FLOAT_EQ(alpha(), 1.0f);
    emitter.update(150);  // 250 ms
    EXPECT_NEAR(alpha(), 0.5f, 1e-6);
    emitter.update(150);  // 400 ms: the last moment
    EXPECT_TRUE(emitter.particle(0).active);
    EXPECT_TRUE(emitter.update(1));  // 401 ms: it dies, but was alive at the start of this step
    EXPECT_FALSE(emitter.particle(0).active);
    EXPECT_FALSE(emitter.update(10));
    EXPECT_FALSE(emitter.anyActive);
}

TEST_F(EmitterTest, FrictionStopsSlowMotionAndSlowsFastMotion) {
    cParticleParams p = still(10000);
    p.friction = 0.001f;
    p.vx = 0.05f;
    p.vy = -0.5f;
    p.spin = 0.0005f;  // below the friction: stops
    emitter.spawn(p);
    p.vx = 0.5f;
    p.vy = -0.05f;
    p.spin = -0.5f;
    emitter.spawn(p);

    emitter.update(10);
    const cParticleParams& a = emitter.particle(0).params;
    const cParticleParams& b = emitter.particle(1).params;
    EXPECT_EQ(a.vx, 0.0f);
    EXPECT_FLOAT_EQ(a.vy, -0.49f);
    EXPECT_EQ(a.spin, 0.0f);
    EXPECT_FLOAT_EQ(b.vx, 0.49f);
    EXPECT_EQ(b.vy, 0.0f);
    EXPECT_FLOAT_EQ(b.spin, -0.49f);
}

TEST_F(EmitterTest, AShrinkingParticleVanishesAboutItsCentre) {
    cParticleParams p = still(10000);
    p.sizeSpeed = -0.1f;
    emitter.spawn(p);
    for (int i = 0; i < 9; ++i) emitter.update(10);
    const cParticleParams& now = emitter.particle(0).params;
    EXPECT_TRUE(emitter.particle(0).active);
    EXPECT_NEAR(now.size, 1.0f, 1e-4);
    EXPECT_NEAR(now.x + now.size / 2, 205.0f, 1e-4);  // the centre stays put
    emitter.update(10);
    EXPECT_FALSE(emitter.particle(0).active);
    EXPECT_EQ(emitter.particle(0).params.size, 0.0f);
    EXPECT_EQ(emitter.particle(0).params.sizeSpeed, 0.0f);
}

TEST_F(EmitterTest, LaunchAnglesFollowTheEmitter) {
    ASSERT_TRUE(readEmitter(emitter, R"(<emitter name="spark" durationMS="500" scale="8" speed="0.2" angle="90"
        angleRange="0" rangeX="100" rangeY="50" rangeW="0" rangeH="0"/>)"));
    emitter.emit(5);
    for (int i = 0; i < 5; ++i) {
        const cParticleParams& p = emitter.particle(i).params;
        EXPECT_NEAR(p.vx, 0.0f, 1e-6);
        EXPECT_FLOAT_EQ(p.vy, 0.2f);
        EXPECT_FLOAT_EQ(p.x, 96.0f);  // the area's point is the particle's centre
        EXPECT_FLOAT_EQ(p.size, 8.0f);
        EXPECT_EQ(p.lifeMs, 500);
    }
    emitter.update(100);
    EXPECT_FLOAT_EQ(emitter.particle(0).params.y, 46.0f + 20.0f);  // down the screen

    ASSERT_TRUE(readEmitter(emitter, R"(<emitter name="spark" durationMS="500" scale="8" speed="0.2" angle="30"
        angleRange="20"/>)"));
    for (int i = 0; i < 20; ++i) emitter.emit(1);
    for (int i = 0; i < 20; ++i) {
        const cParticleParams& p = emitter.particle(i).params;
        const float degrees = std::atan2(p.vy, p.vx) * 180.0f / 3.14159265f;
        EXPECT_GE(degrees, 20.0f - 1e-3f);
        EXPECT_LE(degrees, 40.0f + 1e-3f);
    }
}

TEST_F(EmitterTest, AdditiveEmittersFadeColourAndAlphaOthersAlphaOnly) {
    ASSERT_TRUE(readEmitter(emitter, R"(<emitter name="spark" blend="add" durationMS="300" scale="8"/>)"));
    EXPECT_EQ(emitter.blend, 3);
    emitter.spawn(still(300));
    emitter.update(250);
    const Color& additive = emitter.particle(0).quad->colors[2];
    EXPECT_NEAR(additive.r, 0.5f, 1e-6);
    EXPECT_NEAR(additive.a, 0.5f, 1e-6);

    cEmitter plain(568, 320);
    ASSERT_TRUE(readEmitter(plain, R"(<emitter name="spark" blend="ADD" durationMS="300" scale="8"/>)"));
    EXPECT_EQ(plain.blend, 2);
    plain.spawn(still(300));
    plain.update(250);
    EXPECT_FLOAT_EQ(plain.particle(0).quad->colors[2].r, 1.0f);
    EXPECT_NEAR(plain.particle(0).quad->colors[2].a, 0.5f, 1e-6);
}

TEST_F(EmitterTest, TheEmitterElementWarnsAndTakesItsDefaults) {
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(readEmitter(emitter, R"(<emitter startAtRotZero="TRUE"/>)"));
    const std::string out = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(out,
              "W: (QEL::cEmitter::processRoot) WARNING: name not specified in <emitter> element.\n\n"
              "W: (QEL::cEmitter::processRoot) WARNING: durationMS is 0 or not specified in <emitter> element.\n\n"
              "W: (QEL::cEmitter::processRoot) WARNING: scale is 0 or not specified in <emitter> element.\n\n");
    EXPECT_FALSE(emitter.startAtRotZero);
    EXPECT_EQ(emitter.blend, 2);
    EXPECT_EQ(emitter.name, "");

    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(readEmitter(emitter, R"(<emitter name="blood" file="bloodDrop" durationMS="200" scale="1.5px"
        startAtRotZero="true" rotSpeedMin="-1" rotSpeedMax="1" gravY="0.001" friction="0.0005"/>)"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
    EXPECT_EQ(emitter.getName(), "blood");
    EXPECT_EQ(emitter.file, "bloodDrop");
    EXPECT_FLOAT_EQ(emitter.scale, 1.5f);
    EXPECT_TRUE(emitter.startAtRotZero);
    emitter.emit(1);
    EXPECT_EQ(emitter.particle(0).params.rotation, 0.0f);
    EXPECT_FLOAT_EQ(emitter.particle(0).params.gravY, 0.001f);
}

TEST_F(EmitterTest, ASpawnAreaOfNegativeSizeIsASinglePoint) {
    ASSERT_TRUE(readEmitter(emitter, R"(<emitter name="spark" durationMS="100" scale="10" rangeX="50" rangeY="60"
        rangeW="-1" rangeH="-7"/>)"));
    emitter.emit(3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(emitter.particle(i).params.x, 45.0f);
        EXPECT_FLOAT_EQ(emitter.particle(i).params.y, 55.0f);
    }
}

TEST_F(EmitterTest, SpawnRecordsFireIntoTheirOwnEmitter) {
    cSpawnRecord record;
    record.count = 3;
    cEmitter::emitFromRecord(record);  // no emitter: nothing happens

    record.emitter = &emitter;
    record.ms = 600;
    record.x = 30.0f;
    record.y = 40.0f;
    record.sc = 12.0f;
    record.sa = 0.01f;
    record.iRot = 370.0f;
    record.rMn = 0.1f;
    record.rMx = 0.2f;
    record.ang = 180.0f;
    record.sp = 0.3f;
    record.gY = 0.002f;
    cEmitter::emitFromRecord(record);
    for (int i = 0; i < 3; ++i) {
        const cParticle& particle = emitter.particle(i);
        EXPECT_TRUE(particle.active);
        EXPECT_EQ(particle.delayMs, 200);
        EXPECT_FLOAT_EQ(particle.params.size, 12.0f);
        EXPECT_FLOAT_EQ(particle.params.sizeSpeed, 0.01f);
        EXPECT_NEAR(particle.params.rotation, 10.0f, 1e-4);  // brought into [0, 360]
        EXPECT_NEAR(particle.params.vx, -0.3f, 1e-6);
        EXPECT_GE(particle.params.spin, 0.1f);
        EXPECT_LE(particle.params.spin, 0.2f);
    }
    EXPECT_FALSE(emitter.particle(3).active);
}

TEST_F(EmitterTest, LiveParticlesAreDrawnWithTheEmitterImage) {
    cParticleParams p = still(1000);
    p.x = 100.0f;
    p.y = 50.0f;
    p.size = 20.0f;
    emitter.spawn(p);
    emitter.update(1);
    const FloatCoords& at = emitter.particle(0).quad->position;
    EXPECT_FLOAT_EQ(at.x, 100.0f / 568 * 2 - 1);
    EXPECT_FLOAT_EQ(at.y, (320.0f - 50.0f) / 320 * 2 - 1);
    EXPECT_FLOAT_EQ(at.w, 20.0f / 568);

    emitter.draw();
    EXPECT_TRUE(QEL::testing::colorNear(QEL::testing::readPixel(110, 60), 255, 0, 0)) << QEL::testing::readPixel(110, 60);
    EXPECT_TRUE(QEL::testing::colorNear(QEL::testing::readPixel(130, 60), 0, 0, 0));
    EXPECT_TRUE(emitter.getQuads()->isEditable());  // ready for the next spawns
}

}  // namespace
