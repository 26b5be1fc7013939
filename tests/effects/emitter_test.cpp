#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cmath>

#include "effects/cEmitter.h"
#include "render/QuadSet.h"
#include "testing/effectsTestWorld.h"
#include "weapon/cAsset.h"

using namespace QEL;

namespace {

class EmitterTest : public effectsTest::EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        effectsTest::writePng("spark", 4, 4, 0xFF0000FF);
        emitter.setup("DYN_spark", "spark", 2);
    }

    // A still particle of size 10 at (200, 100).
    static cParticleParams still(int32_t lifeMs) {
        cParticleParams p;
        p.size = 10.0f;
        p.x = 200.0f;
        p.y = 100.0f;
        p.lifeMs = lifeMs;
        return p;
    }
    // Reads one <emitter> element as the overlay file gives it.
    static bool read(cEmitter& into, const std::string& xml) {
        TiXmlDocument doc;
        doc.Parse(xml.c_str());
        return into.processRoot(doc.RootElement());
    }
    const cParticleParams& params(int i) const { return emitter.particle(i).params; }

    cEmitter emitter{568, 320};
};

TEST_F(EmitterTest, TheRingKeepsTheLastTwentySpawnsInItsTwentyQuads) {
    for (int i = 0; i < 25; ++i) {
        cParticleParams p = still(1000);
        p.x = 10.0f * i;
        emitter.spawn(p);
    }
    for (int slot = 0; slot < 20; ++slot) {
        const int spawnNumber = slot < 5 ? slot + 20 : slot;  // spawns 20 to 24 replaced the first five
        EXPECT_FLOAT_EQ(params(slot).x, 10.0f * spawnNumber) << "slot " << slot;
    }
    EXPECT_EQ(emitter.getQuads()->quadCount(), 20u);
}

TEST_F(EmitterTest, ALifeOf300IsOpaqueForAThirdThenFadesOut) {
    emitter.spawn(still(300));
    const float& alpha = emitter.particle(0).quad->colors[0].a;
    emitter.update(100);
    EXPECT_FLOAT_EQ(alpha, 1.0f);
    emitter.update(150);  // 250 ms
    EXPECT_NEAR(alpha, 0.5f, 1e-6);
    emitter.update(150);  // 400 ms: the last moment
    EXPECT_TRUE(emitter.particle(0).active);
    EXPECT_TRUE(emitter.update(1));  // 401 ms: it dies, but was alive at the start of this step
    EXPECT_FALSE(emitter.particle(0).active);
    EXPECT_FALSE(emitter.update(10));
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
    EXPECT_EQ(params(0).vx, 0.0f);
    EXPECT_FLOAT_EQ(params(0).vy, -0.49f);
    EXPECT_EQ(params(0).spin, 0.0f);
    EXPECT_FLOAT_EQ(params(1).vx, 0.49f);
    EXPECT_EQ(params(1).vy, 0.0f);
    EXPECT_FLOAT_EQ(params(1).spin, -0.49f);
}

TEST_F(EmitterTest, AShrinkingParticleVanishesAboutItsCentre) {
    cParticleParams p = still(10000);
    p.sizeSpeed = -0.1f;
    emitter.spawn(p);
    for (int i = 0; i < 9; ++i) emitter.update(10);
    EXPECT_NEAR(params(0).size, 1.0f, 1e-4);
    EXPECT_NEAR(params(0).x + params(0).size / 2, 205.0f, 1e-4);  // the centre stays put
    emitter.update(10);
    EXPECT_FALSE(emitter.particle(0).active);
    EXPECT_EQ(params(0).size, 0.0f);
    EXPECT_EQ(params(0).sizeSpeed, 0.0f);
}

