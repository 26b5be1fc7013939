// A fixture laid out as the game runs: a temporary working directory "work" and its sibling
// "assets" (named ../assets/ from it), entered for the test and removed afterwards, with standard
// output captured so that tests can read the log lines.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace QEL {
namespace testing {

class AssetsFolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::temp_directory_path() /
               ("kablix_" + std::to_string(::getpid()) + "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
        std::filesystem::create_directories(root / "work");
        std::filesystem::create_directories(root / "assets");
        old = std::filesystem::current_path();
        std::filesystem::current_path(root / "work");
        oldCout = std::cout.rdbuf(captured.rdbuf());
    }
    void TearDown() override {
        std::cout.rdbuf(oldCout);
        std::filesystem::current_path(old);
        std::filesystem::remove_all(root);
    }

    void writeAsset(const std::string& name, const std::string& text) { std::ofstream(root / "assets" / name, std::ios::binary) << text; }
    void writeWorkFile(const std::string& name, const std::string& text) { std::ofstream(root / "work" / name, std::ios::binary) << text; }

    std::string output() const { return captured.str(); }
    void clearOutput() { captured.str(""); }
    std::string takeLog() {
        std::string text = captured.str();
        captured.str("");
        return text;
    }

    std::filesystem::path root, old;
    std::ostringstream captured;
    std::streambuf* oldCout = nullptr;
};

}  // namespace testing
}  // namespace QEL
