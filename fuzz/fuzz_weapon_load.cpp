// Weapon files through the whole road into the hand: the check, then the reader into a fresh
// asset manager (images into texture slots, sounds into pools, emitters, ammunition, animations,
// custom settings), then a short session: frames, trigger held and released, a mode switch, a
// reload, a hit, and the audio mixed, before the manager puts the weapon down again.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzzWorld.h"
#include "weapon/cAssetMgr.h"
#include "weapon/weaponTest.h"

namespace {

void frames(QEL::cAssetMgr& manager, int count) {
    int32_t netShot = -1;
    for (int i = 0; i < count; ++i) {
        kablixFuzz::setClock(kablixFuzz::clock() + 34);
        manager.update(kablixFuzz::clock(), netShot);
    }
    kablixFuzz::mix(1024);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kablixFuzz::setUpWorld({/*copyPack=*/true, /*glContext=*/true, /*soundManager=*/true});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kablixFuzz::writeBytes(kablixFuzz::assetsDir() + "/fuzzWeapon.xml", data, size);
    kablixFuzz::setClock(1000);
    {
        QEL::cAssetMgr manager(kablixFuzz::sounds());
        if (QEL::testWeapon("fuzzWeapon") && manager.loadAsset() != -2) {
            frames(manager, 3);
            manager.injectInputDown();
            frames(manager, 8);
            manager.injectInputUp();
            manager.toggleAssetMode();
            manager.tapInput();
            frames(manager, 4);
            manager.requestReload();
            frames(manager, 4);
            manager.receiveHit(1);
            frames(manager, 2);
        }
    }
    QEL::releaseLastTestedDocument();
    kablixFuzz::mix(64);
    return 0;
}
