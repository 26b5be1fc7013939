// The effects run every frame for hours: once set up, nothing they do per frame may allocate.
// This program replaces the global operator new to count allocations between two points. Drawing is
// left out of the count: the software GL driver under test (llvmpipe) allocates on its own.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "effects/cCartridgeEjector.h"
#include "effects/cEmitter.h"
#include "effects/overlayEffects.h"
#include "effects/teamDamage.h"
#include "render/QuadSet.h"
#include "sound/cSoundManager.h"
#include "tests/effects/effectsTestWorld.h"

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

using namespace QEL;
using effectsTest::EffectsTest;

namespace {

class EffectsAllocationTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        effectsTest::writePng("spark", 4, 4, 255, 255, 0);
    }
    // Runs `work` and returns the allocations it made.
    template <typename Work>
    static long counted(Work work) {
        const long before = allocations.load();
        work();
        return allocations.load() - before;
    }
};

TEST_F(EffectsAllocationTest, EmittersSimulateAndDrawWithoutAllocating) {
    cEmitter emitter(568, 320);
    emitter.setup("DYN_spark", "spark", 3);
    cParticleParams p;
    p.size = 10.0f;
    p.x = 100.0f;
    p.y = 100.0f;
    p.vx = 0.1f;
    p.lifeMs = 100000;
    for (int i = 0; i < 20; ++i) emitter.spawn(p);  // every quad made
    emitter.draw();

    long made = 0;
    for (int frame = 0; frame < 500; ++frame) {
        made += counted([&] {
            emitter.spawn(p);
            emitter.update(16);
        });
        emitter.draw();
    }
    EXPECT_EQ(made, 0);
}

TEST_F(EffectsAllocationTest, CartridgesFlyWithoutAllocating) {
    effectsTest::writePng("shell", 8, 8, 200, 180, 40);
    QuadSet slot(568, 320);
    slot.unlock();
    slot.loadTexture("../assets/shell.png");
    cCartridgeEjector ejector(nullptr);
    ejector.setup(&slot, 12);
    ejector.gravityY = 0.004f;

    long made = 0;
    uint32_t now = 1000;
    for (int frame = 0; frame < 500; ++frame) {
        made += counted([&] {
            if (frame % 7 == 0) ejector.throwCartridge(300.0f, 200.0f, 0.0f, true, true);
            ejector.update(now += 16);
        });
        slot.draw(kBlendAlpha);
    }
    EXPECT_EQ(made, 0);
}

TEST_F(EffectsAllocationTest, HitEffectsRunWithoutAllocatingOnceTheirSoundExists) {
    effectsTest::writeText("fx.xml", R"(<overlayHitEffects><emitters><emitter name="spark" durationMS="300" scale="8"/>
        </emitters><effects><effect id="1" name="hit"><spurt dMin="1" dMax="9" duration="500">
        <emitter name="spark" count="30"/></spurt></effect></effects></overlayHitEffects>)");
    cSoundManager sounds;
    cOverlayFXMgr fx(&sounds, nullptr, 568, 320);
    ASSERT_TRUE(fx.loadRulesFile("../assets/fx.xml"));
    int32_t damage = 0;
    fx.findEffect(1)->play(damage);  // one full run makes the ring's quads
    for (uint32_t t = 1000; t <= 1600; t += 16) {
        effectsTest::setNow(t);
        fx.update(t);
    }
    ASSERT_EQ(fx.findEmitter("spark")->getQuads()->quadCount(), 20u);

    long made = 0;
    uint32_t now = 2000;
    for (int frame = 0; frame < 500; ++frame) {
        effectsTest::setNow(now += 16);
        made += counted([&] {
            if (frame % 40 == 0) fx.findEffect(1)->play(damage);
            fx.update(now);
        });
        fx.draw();
    }
    EXPECT_EQ(made, 0);
}

TEST_F(EffectsAllocationTest, TheDamageDisplayRunsWithoutAllocating) {
    const uint8_t red[4] = {255, 0, 0, 255}, grey[4] = {128, 128, 128, 255};
    effectsTest::writeTwoTonePng("_deathGUI", 512, 512, red, grey);
    effectsTest::writePng("_helmetBodyArmor", 128, 64, 255, 255, 255);
    effectsTest::writePng("_deathGAME", 512, 256, 0, 0, 255);
    effectsTest::writePng("_shield", 512, 256, 0, 255, 255);
    cSoundManager sounds;
    teamDamage damage(&sounds);
    damage.set(2);
    damage.setDodge(true);
    damage.setDodge(false);
    damage.hit(-150);
    damage.die();
    damage.set(2);

    long made = 0;
    uint32_t now = 1000;
    for (int frame = 0; frame < 500; ++frame) {
        effectsTest::setNow(now += 16);
        made += counted([&] {
            if (frame % 50 == 0) damage.hit(-30);
            damage.update(now);
        });
        damage.draw();
    }
    EXPECT_EQ(made, 0);
}

}  // namespace