TEST_F(EmitterTest, LaunchAnglesAndTheSpawnAreaFollowTheEmitter) {
    ASSERT_TRUE(read(emitter, R"(<emitter name="spark" durationMS="500" scale="8" speed="0.2" angle="90"
        angleRange="0" rangeX="100" rangeY="50" rangeW="0" rangeH="0"/>)"));
    emitter.emit(5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_NEAR(params(i).vx, 0.0f, 1e-6);
        EXPECT_FLOAT_EQ(params(i).vy, 0.2f);
        EXPECT_FLOAT_EQ(params(i).x, 96.0f);  // the area's point is the particle's centre
    }
    emitter.update(100);
    EXPECT_FLOAT_EQ(params(0).y, 46.0f + 20.0f);  // down the screen

    ASSERT_TRUE(read(emitter, R"(<emitter name="spark" durationMS="500" scale="8" speed="0.2" angle="30"
        angleRange="20"/>)"));
    for (int i = 0; i < 20; ++i) emitter.emit(1);
    for (int i = 0; i < 20; ++i) {
        const float degrees = std::atan2(params(i).vy, params(i).vx) * 180.0f / 3.14159265f;
        EXPECT_GE(degrees, 20.0f - 1e-3f);
        EXPECT_LE(degrees, 40.0f + 1e-3f);
    }

    // An area of negative size is a single point, never a division by zero.
    cEmitter point(568, 320);
    ASSERT_TRUE(read(point, R"(<emitter name="spark" durationMS="100" scale="10" rangeX="50" rangeY="60"
        rangeW="-1" rangeH="-7"/>)"));
    point.emit(3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_FLOAT_EQ(point.particle(i).params.x, 45.0f);
        EXPECT_FLOAT_EQ(point.particle(i).params.y, 55.0f);
    }
}

TEST_F(EmitterTest, AdditiveEmittersFadeColourAndAlphaOthersAlphaOnly) {
    cEmitter plain(568, 320);
    ASSERT_TRUE(read(emitter, R"(<emitter name="spark" blend="add" durationMS="300" scale="8"/>)"));
    ASSERT_TRUE(read(plain, R"(<emitter name="spark" blend="ADD" durationMS="300" scale="8"/>)"));
    EXPECT_EQ(emitter.blend, 3);
    EXPECT_EQ(plain.blend, 2);
    for (cEmitter* e : {&emitter, &plain}) {
        e->spawn(still(300));
        e->update(250);
    }
    EXPECT_NEAR(emitter.particle(0).quad->colors[2].r, 0.5f, 1e-6);
    EXPECT_NEAR(emitter.particle(0).quad->colors[2].a, 0.5f, 1e-6);
    EXPECT_FLOAT_EQ(plain.particle(0).quad->colors[2].r, 1.0f);
    EXPECT_NEAR(plain.particle(0).quad->colors[2].a, 0.5f, 1e-6);
}

TEST_F(EmitterTest, TheEmitterElementWarnsAndTakesItsDefaults) {
    const std::string warnings =
        effectsTest::stdoutOf([&] { ASSERT_TRUE(read(emitter, R"(<emitter startAtRotZero="TRUE"/>)")); });
    EXPECT_EQ(warnings,
              "W: (QEL::cEmitter::processRoot) WARNING: name not specified in <emitter> element.\n\n"
              "W: (QEL::cEmitter::processRoot) WARNING: durationMS is 0 or not specified in <emitter> element.\n\n"
              "W: (QEL::cEmitter::processRoot) WARNING: scale is 0 or not specified in <emitter> element.\n\n");
    EXPECT_FALSE(emitter.startAtRotZero);
    EXPECT_EQ(emitter.blend, 2);

    const std::string quiet = effectsTest::stdoutOf([&] {
        ASSERT_TRUE(read(emitter, R"(<emitter name="blood" file="bloodDrop" durationMS="200" scale="1.5px"
            startAtRotZero="true" rotSpeedMin="-1" rotSpeedMax="1" gravY="0.001"/>)"));
    });
    EXPECT_EQ(quiet, "");
    EXPECT_EQ(emitter.getName(), "blood");
    EXPECT_EQ(emitter.file, "bloodDrop");
    EXPECT_FLOAT_EQ(emitter.scale, 1.5f);
    emitter.emit(1);
    EXPECT_EQ(params(0).rotation, 0.0f);
    EXPECT_FLOAT_EQ(params(0).gravY, 0.001f);
}

TEST_F(EmitterTest, SpawnRecordsFireIntoTheirOwnEmitter) {
    cSpawnRecord record;
    record.count = 3;
    cEmitter::emitFromRecord(record);  // no emitter: nothing happens

    record.emitter = &emitter;
    record.ms = 600;
    record.sc = 12.0f;
    record.iRot = 370.0f;
    record.rMn = 0.1f;
    record.rMx = 0.2f;
    record.ang = 180.0f;
    record.sp = 0.3f;
    cEmitter::emitFromRecord(record);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(emitter.particle(i).delayMs, 200);
        EXPECT_FLOAT_EQ(params(i).size, 12.0f);
        EXPECT_NEAR(params(i).rotation, 10.0f, 1e-4);  // brought into [0, 360]
        EXPECT_NEAR(params(i).vx, -0.3f, 1e-6);
        EXPECT_GE(params(i).spin, 0.1f);
        EXPECT_LE(params(i).spin, 0.2f);
    }
    EXPECT_FALSE(emitter.particle(3).active);
}

}  // namespace
