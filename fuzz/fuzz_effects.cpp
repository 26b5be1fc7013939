// The hit-effects file (EFFECTS.xml) as the asset manager reads it when it is built, then every
// effect id a file is likely to use played as a received hit, with frames and audio after each.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzzWorld.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponTest.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kablixFuzz::setUpWorld({/*copyPack=*/true, /*glContext=*/true, /*soundManager=*/true});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kablixFuzz::writeBytes(kablixFuzz::assetsDir() + "/EFFECTS.xml", data, size);
    kablixFuzz::setClock(1000);
    {
        QEL::cAssetMgr manager(kablixFuzz::sounds());
        int32_t netShot = -1;
        for (int32_t id : {-1, 0, 1, 2, 3, 5, 9, 10, 99}) {
            manager.receiveHit(id);
            for (int i = 0; i < 3; ++i) {
                kablixFuzz::setClock(kablixFuzz::clock() + 50);
                manager.update(kablixFuzz::clock(), netShot);
            }
            kablixFuzz::mix(512);
        }
    }
    QEL::releaseLastTestedDocument();
    kablixFuzz::mix(64);
    return 0;
}
