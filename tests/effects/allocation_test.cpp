// The effects run every frame for hours: once set up, nothing they do per frame may allocate.
// This program replaces the global operator new to count allocations. Drawing is left out of the
// count: the software GL driver under test (llvmpipe) allocates on its own.
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
#include "testing/effectsTestWorld.h"

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

namespace {

class EffectsAllocationTest : public effectsTest::EffectsTest {
protected:
    // Runs 500 frames 16 ms apart from 2000 ms: `work(frame, now)` counted, `draw()` not.
    template <typename Work, typename Draw>
    static long allocationsOver500Frames(Work work, Draw draw) {
        long made = 0;
        for (uint32_t frame = 0, now = 2000; frame < 500; ++frame, now += 16) {
            effectsTest::setNow(now);
            const long before = allocations.load();
            work(frame, now);
            made += allocations.load() - before;
            draw();
        }
        return made;
    }
};

TEST_F(EffectsAllocationTest, EmittersSimulateAndDrawWithoutAllocating) {
    effectsTest::writePng("spark", 4, 4, 0xFFFF00FF);
    cEmitter emitter(568, 320);
    emitter.setup("DYN_spark", "spark", 3);
    cParticleParams p;
    p.size = 10.0f;
    p.x = p.y = 100.0f;
    p.vx = 0.1f;
    p.lifeMs = 100000;
    for (int i = 0; i < 20; ++i) emitter.spawn(p);  // every quad made
    emitter.draw();
    auto work = [&](uint32_t, uint32_t) {
        emitter.spawn(p);
        emitter.update(16);
    };
    EXPECT_EQ(allocationsOver500Frames(work, [&] { emitter.draw(); }), 0);
}

TEST_F(EffectsAllocationTest, CartridgesFlyWithoutAllocating) {
    effectsTest::writePng("shell", 8, 8, 0xC8B428FF);
    QuadSet slot(568, 320);
    slot.unlock();
    slot.loadTexture("../assets/shell.png");
    cCartridgeEjector ejector(nullptr);
    ejector.setup(&slot, 12);
    ejector.gravityY = 0.004f;
    auto work = [&](uint32_t frame, uint32_t now) {
        if (frame % 7 == 0) ejector.throwCartridge(300.0f, 200.0f, 0.0f, true, true);
        ejector.update(now);
    };
    EXPECT_EQ(allocationsOver500Frames(work, [&] { slot.draw(kBlendAlpha); }), 0);
}

TEST_F(EffectsAllocationTest, HitEffectsRunWithoutAllocatingOnceTheirSoundExists) {
    effectsTest::writePng("spark", 4, 4, 0xFFFF00FF);
    effectsTest::writeText("fx.xml", R"(<overlayHitEffects><emitters><emitter name="spark" durationMS="300" scale="8"/>
        </emitters><effects><effect id="1" name="hit"><spurt dMin="1" dMax="9" duration="500">
        <emitter name="spark" count="30"/></spurt></effect></effects></overlayHitEffects>)");
    cSoundManager sounds;
    cOverlayFXMgr fx(&sounds, 568, 320);
    ASSERT_TRUE(fx.loadRulesFile("../assets/fx.xml"));
    int32_t damage = 0;
    fx.findEffect(1)->play(damage);  // one full run makes the ring's quads
    for (uint32_t t = 1000; t <= 1600; t += 16) {
        effectsTest::setNow(t);
        fx.update(t);
    }
    ASSERT_EQ(fx.findEmitter("spark")->getQuads()->quadCount(), 20u);
    auto work = [&](uint32_t frame, uint32_t now) {
        if (frame % 40 == 0) fx.findEffect(1)->play(damage);
        fx.update(now);
    };
    EXPECT_EQ(allocationsOver500Frames(work, [&] { fx.draw(); }), 0);
}

TEST_F(EffectsAllocationTest, TheDamageDisplayRunsWithoutAllocating) {
    effectsTest::writePng("_deathGUI", 512, 512, 0xFF0000FF, 0x808080FF);
    effectsTest::writePng("_helmetBodyArmor", 128, 64, 0xFFFFFFFF);
    effectsTest::writePng("_deathGAME", 512, 256, 0x0000FFFF);
    effectsTest::writePng("_shield", 512, 256, 0x00FFFFFF);
    cSoundManager sounds;
    teamDamage damage(&sounds);
    damage.set(2);  // every picture and sound once: shield, death, revival
    damage.setDodge(true);
    damage.setDodge(false);
    damage.hit(-150);
    damage.die();
    damage.set(2);
    auto work = [&](uint32_t frame, uint32_t now) {
        if (frame % 50 == 0) damage.hit(-30);
        damage.update(now);
    };
    EXPECT_EQ(allocationsOver500Frames(work, [&] { damage.draw(); }), 0);
}

}  // namespace
