// The weapon screen: one picture in layer order. Behind the weapon: the screen cleared (unless an
// opaque background covers it), the particles when the weapon draws them at the back, the
// animation's background, the particles over it, the weapon picture. In front: the rounds, the
// cartridges, the hit effects, the particles in front, the fire-mode switch, the damage display
// and the debug light. Owns the switch's picture; borrows every other layer from cAssetMgr, which
// fires a new frame's side effects between the two halves so they show in the same picture.
#pragma once

#include <memory>

#include "stats/ScoreEvent.h"

namespace QEL {

class QuadSet;
class cAsset;
class cAnimation;
class cAnimFrame;
class cOverlayFXMgr;
class cCartridgeEjector;
class teamDamage;
class debugLight;

class weaponScreen {
public:
    // The layers drawn, all owned by the asset manager and outliving every draw.
    struct layers {
        cOverlayFXMgr& particles;
        cOverlayFXMgr& hitEffects;
        cCartridgeEjector& cartridges;
        teamDamage& damage;
        debugLight& light;
    };
    explicit weaponScreen(const layers& drawn);
    ~weaponScreen();
    weaponScreen(const weaponScreen&) = delete;
    weaponScreen& operator=(const weaponScreen&) = delete;

    // Everything up to the weapon picture of `frame` (null: no weapon picture, no background).
    void drawBehind(const cAsset& weapon, const cAnimFrame* frame);
    // Everything in front of the weapon picture; `magazineShown`: the weapon counts its rounds.
    void drawInFront(const cAsset& weapon, bool magazineShown);
    // The switch shows fire mode `mode` at the weapon's switch position; a mode that is none of
    // the three leaves it as it was (after an error line).
    void showMode(const cAsset& weapon, FireMode mode);

private:
    void clearUnlessCovered(const cAsset& weapon, const cAnimation* animation);
    void drawBackgroundOf(const cAsset& weapon, cAnimation* animation);
    void drawWeaponImage(const cAnimFrame& frame);

    layers drawn;
    std::unique_ptr<QuadSet> modeSwitch;
};

}  // namespace QEL
