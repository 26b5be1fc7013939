// A temporary working directory with a sibling assets folder, as the game runs, and the standard
// output captured for the exact log lines.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace xmltest {

namespace fs = std::filesystem;

class AssetsDir : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("kablix_xml_" + std::to_string(::getpid()) + "_" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root / "work");
        fs::create_directories(root / "assets");
        old = fs::current_path();
        fs::current_path(root / "work");
        oldCout = std::cout.rdbuf(captured.rdbuf());
    }
    void TearDown() override {
        std::cout.rdbuf(oldCout);
        fs::current_path(old);
        fs::remove_all(root);
    }

    // Writes an asset file by its name in the assets folder ("rifle.xml").
    void writeAsset(const std::string& name, const std::string& text) {
        std::ofstream(root / "assets" / name, std::ios::binary) << text;
    }
    std::string output() const { return captured.str(); }
    void clearOutput() { captured.str(""); }

    fs::path root, old;
    std::ostringstream captured;
    std::streambuf* oldCout = nullptr;
};

}  // namespace xmltest
