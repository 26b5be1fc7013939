#include "xml/XMLSerializer.h"

#include "testing/assetsFolder.h"

namespace {

const std::string kParseError =
    "E: (QEL::XMLSerializer::loadXML) \a[XMLSerializer] The TiXmlDocument reported an error. Could not parse XML file.\n";
const std::string kSlotWarning =
    "W: (QEL::XMLSerializer::loadXML) XML document pointer to be overwritten is not null!  Potential memory leak!\n";

// Remembers what it was handed and answers as told.
class RootRecorder : public QEL::XMLSerializer {
public:
    bool processRoot(TiXmlElement* root) override {
        ++calls;
        rootName = root ? root->Value() : "";
        rootText = QEL::getElementText(root);
        return answer;
    }
    bool answer = true;
    int calls = 0;
    std::string rootName, rootText;
};

class XmlLoad : public QEL::testing::AssetsFolderTest {
protected:
    void TearDown() override {
        delete document;
        AssetsFolderTest::TearDown();
    }
    bool load(const std::string& name) { return reader.loadXML("../assets/" + name, &document); }
    std::string printed() {
        TiXmlPrinter printer;
        document->Accept(&printer);
        return printer.Str();
    }

    RootRecorder reader;
    TiXmlDocument* document = nullptr;
};

TEST_F(XmlLoad, DeclarationCommentAndAMissingFinalNewlineDoNotMatter) {
    writeAsset("a.xml", "<?xml version=\"1.0\" ?>\n<!-- made by hand -->\n<kablixWeapon>text</kablixWeapon>");
    EXPECT_TRUE(load("a.xml"));
    EXPECT_EQ(reader.rootName, "kablixWeapon");
    EXPECT_EQ(reader.rootText, "text");
    const std::string withoutNewline = printed();
    delete document;
    document = nullptr;
    writeAsset("a.xml", "<?xml version=\"1.0\" ?>\n<!-- made by hand -->\n<kablixWeapon>text</kablixWeapon>\n");
    EXPECT_TRUE(load("a.xml"));
    EXPECT_EQ(printed(), withoutNewline);
    EXPECT_EQ(output(), "");

    // processRoot decides the result; the document stays either way.
    reader.answer = false;
    delete document;
    document = nullptr;
    EXPECT_FALSE(load("a.xml"));
    EXPECT_NE(document, nullptr);
}

TEST_F(XmlLoad, UnparsableFilesAreReportedAndClearTheSlot) {
    std::string deep;  // nesting deep enough to exhaust the parser's stack
    for (int i = 0; i < 200000; ++i) deep += "<a>";
    const std::pair<const char*, std::string> files[] = {
        {"bad.xml", "<root><open></root>\n"},
        {"deep.xml", "<root>" + deep + "</root>\n"},
    };
    for (const auto& [name, text] : files) {
        SCOPED_TRACE(name);
        writeAsset(name, text);
        EXPECT_FALSE(load(name));
        EXPECT_EQ(document, nullptr);
        EXPECT_EQ(takeLog(), kParseError);
    }
    // Only elements nest: a note, a comment or an attribute value full of '<' opens nothing.
    const std::string brackets(1001, '<');
    std::string fine = "<root note=\"" + std::string(1001, '>') + "\" tip='" + brackets + "'>";
    for (int i = 0; i < 50; ++i) fine += "<a><b/>";
    for (int i = 0; i < 50; ++i) fine += "</a>";
    fine += "<note><![CDATA[" + brackets + "]]></note><!--" + brackets + "-->";
    writeAsset("fine.xml", fine + "</root>\n");
    EXPECT_TRUE(load("fine.xml"));
    EXPECT_EQ(takeLog(), "");
    delete document;
    document = nullptr;

    writeAsset("bare.xml", "<?xml version=\"1.0\" ?>\n<!-- nothing here -->\n");
    EXPECT_FALSE(load("bare.xml"));
    EXPECT_EQ(reader.calls, 1);  // only fine.xml reached processRoot
}

TEST_F(XmlLoad, AFilledSlotIsWarnedAboutAndReplaced) {
    writeAsset("first.xml", "<first/>");
    writeAsset("second.xml", "<second/>");
    ASSERT_TRUE(load("first.xml"));
    EXPECT_TRUE(load("second.xml"));
    EXPECT_EQ(takeLog(), kSlotWarning);
    EXPECT_EQ(std::string(document->FirstChildElement()->Value()), "second");

    // A file that cannot be opened names its path and leaves the caller's document where it was.
    TiXmlDocument* kept = document;
    EXPECT_FALSE(load("none.xml"));
    EXPECT_EQ(document, kept);
    EXPECT_EQ(takeLog(), kSlotWarning + "E: (QEL::XMLSerializer::loadXML) \aCould not open XML file: ../assets/none.xml\n");
}

}  // namespace
