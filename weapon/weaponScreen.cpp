#include "weapon/weaponScreen.h"

#include <GL/gl.h>

#include "base/assetPath.h"
#include "base/log.h"
#include "effects/cCartridgeEjector.h"
#include "effects/debugLight.h"
#include "effects/overlayEffects.h"
#include "effects/teamDamage.h"
#include "render/QuadSet.h"
#include "render/screen.h"
#include "weapon/cAsset.h"

namespace QEL {

namespace {

// Weapon pictures are drawn 600 × 400 pixels; the background covers the 568 × 320 screen.
constexpr float kWeaponImageWidth = 600.0f;
constexpr float kWeaponImageHeight = 400.0f;

}  // namespace

weaponScreen::weaponScreen(const layers& drawn)
    : drawn(drawn), modeSwitch(std::make_unique<QuadSet>(kScreenWidth, kScreenHeight)) {
    modeSwitch->unlock();
}

weaponScreen::~weaponScreen() = default;

void weaponScreen::drawBehind(const cAsset& weapon, const cAnimFrame* frame) {
    cAnimation* animation = frame ? frame->animation : nullptr;
    clearUnlessCovered(weapon, animation);
    if (weapon.drawOrder == kParticlesBack) drawn.particles.draw();
    if (weapon.drawBackground) drawBackgroundOf(weapon, animation);
    if (weapon.drawOrder == kParticlesOverBackground) drawn.particles.draw();
    if (frame) drawWeaponImage(*frame);
}

void weaponScreen::drawInFront(const cAsset& weapon, bool magazineShown) {
    if (magazineShown && weapon.ammoImage) weapon.ammoImage->draw(BlendMode::alpha);
    if (drawn.cartridges.image) drawn.cartridges.image->draw(BlendMode::alpha);
    drawn.hitEffects.draw();
    if (weapon.drawOrder == kParticlesFront) drawn.particles.draw();
    modeSwitch->draw(BlendMode::alpha);
    drawn.damage.draw();
    drawn.light.draw();
}

// Nothing is drawn with depth, so only the colour is ever cleared; an opaque, textured background
// writes every pixel of the screen, so then not even that.
void weaponScreen::clearUnlessCovered(const cAsset& weapon, const cAnimation* animation) {
    const QuadSet* background = animation ? animation->background : nullptr;
    const bool covered = weapon.drawBackground && weapon.backgroundBlend == BlendMode::opaque && background &&
                         background->getHasTexture() && background->quadCount() > 0 && viewportIsScreen();
    if (!covered) clearScreen();
}

void weaponScreen::drawBackgroundOf(const cAsset& weapon, cAnimation* animation) {
    if (!animation || !animation->background) return;
    QuadSet* background = animation->background;
    if (background->getHasTexture()) {
        background->unlock();
        if (Quad* quad = background->getQuad(0)) {
            // The slot may also serve as a frame image, which moves its quad: place it every time.
            quad->position = FloatCoords(-1.0f, 1.0f, 1.0f, 1.0f);
            quad->angle = 0.0f;
            quad->setTextureRect(FloatCoords(0, 0, static_cast<float>(kScreenWidth), static_cast<float>(kScreenHeight)));
        }
        background->rebuild();
        background->drawPixelAligned(weapon.backgroundBlend);
        return;
    }
    background->draw(weapon.backgroundBlend);
}

void weaponScreen::drawWeaponImage(const cAnimFrame& frame) {
    QuadSet* image = frame.image;
    if (!image) return;
    image->unlock();
    Quad* quad = image->getQuad(0);
    // A slot whose picture could not be loaded holds no quad: nothing to show.
    if (!quad) return;
    quad->position = FloatCoords(pixelToDeviceX(frame.x), pixelToDeviceY(frame.y),
                                 widthFraction(kWeaponImageWidth), heightFraction(kWeaponImageHeight));
    quad->angle = frame.rot;
    image->rebuild();
    image->draw(frame.blendMode);
}

void weaponScreen::showMode(const cAsset& weapon, FireMode mode) {
    modeSwitch->unlock();
    if (mode != kFireModeSingle && mode != kFireModeBurst && mode != kFireModeAuto) {
        logError("QEL::cAssetMgr::toggleAssetMode", "[cAssetMgr] invalid fire mode for: ", weapon.name);
        return;
    }
    if (!modeSwitch->getHasTexture()) modeSwitch->loadTexture(assetPath("_switchModeButton", "png"));
    Quad* quad = modeSwitch->getQuad(0);
    if (!quad) quad = modeSwitch->addQuad();
    if (quad) {
        // One 64 × 64 column per mode: single, burst, auto.
        quad->setTextureRect(FloatCoords(static_cast<float>(mode * 64), 0, 64, 64));
        quad->position = FloatCoords(pixelToDeviceX(static_cast<float>(weapon.switchPosX)),
                                     pixelToDeviceY(static_cast<float>(weapon.switchPosY)),
                                     widthFraction(64), heightFraction(64));
        quad->angle = weapon.landscapeMode ? 0.0f : 90.0f;
    }
    modeSwitch->rebuild();
    glGetError();
}

}  // namespace QEL
