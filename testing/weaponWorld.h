// What the weapon, pack and benchmark programs share: a temporary working folder beside an assets
// folder of real files written here, a clock the tests set, a sound manager on an offline speaker, a
// real GL context, and the log captured from standard output.
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

    void writeSolidPng(const std::string& name, unsigned w, unsigned h, uint8_t r, uint8_t g, uint8_t b, bool alpha = false);
    void writeOgg(const std::string& name);
    void writeAsset(const std::string& fileName, const std::string& text);  // into ../assets
    QEL::cAssetMgr& mgr();  // built on first use, after the test has written what it needs
    void restartManager();  // a new sound manager; the next mgr() is a new manager
    // Writes ../assets/<name>.xml, checks it and loads it; the fire mode or -2.
    int32_t loadWeapon(const std::string& name, const std::string& xml);
    // Checks ../assets/<name>.xml as it is and loads it (whether it passed or not); the fire mode or -2.
    int32_t loadChecked(const std::string& name);
    std::string takeLog();
    // The first column of the first row `select` gives from ../assets/scores.db; -1 when none.
    long long storedValue(const std::string& select);
    void setClock(uint32_t ms) { clockNow = ms; }
    bool frameAt(uint32_t ms, bool drawPicture = true);  // sets the clock and runs one turn
    void mixAudio(int32_t frames);                         // so that short sounds end

    QEL::cSoundManager* sounds = nullptr;  // owned
    fs::path root;
    int32_t lastNetShot = -1;

private:
    std::unique_ptr<QEL::cAssetMgr> manager;
    fs::path previousDir;
    std::streambuf* previousCout = nullptr;
    std::ostringstream captured;
};

// Pieces of weapon files: the file (allowInterrupt="false" unless the root attributes say otherwise);
// gun.png (green, RGB) in slot 0, bg.png (blue, RGB) in 1, round.png (white) in 2, shell.png (yellow)
// in 3; the fire modes with the switch at (500, 10); a magazine of image 2 in a row at y = 300, 10
// pixels apart from x = 10.
std::string weaponXml(const std::string& name, const std::string& body, const std::string& rootAttributes = "");
std::string standardImages();
std::string shotTypes(bool single, bool burst, bool automatic);
std::string ammoXml(int count);

}  // namespace weaponTest
