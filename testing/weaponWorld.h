// What the weapon, pack and benchmark programs share: a temporary working folder with a sibling
// assets folder holding real files written here (PNG pictures, Ogg sounds, weapon files, the
// effects file), a clock the tests set, a sound manager on an offline speaker, a real GL context,
// and the log captured from standard output.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>

#include "testing/glTestContext.h"
#include "weapon/cAssetMgr.h"

namespace weaponTest {

namespace fs = std::filesystem;

extern uint32_t clockNow;  // the program clock as the tests set it

class WeaponWorld : public QEL::testing::GLTest {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
    void TearDown() override;

    void writeSolidPng(const std::string& name, unsigned w, unsigned h, uint8_t r, uint8_t g, uint8_t b,
                       bool alpha = false);
    void writeOgg(const std::string& name);
    void writeAsset(const std::string& fileName, const std::string& text);
    // The manager is built on first use, after the test has written what it needs.
    QEL::cAssetMgr& mgr();
    // Ends the manager and the sounds; the next mgr() starts both anew.
    void restartManager();
    // Writes ../assets/<name>.xml, checks it and loads it; the fire mode or -2.
    int32_t loadWeapon(const std::string& name, const std::string& xml);
    std::string takeLog();
    // The first column of the first row `select` gives from ../assets/scores.db; -1 when none.
    long long storedValue(const std::string& select);
    void setClock(uint32_t ms) { clockNow = ms; }
    // Sets the clock and runs one turn; true when the weapon advanced.
    bool frameAt(uint32_t ms, bool drawPicture = true);
    // Mixes `frames` of audio so that short sounds end.
    void mixAudio(int32_t frames);

    QEL::cSoundManager* sounds = nullptr;  // owned
    fs::path root;
    int32_t lastNetShot = -1;

private:
    std::unique_ptr<QEL::cAssetMgr> manager;
    fs::path previousDir;
    std::streambuf* previousCout = nullptr;
    std::ostringstream captured;
};

// A weapon file: allowInterrupt="false" unless the root attributes say otherwise.
std::string weaponXml(const std::string& name, const std::string& body, const std::string& rootAttributes = "");
// gun.png (green, RGB) in slot 0, bg.png (blue, RGB) in slot 1, round.png (white) in slot 2,
// shell.png (yellow) in slot 3.
std::string standardImages();
// The fire modes offered, with the switch at (500, 10).
std::string shotTypes(bool single, bool burst, bool automatic);
// A magazine of `count` rounds of image 2 in a row at y = 300, 10 pixels apart from x = 10.
std::string ammoXml(int count);

}  // namespace weaponTest
