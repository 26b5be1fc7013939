#include "weapon/weaponTest.h"

#include "testing/assetsFolder.h"

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

class WeaponCheck : public QEL::testing::AssetsFolderTest {
protected:
    void SetUp() override {
        AssetsFolderTest::SetUp();
        for (const char* file : {"gun.png", "spark.png", "bang.ogg", "bang.ogg.txt", "stock.jpg"}) writeAsset(file, "x");
        QEL::backgroundOff = false;
        QEL::portraitDisplay = false;
    }
    void TearDown() override {
        QEL::releaseLastTestedDocument();
        AssetsFolderTest::TearDown();
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

TEST_F(WeaponCheck, AWeaponWithEveryPartPassesSilently) {
    WeaponText weapon;
    weapon.images = "<images><image id=\"0\">gun.png</image><image id=\"1\">gun.jpg</image></images>";
    weapon.rest = "<emitters><emitter id=\"0\" name=\"spark\" blend=\"1\"/></emitters>"
                  "<sounds><sound id=\"0\" offset=\"0\">bang</sound></sounds>"
                  "<ammo count=\"1\" img=\"0\"><bullet id=\"0\" x=\"1\" y=\"2\" rot=\"0\"/></ammo>";
    EXPECT_TRUE(check(weapon));
    EXPECT_EQ(output(), "");
    EXPECT_EQ(keptWeaponName(), "rifle");
}

// Each failing check: its one line, a false result, and the parsed document kept. A missing name
// or allowInterrupt is logged as a warning but fails the check all the same.
TEST_F(WeaponCheck, EachFailingCheckReportsOneLine) {
    struct Failure {
        const char* what;
        std::string WeaponText::*part;
        std::string text;
        std::string line;
    };
    const Failure failures[] = {
        {"root spelt with a capital", &WeaponText::root, "<KablixWeapon name=\"rifle\" allowInterrupt=\"true\">",
         kError + "Invalid rules file. Missing <kablixWeapon> element\n"},
        {"no name", &WeaponText::root, "<kablixWeapon allowInterrupt=\"true\">",
         kWarning + "Name not specified in <kablixWeapon> element.\n"},
        {"empty name", &WeaponText::root, "<kablixWeapon name=\"\" allowInterrupt=\"true\">",
         kWarning + "Name not specified in <kablixWeapon> element.\n"},
        {"no allowInterrupt", &WeaponText::root, "<kablixWeapon name=\"rifle\">",
         kWarning + "allowInterrupt not specified in <kablixWeapon> element.\n"},
        {"no images", &WeaponText::images, "", kWarning + "<images> element note specified.\n"},
        {"missing image file", &WeaponText::images, "<images><image id=\"0\">stock.png</image></images>",
         kError + "IMAGE NOT FOUND: stock.png\n"},
        {"a .jpg is looked up as .png", &WeaponText::images, "<images><image id=\"0\">stock.jpg</image></images>",
         kError + "IMAGE NOT FOUND: stock.png\n"},
        {"image named without extension", &WeaponText::images, "<images><image id=\"0\">gunpng</image></images>",
         kError + "IMAGE NOT FOUND: gu.png\n"},
        {"image text too short", &WeaponText::images, "<images><image id=\"0\">gun</image></images>",
         kError + "IMAGE NOT FOUND: gun.png\n"},
        {"image without text", &WeaponText::images, "<images><image id=\"0\"/></images>",
         kError + "IMAGE NOT FOUND: .png\n"},
        {"missing emitter image", &WeaponText::rest, "<emitters><emitter id=\"0\" name=\"smoke\"/></emitters>",
         kError + "IMAGE NOT FOUND: smoke.png\n"},
        {"emitter without name", &WeaponText::rest, "<emitters><emitter id=\"0\"/></emitters>",
         kError + "IMAGE NOT FOUND: INVALID_FILE_NAME.png\n"},
        {"missing sound", &WeaponText::rest, "<sounds><sound id=\"0\">boom</sound></sounds>",
         kError + "SOUND NOT FOUND: boom.ogg\n"},
        {"sound named with its extension", &WeaponText::rest, "<sounds><sound id=\"0\">bang.ogg</sound></sounds>",
         kError + "SOUND NOT FOUND: bang.ogg.ogg\n"},
    };
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.what);
        WeaponText weapon;
        weapon.*failure.part = failure.text;
        EXPECT_FALSE(check(weapon));
        EXPECT_EQ(takeLog(), failure.line);
        EXPECT_NE(QEL::lastTestedDocument, nullptr);
    }
}

