#include "weapon/XMLSerializer.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// One element parsed from text, for the readers to look at.
class Attributes : public ::testing::Test {
protected:
    void SetUp() override {
        document.Parse(
            "<e px=\"12px\" frac=\"1.9\" neg=\"-3\" blank=\" 7\" word=\"abc\" lit=\"true\" no=\"false\""
            " one=\"1\" two=\"2\" zero=\"0\" mixed=\"1.5px\" spaced=\"  a b  \" empty=\"\""
            " huge=\"99999999999\" tiny=\"-99999999999\" exp=\"2e3\"/>",
            nullptr, TIXML_ENCODING_UNKNOWN);
        ASSERT_FALSE(document.Error());
        element = document.FirstChildElement();
    }
    TiXmlDocument document;
    TiXmlElement* element = nullptr;
};

TEST_F(Attributes, IntReadsLeadingDigitsOnly) {
    EXPECT_EQ(QEL::getAttributeInt(element, "px", -1), 12);
    EXPECT_EQ(QEL::getAttributeInt(element, "frac", -1), 1);
    EXPECT_EQ(QEL::getAttributeInt(element, "neg", 0), -3);
    EXPECT_EQ(QEL::getAttributeInt(element, "blank", 0), 7);
    EXPECT_EQ(QEL::getAttributeInt(element, "word", -1), 0);
    EXPECT_EQ(QEL::getAttributeInt(element, "empty", -1), 0);
    EXPECT_EQ(QEL::getAttributeInt(element, "exp", -1), 2);
}

TEST_F(Attributes, IntOutOfRangeStopsAtTheLimits) {
    EXPECT_EQ(QEL::getAttributeInt(element, "huge", 0), INT32_MAX);
    EXPECT_EQ(QEL::getAttributeInt(element, "tiny", 0), INT32_MIN);
}

TEST_F(Attributes, FloatReadsOneLeadingNumber) {
    EXPECT_FLOAT_EQ(QEL::getAttributeFloat(element, "mixed", -1.0f), 1.5f);
    EXPECT_FLOAT_EQ(QEL::getAttributeFloat(element, "frac", -1.0f), 1.9f);
    EXPECT_FLOAT_EQ(QEL::getAttributeFloat(element, "neg", 0.0f), -3.0f);
    EXPECT_FLOAT_EQ(QEL::getAttributeFloat(element, "blank", 0.0f), 7.0f);
    EXPECT_FLOAT_EQ(QEL::getAttributeFloat(element, "px", 0.0f), 12.0f);
    EXPECT_FLOAT_EQ(QEL::getAttributeFloat(element, "exp", 0.0f), 2000.0f);
    EXPECT_FLOAT_EQ(QEL::getAttributeFloat(element, "word", -1.0f), 0.0f);
    EXPECT_FLOAT_EQ(QEL::getAttributeFloat(element, "empty", -1.0f), 0.0f);
}

TEST_F(Attributes, BoolIsANonZeroInteger) {
    EXPECT_TRUE(QEL::getAttributeBool(element, "one"));
    EXPECT_TRUE(QEL::getAttributeBool(element, "two"));
    EXPECT_TRUE(QEL::getAttributeBool(element, "neg"));
    EXPECT_FALSE(QEL::getAttributeBool(element, "zero"));
    EXPECT_FALSE(QEL::getAttributeBool(element, "lit"));
    EXPECT_FALSE(QEL::getAttributeBool(element, "no"));
    EXPECT_FALSE(QEL::getAttributeBool(element, "missing"));
}

TEST_F(Attributes, StringIsTheValueUnchanged) {
    EXPECT_EQ(QEL::getAttributeString(element, "spaced", "x"), "  a b  ");
    EXPECT_EQ(QEL::getAttributeString(element, "empty", "x"), "");
}

TEST_F(Attributes, MissingOrMisspeltNamesGiveTheDefault) {
    EXPECT_EQ(QEL::getAttributeString(element, "PX", "dflt"), "dflt");
    EXPECT_EQ(QEL::getAttributeInt(element, "Px", -100), -100);
    EXPECT_FLOAT_EQ(QEL::getAttributeFloat(element, "none", 0.25f), 0.25f);
    EXPECT_EQ(QEL::getAttributeString(nullptr, "px", "dflt"), "dflt");
    EXPECT_EQ(QEL::getAttributeInt(nullptr, "px", 4), 4);
    EXPECT_FLOAT_EQ(QEL::getAttributeFloat(nullptr, "px", 4.5f), 4.5f);
    EXPECT_FALSE(QEL::getAttributeBool(nullptr, "one"));
}

TEST(ElementText, IsTheFirstChildWhenItIsText) {
    TiXmlDocument document;
    document.Parse("<r><t>gun.png</t><e/><n><x/>after</n><c><![CDATA[raw]]></c></r>", nullptr, TIXML_ENCODING_UNKNOWN);
    ASSERT_FALSE(document.Error());
    TiXmlElement* root = document.FirstChildElement();
    EXPECT_EQ(QEL::getElementText(root->FirstChildElement("t")), "gun.png");
    EXPECT_EQ(QEL::getElementText(root->FirstChildElement("e")), "");
    EXPECT_EQ(QEL::getElementText(root->FirstChildElement("n")), "");
    EXPECT_EQ(QEL::getElementText(root->FirstChildElement("c")), "raw");
    EXPECT_EQ(QEL::getElementText(nullptr), "");
}

}  // namespace
