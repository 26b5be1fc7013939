// Effects timings: the simulation cost of one busy frame (30 emitters with all 20 particles alive,
// and 20 flying cartridges with their batch rebuilt), without drawing. Prints the figures; no window.
#include <cstdio>
#include <memory>
#include <vector>

#include "bench/bestTime.h"
#include "effects/cCartridgeEjector.h"
#include "effects/cEmitter.h"
#include "render/QuadSet.h"

using namespace QEL;

namespace {

// Microseconds per frame of `work`, the best of five runs of `frames` frames.
template <typename Work>
double bestUsPerFrame(int frames, Work work) {
    return bench::bestMs(5, [&] {
               for (int frame = 0; frame < frames; ++frame) work();
           }) * 1000.0 / frames;
}

}  // namespace

int main() {
    constexpr int kEmitters = 30;
    std::vector<std::unique_ptr<cEmitter>> emitters;
    cParticleParams p;
    p.size = 8.0f;
    p.x = 284.0f;
    p.y = 160.0f;
    p.lifeMs = 1 << 30;
    p.friction = 0.0001f;
    p.spin = 0.2f;
    for (int i = 0; i < kEmitters; ++i) {
        emitters.push_back(std::make_unique<cEmitter>(568, 320));
        for (int k = 0; k < cEmitter::kParticleCount; ++k) emitters.back()->spawn(p);
    }
    const double emitterUs = bestUsPerFrame(2000, [&] {
        for (auto& emitter : emitters) {
            emitter->spawn(p);  // keeps every ring full and alive
            emitter->update(1);
        }
    });

    QuadSet slot(568, 320);
    slot.unlock();
    cCartridgeEjector ejector(nullptr);
    ejector.setup(&slot, 12);
    uint32_t now = 0;
    const double cartridgeUs = bestUsPerFrame(2000, [&] {
        ejector.throwCartridge(284.0f, 160.0f, 0.0f, true, true);
        ejector.update(++now);
    });

    std::printf("effects: %d emitters x %d particles: %.2f us per frame\n", kEmitters, cEmitter::kParticleCount,
                emitterUs);
    std::printf("effects: cartridge ejector (20 in flight, batch rebuilt): %.2f us per frame\n", cartridgeUs);
    return 0;
}