TEST_F(WeaponCheck, CustomSettingsGiveTheDisplayFlags) {
    struct Case {
        std::string custom;
        bool backgroundOff, portraitDisplay;
    };
    const Case cases[] = {
        {"<drawBackground>false</drawBackground>", true, false},
        {"<drawBackground>blendAlpha</drawBackground>", true, false},
        {"<drawBackground>true</drawBackground>", false, false},
        {"<drawBackground/>", false, false},
        {"<landscapeMode>false</landscapeMode>", false, true},
        {"<portraitMode>true</portraitMode>", false, true},
        {"<landscapeMode>true</landscapeMode><portraitMode>false</portraitMode>", false, false},
        {"<landscapeMode>0</landscapeMode><portraitMode>1</portraitMode>", false, false},
        {"<drawBackground>false</drawBackground><portraitMode>true</portraitMode>", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.custom);
        WeaponText weapon;
        weapon.rest = "<custom>" + c.custom + "</custom>";
        EXPECT_TRUE(check(weapon));
        EXPECT_EQ(QEL::backgroundOff, c.backgroundOff);
        EXPECT_EQ(QEL::portraitDisplay, c.portraitDisplay);
    }

    // A check that stops before the custom settings leaves both flags as they were.
    WeaponText noInterrupt;
    noInterrupt.root = "<kablixWeapon name=\"rifle\">";
    EXPECT_FALSE(check(noInterrupt));
    WeaponText noSound;
    noSound.rest = "<sounds><sound>boom</sound></sounds>";
    EXPECT_FALSE(check(noSound));
    writeAsset("broken.xml", "<kablixWeapon>");
    EXPECT_FALSE(QEL::testWeapon("broken"));
    EXPECT_FALSE(QEL::testWeapon("absent"));
    EXPECT_TRUE(QEL::backgroundOff);
    EXPECT_TRUE(QEL::portraitDisplay);
}

TEST_F(WeaponCheck, TheKeptDocumentIsAlwaysTheLastParsedOne) {
    ASSERT_TRUE(check(WeaponText{}));
    TiXmlDocument* kept = QEL::lastTestedDocument;
    clearOutput();
    EXPECT_FALSE(QEL::testWeapon("pistol"));
    EXPECT_FALSE(QEL::testWeapon(""));
    EXPECT_EQ(takeLog(), "   XML for pistol was not found.\n   XML for  was not found.\n");
    EXPECT_EQ(QEL::lastTestedDocument, kept);

    // A rejected weapon leaves its own document, never the earlier one, and no slot warning.
    WeaponText pistol;
    pistol.root = "<kablixWeapon name=\"pistol\" allowInterrupt=\"false\">";
    pistol.images = "<images><image>stock.png</image></images>";
    EXPECT_FALSE(check(pistol, "pistol"));
    EXPECT_EQ(takeLog(), kError + "IMAGE NOT FOUND: stock.png\n");
    EXPECT_EQ(keptWeaponName(), "pistol");

    writeAsset("broken.xml", "<kablixWeapon name=\"broken\"");
    EXPECT_FALSE(QEL::testWeapon("broken"));
    EXPECT_EQ(QEL::lastTestedDocument, nullptr);
    std::filesystem::create_directories(root / "assets" / "folder.xml");
    EXPECT_FALSE(QEL::testWeapon("folder"));
    EXPECT_EQ(QEL::lastTestedDocument, nullptr);
    EXPECT_EQ(takeLog(), "E: (QEL::XMLSerializer::loadXML) \a[XMLSerializer] The TiXmlDocument reported an error. "
                         "Could not parse XML file.\n"
                         "E: (QEL::XMLSerializer::loadXML) \a[XMLSerializer] The TiXmlDocument reported an error. "
                         "Could not parse XML file.\n");
}

}  // namespace
