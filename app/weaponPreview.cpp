#include "app/weaponPreview.h"

#include "app/cApp.h"
#include "app/liveReload.h"
#include "app/mainLoop.h"
#include "base/appTime.h"
#include "render/Image.h"
#include "render/screen.h"
#include "weapon/cAsset.h"
#include "weapon/cAssetMgr.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <thread>

namespace QEL {

namespace {

constexpr int32_t kPointSize = 10;
constexpr int32_t kMargin = 4;     // pixels between the panel and the window's edges
constexpr float kCrossArm = 5.0f;  // pixels from a mark's centre to the end of each arm
const Color kEjectMark(1.0f, 1.0f, 0.0f, 1.0f);
const Color kSpawnMark(0.0f, 1.0f, 1.0f, 1.0f);

// The weapon's image slot that `image` is, by number; "none" for the stand-in slot that any other
// number gives.
std::string imageSlotName(cAssetMgr& weapon, const QuadSet* image) {
    for (int32_t i = 0; i < kImageSlotCount; ++i) {
        if (weapon.imageSlot(i) == image) return std::to_string(i);
    }
    return "none";
}

std::string soundSlotName(const cAssetMgr& weapon, const cSoundSlot* sound) {
    for (int32_t i = 0; sound && i < kSoundSlotCount; ++i) {
        if (weapon.soundSlot(i) == sound) return std::to_string(i);
    }
    return "none";
}

// `index` moved `by` (-1 or 1) places round a ring of `count`.
size_t wrapped(size_t index, int32_t by, size_t count) {
    if (count == 0) return 0;
    const auto ring = static_cast<int64_t>(count);
    return static_cast<size_t>((static_cast<int64_t>(index) + by % ring + ring) % ring);
}

// Two one-pixel bars crossing at screen pixel (x, y).
void addCross(QuadSet& marks, float x, float y, const Color& color) {
    const float bars[2][4] = {{x - kCrossArm, y, 2 * kCrossArm + 1, 1}, {x, y - kCrossArm, 1, 2 * kCrossArm + 1}};
    for (const auto& bar : bars) {
        Quad* quad = marks.addQuad();
        if (!quad) return;
        quad->setAllColors(color);
        quad->position = FloatCoords(pixelToDeviceX(bar[0]), pixelToDeviceY(bar[1]), widthFraction(bar[2]),
                                     heightFraction(bar[3]));
    }
}

}  // namespace

weaponPreview::weaponPreview(cApp& app, std::string animation)
    : app(app), animationName(std::move(animation)), font(TextFont::open(kPointSize)), panel(font.get()),
      marks(kScreenWidth, kScreenHeight), watch(std::make_unique<liveReload>(*app.assetManager())) {
    app.assetManager()->setPreviewing();
    marks.unlock();
    marks.rebuild();
}

weaponPreview::~weaponPreview() = default;

void weaponPreview::run() {
    reloaded();
    while (!quit) {
        const Clock::time_point turnStart = Clock::now();
        if (handleWaitingEvents([this](const SDL_Event& event) { handleEvent(event); })) redrawNeeded = true;
        reloadChangedWeapon();
        if (playing) playTurn(turnStart);
        if (app.runFrame(redrawNeeded || screenshotRequested)) presentPicture();
        if (!quit) std::this_thread::sleep_until(turnStart + kRefresh);
    }
}

void weaponPreview::reloadChangedWeapon() {
    const std::string name = watch->weaponToReload(appTimeMs());
    if (name.empty()) return;
    // A refused save leaves the weapon and its frame as they were; a failed load leaves none.
    if (app.takeWeapon(name, kNoFireMode, true) != cApp::WeaponLoad::refused) reloaded();
    redrawNeeded = true;
}

void weaponPreview::reloaded() {
    if (const cAsset* weapon = app.assetManager()->weapon()) findAnimation(*weapon);
    show();
}

void weaponPreview::findAnimation(const cAsset& weapon) {
    const std::vector<cAnimation*>& animations = weapon.animations;
    auto named = std::find_if(animations.begin(), animations.end(),
                              [this](const cAnimation* each) { return each->name == animationName; });
    if (named == animations.end() && !animations.empty()) {
        if (!animationName.empty())
            std::fprintf(stderr, "kablix: %s has no animation \"%s\"; showing \"%s\"\n", weapon.name.c_str(),
                         animationName.c_str(), animations.front()->name.c_str());
        named = animations.begin();
    }
    animationIndex = static_cast<size_t>(named - animations.begin());
    if (const cAnimation* shown = animation()) {
        animationName = shown->name;
        frame = std::min(frame, shown->frames.empty() ? 0 : shown->frames.size() - 1);
    }
}

void weaponPreview::handleEvent(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN: onKey(event.key.keysym.sym); break;
    case SDL_VIDEORESIZE: app.setViewport(event.resize.w, event.resize.h); break;
    case SDL_QUIT: quit = true; break;
    default: break;
    }
}

