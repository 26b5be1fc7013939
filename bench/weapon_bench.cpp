// Timing program (not a test): one frame of the weapon's own work with every emitter of a weapon
// spawning and all 20 cartridges in flight. Prints
//   - program work: cAssetMgr::update with the picture kept (the ejector, both particle layers, the
//     damage display, the animation step and every side effect), without any GL call;
//   - whole update: cAssetMgr::update including its GL draw calls (Mesa under Xvfb, so this also
//     counts the software driver).
// Goal for the program work: under 0.1 ms per frame.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "testing/weaponWorld.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kEmitters = 6;
constexpr int kFrames = 2000;

class BenchWorld : public weaponTest::WeaponWorld {
public:
    void TestBody() override {}
    void start() {
        SetUpTestSuite();
        SetUp();
    }
    void stop() { TearDown(); }

    bool loadBenchWeapon() {
        std::string emitters = "<emitters>";
        std::string spawns;
        for (int i = 0; i < kEmitters; ++i) {
            const std::string name = "spark" + std::to_string(i);
            writeSolidPng(name, 8, 8, 255, 100, 0, true);
            emitters += "<emitter id=\"" + std::to_string(i) + "\" name=\"" + name + "\" blend=\"3\"/>";
            spawns += "<spawn e=\"" + std::to_string(i) +
                      "\" n=\"20\" x=\"300\" y=\"150\" sc=\"20\" sa=\"0.001\" ms=\"100000\" ang=\"0\" rg=\"360\" "
                      "sp=\"0.0001\" rMn=\"0.1\" rMx=\"0.2\"/>";
        }
        emitters += "</emitters>";
        const std::string frame = "<frame img=\"0\" x=\"0\" y=\"0\"><eject num=\"20\" x=\"300\" y=\"160\"/>" + spawns +
                                  "</frame>";
        const std::string body = weaponTest::standardImages() + weaponTest::shotTypes(false, false, true) + emitters +
                                 weaponTest::ammoXml(30) + "<ejectCartridge image=\"3\" scale=\"12\"/>" +
                                 "<animations><animation name=\"shot1\" frameCount=\"30000\" bg=\"1\">" + frame +
                                 "<frame img=\"0\" x=\"1\" y=\"0\"/></animation></animations>" +
                                 "<custom><gravity x=\"0\" y=\"0\"/><ejectGivesMomentum>false</ejectGivesMomentum>"
                                 "</custom>";
        return loadWeapon("bench", weaponTest::weaponXml("bench", body)) != -2;
    }

    // Everything update() does per frame with the picture kept: every layer's step and every side
    // effect, no GL call.
    void programWork(uint32_t now) {
        setClock(now);
        mgr().update(now, lastNetShot, false);
    }

    void run() {
        if (!loadBenchWeapon()) {
            std::printf("weapon_bench: the bench weapon did not load\n");
            return;
        }
        QEL::cAssetMgr& m = mgr();
        setClock(1);
        m.injectInputDown();
        frameAt(1);  // the first frame throws the 20 cartridges and spawns every emitter's particles

        uint32_t now = 2;
        const auto workStart = Clock::now();
        for (int i = 0; i < kFrames; ++i) programWork(now++);
        const double workMs = std::chrono::duration<double, std::milli>(Clock::now() - workStart).count() / kFrames;

        const auto updateStart = Clock::now();
        for (int i = 0; i < kFrames; ++i) {
            setClock(now);
            m.update(now++, lastNetShot);
        }
        const double updateMs = std::chrono::duration<double, std::milli>(Clock::now() - updateStart).count() / kFrames;

        std::printf("weapon_bench: %d emitters of 20 particles each, 20 cartridges thrown\n", kEmitters);
        std::printf("  program work per frame (update with the picture kept, no GL calls): %.4f ms (goal < 0.1 ms)\n",
                    workMs);
        std::printf("  whole cAssetMgr::update per frame incl. GL draw calls (Mesa/Xvfb):  %.4f ms\n", updateMs);
    }
};

}  // namespace

int main() {
    if (!QEL::testing::startGLContext()) {
        std::fprintf(stderr, "weapon_bench: no GL context\n");
        return 1;
    }
    BenchWorld world;
    world.start();
    world.run();
    world.stop();
    return 0;
}
