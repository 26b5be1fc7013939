#include "base/dataFileReader.h"

#include "testing/assetsFolder.h"

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class DataFiles : public QEL::testing::AssetsFolderTest {
protected:
    void write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }
};

TEST_F(DataFiles, CatalogueLinesFollowTheTokenRules) {
    write("gunList.txt",
          "# 9=commented out\n"
          "1=rifle # best\n"
          "  2  =  pistol  \n"
          "=lonely\n"
          "a=b=c\n"
          "d==e\n"
          "===\n"
          "\n"
          "3=first\r\n"
          "3=second\n"
          "k\n"
          "\tt\t=\ttabbed\t\n");
    QEL::dataFileReader reader("gunList.txt");
    EXPECT_EQ(output(), "[dataFileReader] Reading data file: gunList.txt\n");
    EXPECT_EQ(reader.getValue("9"), "");
    EXPECT_EQ(reader.getValue("1"), "rifle # best");
    EXPECT_EQ(reader.getValue("2"), "pistol");
    EXPECT_EQ(reader.getValue("lonely"), "");
    EXPECT_EQ(reader.getValue("a"), "b");
    EXPECT_EQ(reader.getValue("d"), "e");
    EXPECT_EQ(reader.getValue("3"), "second");
    EXPECT_EQ(reader.getValue("k"), "");
    EXPECT_EQ(reader.getValue("\tt\t"), "\ttabbed\t");  // only blanks are trimmed
    EXPECT_EQ(reader.getValue("A"), "");                // keys are case-sensitive
}

TEST_F(DataFiles, MissingCatalogueSaysSoAndAnswersEmpty) {
    QEL::dataFileReader reader("gunList.txt");
    EXPECT_EQ(output(), "[dataFileReader] could not open data file: gunList.txt\n");
    EXPECT_EQ(reader.getValue("0"), "");
}

TEST_F(DataFiles, DamageSettingReadsLikeAtoi) {
    EXPECT_EQ(QEL::readDamageSetting(), 0);
    write(root / "assets/damage.txt", "25 points\nignored 99\n");
    EXPECT_EQ(QEL::readDamageSetting(), 25);
    write(root / "assets/damage.txt", "letters\n");
    EXPECT_EQ(QEL::readDamageSetting(), 0);
    write(root / "assets/damage.txt", "");
    EXPECT_EQ(QEL::readDamageSetting(), 0);
}

TEST(SplitString, RunsOfDelimitersSeparateLikeOne) {
    std::vector<std::string> tokens;
    QEL::splitString("==a===b=", "=", tokens);
    EXPECT_EQ(tokens, (std::vector<std::string>{"a", "b"}));
}

}  // namespace
