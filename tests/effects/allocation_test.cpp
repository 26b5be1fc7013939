// The effects run every frame for hours: once set up, nothing they do per frame may allocate.
// This program replaces the global operator new to count. Drawing is not counted: the software GL
// driver under test allocates on its own.
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
using namespace effectsTest;

class Allocations : public EffectsTest {};

// Particles, cartridges, a hit effect and the damage display through 500 frames after a first
// round made every quad, sound and picture.
TEST_F(Allocations, NoneAfterSetUp) {
    writePicture("spark", 4, 4, 0xFFFF00FF, 0xFFFF00FF);
    for (const char* name : {"_deathGUI", "_helmetBodyArmor", "_deathGAME", "_shield"})
        writePicture(name, 512, 512, 0xFF0000FF, 0x808080FF);
    writeText("fx.xml", R"(<overlayHitEffects><emitters><emitter name="spark" durationMS="300" scale="8"/>
        </emitters><effects><effect id="1" name="hit"><spurt dMin="1" dMax="9" duration="500">
        <emitter name="spark" count="30"/></spurt></effect></effects></overlayHitEffects>)");
    cSoundManager sounds;
    cOverlayFXMgr fx(&sounds, 568, 320);
    ASSERT_TRUE(fx.loadRulesFile("../assets/fx.xml"));
    QuadSet shells(568, 320);
    shells.unlock();
    shells.loadTexture("../assets/spark.png");
    cCartridgeEjector ejector(nullptr);
    ejector.setup(&shells, 12);
    ejector.gravityY = 0.004f;
    teamDamage damage(&sounds);
    damage.set(2);
    damage.setDodge(true);
    damage.setDodge(false);
    damage.hit(-150);
    damage.die();
    damage.set(2);
    int32_t dealt = 0;
    long made = 0;
    for (uint32_t frame = 0, now = 1000; frame < 600; ++frame, now += 16) {
        setNow(now);
        const long before = allocations.load();
        if (frame % 40 == 0) fx.findEffect(1)->play(dealt);
        if (frame % 7 == 0) ejector.throwCartridge(300.0f, 200.0f, 0.0f, true, true);
        if (frame % 50 == 0) damage.hit(-30);
        fx.update(now);
        ejector.update(now);
        damage.update(now);
        if (frame >= 100) made += allocations.load() - before;  // the first round makes the quads
        fx.draw();
        shells.draw(kBlendAlpha);
        damage.draw();
    }
    EXPECT_EQ(made, 0);
}
