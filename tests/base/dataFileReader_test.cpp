#include "base/dataFileReader.h"

#include "testing/assetsFolder.h"

namespace {

class DataFiles : public QEL::testing::AssetsFolderTest {};

TEST_F(DataFiles, CatalogueLinesFollowTheTokenRules) {
    QEL::dataFileReader missing("gunList.txt");
    EXPECT_EQ(takeLog(), "[dataFileReader] could not open data file: gunList.txt\n");
    EXPECT_EQ(missing.getValue("0"), "");

    writeWorkFile("gunList.txt", "# 9=commented out\n1=rifle # best\n  2  =  pistol  \n=lonely\na=b=c\nd==e\n===\n\n"
                                 "3=first\r\n3=second\nk\n\tt\t=\ttabbed\t\n");
    QEL::dataFileReader reader("gunList.txt");
    EXPECT_EQ(takeLog(), "[dataFileReader] Reading data file: gunList.txt\n");
    // key → value; only blanks are trimmed, keys are case-sensitive, the last of a key counts
    for (auto [key, value] : {std::pair{"9", ""}, {"1", "rifle # best"}, {"2", "pistol"}, {"lonely", ""}, {"a", "b"},
                              {"d", "e"}, {"3", "second"}, {"k", ""}, {"\tt\t", "\ttabbed\t"}, {"A", ""}})
        EXPECT_EQ(reader.getValue(key), value) << key;
}

TEST_F(DataFiles, DamageSettingReadsLikeAtoi) {
    EXPECT_EQ(QEL::readDamageSetting(), 0);
    for (auto [text, value] : {std::pair{"25 points\nignored 99\n", 25}, {"letters\n", 0}, {"", 0}}) {
        writeAsset("damage.txt", text);
        EXPECT_EQ(QEL::readDamageSetting(), value) << text;
    }
}

}  // namespace
