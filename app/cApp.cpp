#include "app/cApp.h"

#include "app/appTime.h"

#include <GL/gl.h>

#include <new>

namespace QEL {

cApp* appInstance = nullptr;

cApp::cApp(float red, float green, float blue, float alpha) {
    setUpSoundOutput();
    // The asset manager joins here, built with the shared sound manager; multiplayerMode
    // starts at 1 (networking off).
    multiplayerMode = 1;
    setUpOpenGL(red, green, blue, alpha);
    setViewport(windowWidth, windowHeight);
}

cApp::~cApp() = default;

// The process-wide sound manager and its speaker (44100 Hz, 16 bits, stereo, 8 music and
// 64 sound channels) are made here, before anything that loads sounds.
void cApp::setUpSoundOutput() {
    soundManager = nullptr;
    peer = nullptr;
    pendingShot = -1;
    shakeAction = 0;
}

void cApp::setUpOpenGL(float red, float green, float blue, float alpha) {
    glShadeModel(GL_SMOOTH);
    glClearColor(red, green, blue, alpha);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
}

void cApp::setViewport(int32_t width, int32_t height) {
    windowWidth = width;
    windowHeight = height;
    peerCount = 0;
    glViewport(viewportX, viewportY, width, height == 0 ? 1 : height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

bool cApp::runFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    frameTimeMs = appTimeMs();
    servePeer();
    return updateWeapon();
}

// Received shots are handled first; a shot the weapon asked for waits in pendingShot until
// a peer is connected.
void cApp::servePeer() {
    if (!peer) return;
}

bool cApp::updateWeapon() {
    if (!assetMgr) return false;
    return false;
}

int32_t cApp::loadCurrentWeapon() {
    if (!assetMgr) return -2;
    return -2;
}

void cApp::applyShake() {
    if (!assetMgr) return;
}

void cApp::onMouseDown(int32_t x, int32_t y) {
    if (!assetMgr) return;
}

cApp* createApp(float red, float green, float blue, float alpha) {
    if (appInstance) destroyApp(appInstance);
    appInstance = new (std::nothrow) cApp(red, green, blue, alpha);
    return appInstance;
}

void destroyApp(cApp* app) {
    if (!app) return;
    delete app;
    if (app == appInstance) appInstance = nullptr;
}

}  // namespace QEL
