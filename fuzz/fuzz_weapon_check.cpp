// Weapon files through the check that runs before every load (weaponTest): parsing, the root
// attributes, every image and sound the file names, the display flags. The demo pack's pictures
// and sounds are in the assets folder, so files that name them get past the existence checks.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzzWorld.h"
#include "weapon/weaponTest.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kablixFuzz::setUpWorld({});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kablixFuzz::writeBytes(kablixFuzz::assetsDir() + "/fuzzWeapon.xml", data, size);
    QEL::testWeapon("fuzzWeapon");
    QEL::releaseLastTestedDocument();
    return 0;
}
