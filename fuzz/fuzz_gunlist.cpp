// The weapon catalogue (gunList.txt) as main reads it, then looked up as the keys do: each digit
// and letter names a weapon that is checked, each s-entry is a simulated shot number that goes
// through the team rule of every multiplayer mode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/dataFileReader.h"
#include "fuzz/fuzzWorld.h"
#include "net/shotMessage.h"
#include "weapon/weaponTest.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    kablixFuzz::setUpWorld({});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    kablixFuzz::writeBytes(kablixFuzz::playDir() + "/gunList.txt", data, size);
    QEL::dataFileReader catalogue("gunList.txt");
    const std::string keys = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (char key : keys) {
        const std::string weapon = catalogue.getValue(std::string(1, key));
        if (!weapon.empty()) QEL::testWeapon(weapon);
        const std::string shot = catalogue.getValue("s" + std::string(1, key));
        if (shot.empty()) continue;
        for (int32_t mode = 0; mode <= 4; ++mode) {
            int32_t hit = 0;
            QEL::shotHitsPlayer(std::atoi(shot.c_str()), mode, hit);
        }
    }
    QEL::releaseLastTestedDocument();
    return 0;
}