// Stepping stops playing: a step is made to look at one frame.
void weaponPreview::onKey(SDLKey key) {
    switch (key) {
    case SDLK_RIGHT:
    case SDLK_LEFT:
        playing = false;
        stepFrame(key == SDLK_RIGHT ? 1 : -1);
        break;
    case SDLK_UP: stepAnimation(-1); break;
    case SDLK_DOWN: stepAnimation(1); break;
    case SDLK_SPACE: togglePlaying(); break;
    case SDLK_LEFTBRACKET: setSpeed(halvings + 1); break;
    case SDLK_RIGHTBRACKET: setSpeed(halvings - 1); break;
    case SDLK_F1: screenshotRequested = true; break;
    case SDLK_ESCAPE: quit = true; break;
    default: break;
    }
}

const cAnimation* weaponPreview::animation() const {
    const cAsset* weapon = app.assetManager()->weapon();
    if (!weapon || animationIndex >= weapon->animations.size()) return nullptr;
    return weapon->animations[animationIndex];
}

void weaponPreview::stepFrame(int32_t by) {
    const cAnimation* shown = animation();
    if (!shown || shown->frames.empty()) return;
    frame = wrapped(frame, by, shown->frames.size());
    show();
}

void weaponPreview::stepAnimation(int32_t by) {
    const cAsset* weapon = app.assetManager()->weapon();
    if (!weapon || weapon->animations.empty()) return;
    animationIndex = wrapped(animationIndex, by, weapon->animations.size());
    animationName = weapon->animations[animationIndex]->name;
    frame = 0;
    show();
}

void weaponPreview::togglePlaying() {
    playing = !playing;
    nextStepAt = Clock::now() + framePeriod();
    updatePanel();
}

void weaponPreview::setSpeed(int32_t wanted) {
    halvings = std::clamp(wanted, 0, kSlowest);
    updatePanel();
}

std::chrono::microseconds weaponPreview::framePeriod() const { return kFramePeriod * (1 << halvings); }

// A turn shows at most one frame (a frame lasts two refreshes at full speed); after a stall the
// count starts again from now instead of racing through the frames missed.
void weaponPreview::playTurn(Clock::time_point now) {
    if (now < nextStepAt) return;
    const auto period = framePeriod();
    nextStepAt += period;
    if (nextStepAt < now) nextStepAt = now + period;
    stepFrame(1);
}

void weaponPreview::show() {
    const cAnimation* shown = animation();
    if (shown) {
        app.assetManager()->previewFrame(animationIndex, frame);
        std::cout << "preview: " << shown->name << ' ' << (shown->frames.empty() ? 0 : frame + 1) << '/'
                  << shown->frames.size() << std::endl;
    }
    updatePanel();
    placeMarks();
}

void weaponPreview::updatePanel() {
    cAssetMgr& weapon = *app.assetManager();
    const cAnimation* shown = animation();
    std::string text;
    if (!weapon.weapon()) {
        text = "no weapon in hand: the log says why";
    } else if (!shown) {
        text = weapon.weapon()->name + " has no animations";
    } else {
        const size_t count = shown->frames.size();
        text = shown->name + "   frame " + std::to_string(count ? frame + 1 : 0) + "/" + std::to_string(count);
        if (shown->frameCount != static_cast<int32_t>(count))
            text += "   (frameCount " + std::to_string(shown->frameCount) + ")";
        if (count) {
            const cAnimFrame* picture = shown->frames[frame];
            text += "\nimage " + imageSlotName(weapon, picture->image) + "   sound " +
                    soundSlotName(weapon, picture->sound);
        }
        text += "\nspeed " + std::string(halvings ? "1/" + std::to_string(1 << halvings) : "1") +
                (playing ? "   playing" : "   paused") + "\n+ eject (yellow)   + spawn (cyan)";
    }
    panel.setText(text);
    app.keepNoticesOff(IntCoords(kMargin, kMargin, panel.width(), panel.height()));
    redrawNeeded = true;
}

void weaponPreview::placeMarks() {
    marks.unlock();
    marks.clearQuads();
    const cAnimation* shown = animation();
    if (shown && frame < shown->frames.size()) {
        const cAnimFrame* picture = shown->frames[frame];
        if (picture->eject) addCross(marks, picture->ejectX, picture->ejectY, kEjectMark);
        for (const cSpawnRecord& spawn : picture->spawns) addCross(marks, spawn.x, spawn.y, kSpawnMark);
    }
    marks.rebuild();
}

void weaponPreview::drawOverlay() {
    marks.draw(BlendMode::opaque);
    panel.draw(kMargin, kMargin);
}

// As the main loop shows a picture: the overlay over what the frame drew, F1 answered before the swap.
void weaponPreview::presentPicture() {
    drawOverlay();
    if (screenshotRequested) {
        takeScreenshot("screenshot.png");
        screenshotRequested = false;
    }
    app.presentPicture();
    SDL_GL_SwapBuffers();
    redrawNeeded = false;
}

}  // namespace QEL
