#include "weapon/XMLSerializer.h"

#include "allocationCounter.h"
#include "xmlFixture.h"

namespace {

const std::string kOpenError = "E: (QEL::XMLSerializer::loadXML) \aCould not open XML file: ";
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

class XmlLoad : public xmltest::AssetsDir {
protected:
    void TearDown() override {
        delete document;
        AssetsDir::TearDown();
    }
    bool load(const std::string& name) { return reader.loadXML("../assets/" + name, &document); }

    RootRecorder reader;
    TiXmlDocument* document = nullptr;
};

TEST_F(XmlLoad, DeclarationAndCommentBeforeTheRootAreSkipped) {
    writeAsset("a.xml", "<?xml version=\"1.0\" ?>\n<!-- made by hand -->\n<kablixWeapon>text</kablixWeapon>\n");
    EXPECT_TRUE(load("a.xml"));
    EXPECT_EQ(reader.rootName, "kablixWeapon");
    EXPECT_EQ(reader.rootText, "text");
    EXPECT_NE(document, nullptr);
    EXPECT_EQ(output(), "");
}

TEST_F(XmlLoad, MissingFinalNewlineParsesTheSame) {
    writeAsset("with.xml", "<root>\n<a x=\"1\">one</a>\n</root>\n");
    writeAsset("without.xml", "<root>\n<a x=\"1\">one</a>\n</root>");
    ASSERT_TRUE(load("with.xml"));
    TiXmlPrinter withPrinter;
    document->Accept(&withPrinter);
    delete document;
    document = nullptr;
    ASSERT_TRUE(load("without.xml"));
    TiXmlPrinter withoutPrinter;
    document->Accept(&withoutPrinter);
    EXPECT_EQ(withPrinter.Str(), withoutPrinter.Str());
}

TEST_F(XmlLoad, ProcessRootDecidesTheResultAndTheDocumentStays) {
    writeAsset("a.xml", "<other/>");
    reader.answer = false;
    EXPECT_FALSE(load("a.xml"));
    EXPECT_EQ(reader.calls, 1);
    EXPECT_NE(document, nullptr);
}

TEST_F(XmlLoad, ParseErrorIsReportedAndClearsTheSlot) {
    writeAsset("bad.xml", "<root><open></root>\n");
    EXPECT_FALSE(load("bad.xml"));
    EXPECT_EQ(document, nullptr);
    EXPECT_EQ(reader.calls, 0);
    EXPECT_EQ(output(), kParseError);
}

TEST_F(XmlLoad, NestingDeepEnoughToExhaustTheStackIsRefusedAsUnparsable) {
    std::string deep;
    for (int i = 0; i < 200000; ++i) deep += "<a>";
    writeAsset("deep.xml", "<root>" + deep + "</root>\n");
    EXPECT_FALSE(load("deep.xml"));
    EXPECT_EQ(document, nullptr);
    EXPECT_EQ(reader.calls, 0);
    EXPECT_EQ(output(), kParseError);

    std::string fine = "<root>";
    for (int i = 0; i < 50; ++i) fine += "<a>";
    for (int i = 0; i < 50; ++i) fine += "</a>";
    writeAsset("fine.xml", fine + "</root>\n");
    EXPECT_TRUE(load("fine.xml"));
}

TEST_F(XmlLoad, DocumentWithoutAnElementIsNotHandedOn) {
    writeAsset("bare.xml", "<?xml version=\"1.0\" ?>\n<!-- nothing here -->\n");
    EXPECT_FALSE(load("bare.xml"));
    EXPECT_EQ(reader.calls, 0);
}

TEST_F(XmlLoad, UnopenableFileNamesItsPath) {
    EXPECT_FALSE(load("none.xml"));
    EXPECT_EQ(document, nullptr);
    EXPECT_EQ(output(), kOpenError + "../assets/none.xml\n");
}

TEST_F(XmlLoad, FilledSlotIsWarnedAboutOncePerCallAndReplaced) {
    writeAsset("first.xml", "<first/>");
    writeAsset("second.xml", "<second/>");
    ASSERT_TRUE(load("first.xml"));
    EXPECT_TRUE(load("second.xml"));
    EXPECT_EQ(output(), kSlotWarning);
    EXPECT_EQ(std::string(document->FirstChildElement()->Value()), "second");
    clearOutput();
    EXPECT_TRUE(load("first.xml"));
    EXPECT_EQ(output(), kSlotWarning);

    // A file that cannot be opened leaves the caller's document where it was.
    TiXmlDocument* kept = document;
    EXPECT_FALSE(load("none.xml"));
    EXPECT_EQ(document, kept);
}

// Whatever becomes of a filled slot, every document is freed once its slot is emptied.
TEST_F(XmlLoad, NoDocumentIsLostWhenASlotIsReused) {
    writeAsset("good.xml", "<root><a/><b x=\"1\"/></root>");
    writeAsset("bad.xml", "<root><a></root>");
    auto reuseSlot = [this] {
        xmltest::DiscardCout quiet;
        load("good.xml");
        load("good.xml");
        load("bad.xml");
        load("good.xml");
        load("none.xml");
        load("good.xml");
        delete document;
        document = nullptr;
    };
    reuseSlot();  // the first round also pays for the library's one-time set-up
    const long before = xmltest::liveAllocations();
    reuseSlot();
    EXPECT_EQ(xmltest::liveAllocations(), before);
}

// Truncated and damaged files must never crash the reader.
TEST_F(XmlLoad, DamagedFilesNeverBreakTheReader) {
    const std::string weapon =
        "<?xml version=\"1.0\"?>\n<kablixWeapon name=\"w\" allowInterrupt=\"true\">\n"
        "<images><image id=\"0\">gun.png</image></images>\n<!-- c -->\n"
        "<sounds><sound id=\"1\" offset=\"2\">bang</sound></sounds>\n</kablixWeapon>\n";
    xmltest::DiscardCout quiet;
    for (size_t length = 0; length < weapon.size(); ++length) {
        writeAsset("cut.xml", weapon.substr(0, length));
        if (load("cut.xml")) {
            EXPECT_NE(document, nullptr) << "cut at " << length;
        }
        delete document;
        document = nullptr;
    }
    for (size_t at = 0; at < weapon.size(); ++at) {
        std::string damaged = weapon;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5a);
        writeAsset("flip.xml", damaged);
        load("flip.xml");
        delete document;
        document = nullptr;
    }
}

}  // namespace
