#include "xml/XMLSerializer.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// The readers' conversions, each value read by all three number readers.
TEST(AttributeReaders, ConvertAsTheWeaponFilesExpect) {
    TiXmlDocument document;
    document.Parse("<e px=\"12px\" frac=\"1.9\" neg=\"-3\" blank=\" 7\" word=\"abc\" lit=\"true\" zero=\"0\""
                   " two=\"2\" empty=\"\" exp=\"2e3\" huge=\"99999999999\" tiny=\"-99999999999\" spaced=\"  a b  \"/>",
                   nullptr, TIXML_ENCODING_UNKNOWN);
    TiXmlElement* e = document.FirstChildElement();
    ASSERT_NE(e, nullptr);
    struct Case {
        const char* name;
        int asInt;
        float asFloat;
        bool asBool;
    };
    const Case cases[] = {
        {"px", 12, 12.0f, true},      {"frac", 1, 1.9f, true},    {"neg", -3, -3.0f, true},
        {"blank", 7, 7.0f, true},     {"word", 0, 0.0f, false},   {"lit", 0, 0.0f, false},
        {"zero", 0, 0.0f, false},     {"two", 2, 2.0f, true},     {"empty", 0, 0.0f, false},
        {"exp", 2, 2000.0f, true},    {"huge", INT32_MAX, 1e11f, true}, {"tiny", INT32_MIN, -1e11f, true},
        {"missing", -100, 0.25f, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(QEL::getAttributeInt(e, c.name, -100), c.asInt);
        EXPECT_FLOAT_EQ(QEL::getAttributeFloat(e, c.name, 0.25f), c.asFloat);
        EXPECT_EQ(QEL::getAttributeBool(e, c.name), c.asBool);
    }
    EXPECT_EQ(QEL::getAttributeString(e, "spaced", "x"), "  a b  ");
    EXPECT_EQ(QEL::getAttributeString(e, "empty", "x"), "");
    EXPECT_EQ(QEL::getAttributeString(e, "PX", "dflt"), "dflt");  // names are case-sensitive
    EXPECT_EQ(QEL::getAttributeString(nullptr, "px", "dflt"), "dflt");
    EXPECT_EQ(QEL::getAttributeInt(nullptr, "px", 4), 4);
    EXPECT_FLOAT_EQ(QEL::getAttributeFloat(nullptr, "px", 4.5f), 4.5f);
    EXPECT_FALSE(QEL::getAttributeBool(nullptr, "two"));
}

TEST(ElementText, IsTheFirstChildWhenItIsText) {
    TiXmlDocument document;
    document.Parse("<r><t>gun.png</t><e/><n><x/>after</n><c><![CDATA[raw]]></c></r>", nullptr, TIXML_ENCODING_UNKNOWN);
    TiXmlElement* root = document.FirstChildElement();
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(QEL::getElementText(root->FirstChildElement("t")), "gun.png");
    EXPECT_EQ(QEL::getElementText(root->FirstChildElement("e")), "");
    EXPECT_EQ(QEL::getElementText(root->FirstChildElement("n")), "");
    EXPECT_EQ(QEL::getElementText(root->FirstChildElement("c")), "raw");
    EXPECT_EQ(QEL::getElementText(nullptr), "");
}

}  // namespace
