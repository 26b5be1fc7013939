// damage.txt as the damage display reads it at every mode change, then hits, a death, digging out
// and the regeneration frames in each team mode.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzzWorld.h"
#include "effects/teamDamage.h"

namespace {
QEL::teamDamage* damage = nullptr;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kablixFuzz::setUpWorld({/*copyPack=*/true, /*glContext=*/true, /*soundManager=*/true});
    damage = new QEL::teamDamage(kablixFuzz::sounds());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kablixFuzz::writeBytes(kablixFuzz::assetsDir() + "/damage.txt", data, size);
    for (int32_t mode : {2, 0, 4}) {
        kablixFuzz::setClock(kablixFuzz::clock() + 100);
        damage->set(mode);
        damage->hit(-30);
        damage->update(kablixFuzz::clock());
        damage->hit(-100000);
        for (int i = 0; i < 15; ++i) {
            kablixFuzz::setClock(kablixFuzz::clock() + 40);
            damage->digPress();
            damage->armDig();
            damage->update(kablixFuzz::clock());
        }
        damage->draw();
    }
    kablixFuzz::mix(256);
    return 0;
}
