// The one place where the hit effects reach into the weapon: a spurt's weapon-change command loads
// the weapon that testWeapon has just checked into the asset manager that owns these effects.
#include "effects/overlayEffects.h"
#include "weapon/cAssetMgr.h"

namespace QEL {

void cOverlayFXMgr::loadCheckedWeapon() {
    if (assetMgr) assetMgr->loadAsset();
}

}  // namespace QEL
