#include "weapon/weaponTest.h"

#include "allocationCounter.h"
#include "xmlFixture.h"

namespace {

const std::string kError = "E: (QEL::weaponTest::processRoot) \a";
const std::string kWarning = "W: (QEL::weaponTest::processRoot) ";

// A weapon file assembled from its parts; `root` is the opening tag with its attributes.
struct WeaponText {
    std::string root = "<kablixWeapon name=\"rifle\" allowInterrupt=\"true\">";
    std::string images = "<images><image id=\"0\">gun.png</image></images>";
    std::string rest;
    std::string text() const {
        const std::string close = root.rfind("<kablixWeapon", 0) == 0 ? "</kablixWeapon>" : "</KablixWeapon>";
        return "<?xml version=\"1.0\"?>\n" + root + "\n" + images + "\n" + rest + "\n" + close + "\n";
    }
};

class WeaponCheck : public xmltest::AssetsDir {
protected:
    void SetUp() override {
        AssetsDir::SetUp();
        writeAsset("gun.png", "png");
        writeAsset("spark.png", "png");
        writeAsset("bang.ogg", "ogg");
        writeAsset("bang.ogg.txt", "not a sound");
        QEL::backgroundOff = false;
        QEL::portraitDisplay = false;
    }
    void TearDown() override {
        QEL::releaseLastTestedDocument();
        AssetsDir::TearDown();
    }
    bool check(const WeaponText& weapon, const std::string& name = "rifle") {
        writeAsset(name + ".xml", weapon.text());
        return QEL::testWeapon(name);
    }
    std::string keptWeaponName() const {
        if (!QEL::lastTestedDocument) return "(none)";
        return QEL::getAttributeString(QEL::lastTestedDocument->FirstChildElement(), "name", "");
    }
};

TEST_F(WeaponCheck, PlainWeaponPassesWithBothFlagsClear) {
    QEL::backgroundOff = true;
    QEL::portraitDisplay = true;
    EXPECT_TRUE(check(WeaponText{}));
    EXPECT_EQ(output(), "");
    EXPECT_FALSE(QEL::backgroundOff);
    EXPECT_FALSE(QEL::portraitDisplay);
    EXPECT_EQ(keptWeaponName(), "rifle");
}

TEST_F(WeaponCheck, FullWeaponPasses) {
    WeaponText weapon;
    weapon.images = "<images><image id=\"0\">gun.png</image><image id=\"1\">gun.jpg</image></images>";
    weapon.rest = "<emitters><emitter id=\"0\" name=\"spark\" blend=\"1\"/></emitters>"
                  "<sounds><sound id=\"0\" offset=\"0\">bang</sound></sounds>"
                  "<ammo count=\"1\" img=\"0\"><bullet id=\"0\" x=\"1\" y=\"2\" rot=\"0\"/></ammo>";
    EXPECT_TRUE(check(weapon));
    EXPECT_EQ(output(), "");
}

// Each failing check: its one line, its kind, a false result, and the parsed document kept.
struct Failure {
    const char* what;
    WeaponText weapon;
    std::string line;
};

TEST_F(WeaponCheck, EachFailingCheckReportsOneLine) {
    auto with = [](auto change) {
        WeaponText weapon;
        change(weapon);
        return weapon;
    };
    const Failure failures[] = {
        {"root spelt with a capital",
         with([](WeaponText& w) { w.root = "<KablixWeapon name=\"rifle\" allowInterrupt=\"true\">"; }),
         kError + "Invalid rules file. Missing <kablixWeapon> element\n"},
        {"no name", with([](WeaponText& w) { w.root = "<kablixWeapon allowInterrupt=\"true\">"; }),
         kWarning + "Name not specified in <kablixWeapon> element.\n"},
        {"empty name", with([](WeaponText& w) { w.root = "<kablixWeapon name=\"\" allowInterrupt=\"true\">"; }),
         kWarning + "Name not specified in <kablixWeapon> element.\n"},
        {"no allowInterrupt", with([](WeaponText& w) { w.root = "<kablixWeapon name=\"rifle\">"; }),
         kWarning + "allowInterrupt not specified in <kablixWeapon> element.\n"},
        {"no images", with([](WeaponText& w) { w.images = ""; }), kWarning + "<images> element note specified.\n"},
        {"missing image file",
         with([](WeaponText& w) { w.images = "<images><image id=\"0\">stock.png</image></images>"; }),
         kError + "IMAGE NOT FOUND: stock.png\n"},
        {"image named without extension",
         with([](WeaponText& w) { w.images = "<images><image id=\"0\">gunpng</image></images>"; }),
         kError + "IMAGE NOT FOUND: gu.png\n"},
        {"image text too short",
         with([](WeaponText& w) { w.images = "<images><image id=\"0\">gun</image></images>"; }),
         kError + "IMAGE NOT FOUND: gun.png\n"},
        {"image without text", with([](WeaponText& w) { w.images = "<images><image id=\"0\"/></images>"; }),
         kError + "IMAGE NOT FOUND: .png\n"},
        {"missing emitter image",
         with([](WeaponText& w) { w.rest = "<emitters><emitter id=\"0\" name=\"smoke\"/></emitters>"; }),
         kError + "IMAGE NOT FOUND: smoke.png\n"},
        {"emitter without name", with([](WeaponText& w) { w.rest = "<emitters><emitter id=\"0\"/></emitters>"; }),
         kError + "IMAGE NOT FOUND: INVALID_FILE_NAME.png\n"},
        {"missing sound",
         with([](WeaponText& w) { w.rest = "<sounds><sound id=\"0\">boom</sound></sounds>"; }),
         kError + "SOUND NOT FOUND: boom.ogg\n"},
        {"sound named with its extension",
         with([](WeaponText& w) { w.rest = "<sounds><sound id=\"0\">bang.ogg</sound></sounds>"; }),
         kError + "SOUND NOT FOUND: bang.ogg.ogg\n"},
    };
    for (const Failure& failure : failures) {
        clearOutput();
        EXPECT_FALSE(check(failure.weapon)) << failure.what;
        EXPECT_EQ(output(), failure.line) << failure.what;
        EXPECT_NE(QEL::lastTestedDocument, nullptr) << failure.what;
    }
}

TEST_F(WeaponCheck, ImagesAreAlwaysLookedUpAsPng) {
    WeaponText weapon;
    weapon.images = "<images><image id=\"0\">gun.jpg</image></images>";
    EXPECT_TRUE(check(weapon));
    writeAsset("stock.jpg", "jpg");
    weapon.images = "<images><image id=\"0\">stock.jpg</image></images>";
    EXPECT_FALSE(check(weapon));
    EXPECT_EQ(output(), kError + "IMAGE NOT FOUND: stock.png\n");
}

TEST_F(WeaponCheck, CustomSettingsGiveTheDisplayFlags) {
    struct Case {
        std::string custom;
        bool backgroundOff, portraitDisplay;
    };
    const Case cases[] = {
        {"<custom><drawBackground>false</drawBackground></custom>", true, false},
        {"<custom><drawBackground>blendAlpha</drawBackground></custom>", true, false},
        {"<custom><drawBackground>true</drawBackground></custom>", false, false},
        {"<custom><drawBackground/></custom>", false, false},
        {"<custom><landscapeMode>false</landscapeMode></custom>", false, true},
        {"<custom><portraitMode>true</portraitMode></custom>", false, true},
        {"<custom><landscapeMode>true</landscapeMode><portraitMode>false</portraitMode></custom>", false, false},
        {"<custom><landscapeMode>0</landscapeMode><portraitMode>1</portraitMode></custom>", false, false},
        {"<custom><drawBackground>false</drawBackground><portraitMode>true</portraitMode></custom>", true, true},
    };
    for (const Case& c : cases) {
        WeaponText weapon;
        weapon.rest = c.custom;
        EXPECT_TRUE(check(weapon)) << c.custom;
        EXPECT_EQ(QEL::backgroundOff, c.backgroundOff) << c.custom;
        EXPECT_EQ(QEL::portraitDisplay, c.portraitDisplay) << c.custom;
    }
}

TEST_F(WeaponCheck, FlagsOutliveAChecksThatStopsEarly) {
    WeaponText portrait;
    portrait.rest = "<custom><drawBackground>false</drawBackground><landscapeMode>false</landscapeMode></custom>";
    ASSERT_TRUE(check(portrait));

    WeaponText noInterrupt = portrait;
    noInterrupt.root = "<kablixWeapon name=\"rifle\">";
    noInterrupt.rest = "";
    EXPECT_FALSE(check(noInterrupt));
    WeaponText noSound = noInterrupt;
    noSound.root = WeaponText{}.root;
    noSound.rest = "<sounds><sound>boom</sound></sounds>";
    EXPECT_FALSE(check(noSound));
    writeAsset("broken.xml", "<kablixWeapon>");
    EXPECT_FALSE(QEL::testWeapon("broken"));
    EXPECT_FALSE(QEL::testWeapon("absent"));
    EXPECT_TRUE(QEL::backgroundOff);
    EXPECT_TRUE(QEL::portraitDisplay);

    EXPECT_TRUE(check(WeaponText{}));
    EXPECT_FALSE(QEL::backgroundOff);
    EXPECT_FALSE(QEL::portraitDisplay);
}

TEST_F(WeaponCheck, MissingFileSaysSoAndKeepsThePreviousDocument) {
    ASSERT_TRUE(check(WeaponText{}));
    TiXmlDocument* kept = QEL::lastTestedDocument;
    EXPECT_FALSE(QEL::testWeapon("pistol"));
    EXPECT_EQ(output(), "   XML for pistol was not found.\n");
    EXPECT_EQ(QEL::lastTestedDocument, kept);
    clearOutput();
    EXPECT_FALSE(QEL::testWeapon(""));
    EXPECT_EQ(output(), "   XML for  was not found.\n");
}

TEST_F(WeaponCheck, FolderInPlaceOfTheFileIsAParseFailure) {
    xmltest::fs::create_directories(root / "assets" / "folder.xml");
    EXPECT_FALSE(QEL::testWeapon("folder"));
    EXPECT_EQ(output(), "E: (QEL::XMLSerializer::loadXML) \a[XMLSerializer] The TiXmlDocument reported an error. "
                        "Could not parse XML file.\n");
    EXPECT_EQ(QEL::lastTestedDocument, nullptr);
}

TEST_F(WeaponCheck, EachCheckReplacesTheKeptDocumentWithoutAWarning) {
    WeaponText pistol;
    pistol.root = "<kablixWeapon name=\"pistol\" allowInterrupt=\"false\">";
    ASSERT_TRUE(check(WeaponText{}));
    ASSERT_TRUE(check(pistol, "pistol"));
    EXPECT_EQ(keptWeaponName(), "pistol");

    // A rejected weapon leaves its own document, never the earlier one.
    pistol.images = "<images><image>stock.png</image></images>";
    clearOutput();
    EXPECT_FALSE(check(pistol, "pistol"));
    EXPECT_EQ(output(), kError + "IMAGE NOT FOUND: stock.png\n");
    EXPECT_EQ(keptWeaponName(), "pistol");

    writeAsset("broken.xml", "<kablixWeapon name=\"broken\"");
    EXPECT_FALSE(QEL::testWeapon("broken"));
    EXPECT_EQ(QEL::lastTestedDocument, nullptr);
}

TEST_F(WeaponCheck, ChecksOneAfterAnotherFreeEveryDocument) {
    writeAsset("rifle.xml", WeaponText{}.text());
    writeAsset("broken.xml", "<kablixWeapon><images>");
    WeaponText rejected;
    rejected.images = "";
    writeAsset("rejected.xml", rejected.text());
    auto checkAll = [] {
        xmltest::DiscardCout quiet;
        QEL::testWeapon("rifle");
        QEL::testWeapon("rifle");
        QEL::testWeapon("rejected");
        QEL::testWeapon("absent");
        QEL::testWeapon("broken");
        QEL::testWeapon("rifle");
        QEL::releaseLastTestedDocument();
    };
    checkAll();
    const long before = xmltest::liveAllocations();
    checkAll();
    EXPECT_EQ(xmltest::liveAllocations(), before);
}

}  // namespace
