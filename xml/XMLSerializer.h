// The one way the program reads XML files: a file is parsed into a TinyXML document, its root
// element is found and handed to the subclass's processRoot, which walks the elements it knows.
// The free attribute readers below are shared by every reader.
//
// Ownership: an XMLSerializer holds no document. loadXML stores the parsed document in a slot the
// caller supplies; the caller owns it and deletes it (the weapon check hands its document to the
// loader, see weaponTest.h).
#pragma once

#include <cstdint>
#include <string>

#include <tinyxml.h>

namespace QEL {

class XMLSerializer {
public:
    virtual ~XMLSerializer() = default;

    // Parses the file at `path` into a new document stored in `*slot`, then runs processDocument.
    // A document already in the slot is warned about and replaced (deleted) once parsing starts; a file
    // that cannot be opened leaves the slot as it was. A parse failure leaves the slot null.
    bool loadXML(const std::string& path, TiXmlDocument** slot);

    // Hands the first element child of `doc` (declarations and comments before it are skipped) to
    // processRoot. False, without calling processRoot, when there is no element.
    bool processDocument(TiXmlDocument* doc);

    virtual bool processRoot(TiXmlElement* root) = 0;
};

// Reads an XML file the way the loader does: every line, the last one too, followed by one "\n".
// False when the file cannot be opened.
bool readXMLText(const std::string& path, std::string& text);

// TinyXML parses nested elements recursively, so a file nesting them thousands deep would exhaust
// the stack. True, with the place (1-based line and column) where the nesting passes `limit`, for
// such a text; the loader refuses it as unparsable and the pack checker reports it.
constexpr int kNestingLimit = 1000;
bool nestsTooDeep(const std::string& text, int& line, int& column, int limit = kNestingLimit);

// For a text that does not parse: true, with the element's name and the line its start tag is on,
// when an element is left open (an end tag further out, or the end of the text, comes first).
bool unclosedElement(const std::string& text, std::string& name, int& line);

// Attribute readers. A missing attribute (or a null element) yields the default and logs nothing;
// names are matched exactly, case-sensitively.
std::string getAttributeString(TiXmlElement* element, const std::string& name, const std::string& defaultValue);

// Read like atoi: leading blanks, optional sign, decimal digits up to the first other character
// ("12px" is 12, "1.9" is 1, no digits is 0). Values beyond the int32 range stop at its ends.
int32_t getAttributeInt(TiXmlElement* element, const std::string& name, int32_t defaultValue);

// One float read as a stream would ("1.5px" is 1.5); a value without a leading number reads 0.0.
float getAttributeFloat(TiXmlElement* element, const std::string& name, float defaultValue);

// True when the value reads as a non-zero integer: "1" and "2" are true, "0", "true" and "false" false.
// A missing attribute is false.
bool getAttributeBool(TiXmlElement* element, const std::string& name);

// The element's text: the value of its first child when that child is a text node, otherwise "".
std::string getElementText(TiXmlElement* element);

}  // namespace QEL
