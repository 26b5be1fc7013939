#include "xml/XMLSerializer.h"

#include "base/assetPath.h"
#include "base/log.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace QEL {

namespace {

const char* const kLoadXML = "QEL::XMLSerializer::loadXML";

// atoi's reading (blanks, sign, digits up to the first other character) without its undefined
// behaviour on values that do not fit: those stop at the int32 limits.
int32_t readInt(const char* text) {
    long value = std::strtol(text, nullptr, 10);
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

bool XMLSerializer::loadXML(const std::string& path, TiXmlDocument** slot) {
    if (!slot) return false;
    if (*slot) logWarning(kLoadXML, "XML document pointer to be overwritten is not null!  Potential memory leak!");

    std::string text;
    if (!readXMLText(path, text)) {
        logError(kLoadXML, "Could not open XML file: ", path);
        return false;
    }
    int line = 0, column = 0;
    if (nestsTooDeep(text, line, column)) {
        // Parsing it would overflow the stack; it is refused like any text TinyXML cannot parse.
        logError(kLoadXML, "[XMLSerializer] The TiXmlDocument reported an error. Could not parse XML file.");
        delete *slot;
        *slot = nullptr;
        return false;
    }

    try {
        TiXmlDocument* document = new TiXmlDocument();
        // The slot's owner handed it over filled: replace its document rather than lose it.
        delete *slot;
        *slot = document;
        document->Parse(text.c_str(), nullptr, TIXML_ENCODING_UNKNOWN);
        if (document->Error()) {
            logError(kLoadXML, "[XMLSerializer] The TiXmlDocument reported an error. Could not parse XML file.");
            delete document;
            *slot = nullptr;
            return false;
        }
    } catch (...) {
        logError(kLoadXML, "[XMLSerializer] Error creating TiXmlDocument: Invalid rules file");
        delete *slot;
        *slot = nullptr;
        return false;
    }
    return processDocument(*slot);
}

bool readXMLText(const std::string& path, std::string& text) {
    if (isPackPath(path)) return readAssetFile(path, text);
    std::ifstream file(path);
    if (!file) return false;
    std::string line;
    while (std::getline(file, line)) {
        text += line;
        text += '\n';
    }
    return true;
}

namespace {

// Index just past the end of the construct opening at `from`, or the text's end when it is never
// closed: a comment, a CDATA section, a declaration or instruction, or a tag whose quoted
// attribute values may hold any character.
size_t endOfMarkup(const std::string& text, size_t from) {
    const auto pastEnd = [&text](size_t found, size_t length) {
        return found == std::string::npos ? text.size() : found + length;
    };
    if (text.compare(from, 4, "<!--") == 0) return pastEnd(text.find("-->", from + 4), 3);
    if (text.compare(from, 9, "<![CDATA[") == 0) return pastEnd(text.find("]]>", from + 9), 3);
    if (text.compare(from, 2, "<?") == 0) return pastEnd(text.find("?>", from + 2), 2);
    char quote = '\0';
    for (size_t i = from + 1; i < text.size(); ++i) {
        const char c = text[i];
        if (quote) {
            if (c == quote) quote = '\0';
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return text.size();
}

void placeOf(const std::string& text, size_t index, int& line, int& column) {
    line = 1;
    column = 1;
    for (size_t i = 0; i < index; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
}


// Calls open(index) at each start tag and close(index) at each end tag, in order, until one of
// them returns false. Only elements count: what a comment, a CDATA section or an attribute value
// holds opens nothing, and a self-closing element neither opens nor closes.
template <class Open, class Close>
void walkTags(const std::string& text, Open open, Close close) {
    for (size_t i = text.find('<'); i != std::string::npos; i = text.find('<', i)) {
        const size_t end = endOfMarkup(text, i);
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const bool selfClosing = end >= 2 && text[end - 1] == '>' && text[end - 2] == '/';
        if (next == '/' ? !close(i) : next != '!' && next != '?' && !selfClosing && !open(i)) return;
        i = end;
    }
}

// The element name of the tag at `index` ('<' or '</' first).
std::string tagName(const std::string& text, size_t index) {
    const size_t start = index + (text.compare(index, 2, "</") == 0 ? 2 : 1);
    const size_t end = text.find_first_of(" \t\r\n/>", start);
    return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

}  // namespace

bool nestsTooDeep(const std::string& text, int& line, int& column, int limit) {
    int depth = 0;
    bool tooDeep = false;
    walkTags(text, [&](size_t i) {
        if (++depth <= limit) return true;
        placeOf(text, i, line, column);
        return !(tooDeep = true);
    }, [&](size_t) { return --depth, true; });
    if (!tooDeep) line = column = 1;
    return tooDeep;
}

bool unclosedElement(const std::string& text, std::string& name, int& line) {
    std::vector<size_t> open;  // where each element still open starts, outermost first
    bool stray = false;        // an end tag that closes no open element
    walkTags(text, [&](size_t i) { return open.push_back(i), true; }, [&](size_t i) {
        const std::string closing = tagName(text, i);
        if (!open.empty() && tagName(text, open.back()) == closing) return open.pop_back(), true;
        // An end tag for an element further out means the innermost open one was never closed.
        stray = true;
        for (size_t outer : open) stray = stray && tagName(text, outer) != closing;
        return false;
    });
    if (stray || open.empty()) return false;
    int column = 1;
    name = tagName(text, open.back());
    placeOf(text, open.back(), line, column);
    return true;
}

bool XMLSerializer::processDocument(TiXmlDocument* doc) {
    if (!doc) return false;
    TiXmlElement* root = doc->FirstChildElement();
    if (!root) return false;
    return processRoot(root);
}

std::string getAttributeString(TiXmlElement* element, const std::string& name, const std::string& defaultValue) {
    const char* value = element ? element->Attribute(name.c_str()) : nullptr;
    return value ? std::string(value) : defaultValue;
}

int32_t getAttributeInt(TiXmlElement* element, const std::string& name, int32_t defaultValue) {
    const char* value = element ? element->Attribute(name.c_str()) : nullptr;
    return value ? readInt(value) : defaultValue;
}

float getAttributeFloat(TiXmlElement* element, const std::string& name, float defaultValue) {
    const char* value = element ? element->Attribute(name.c_str()) : nullptr;
    if (!value) return defaultValue;
    std::istringstream stream(value);
    // A failed extraction stores 0.0 (and the type's limit on overflow), which is what we answer.
    float result = 0.0f;
    stream >> result;
    return result;
}

bool getAttributeBool(TiXmlElement* element, const std::string& name) {
    const char* value = element ? element->Attribute(name.c_str()) : nullptr;
    return value ? readInt(value) != 0 : false;
}

std::string getElementText(TiXmlElement* element) {
    if (!element) return std::string();
    const TiXmlNode* first = element->FirstChild();
    if (!first || !first->ToText()) return std::string();
    return first->Value();
}

}  // namespace QEL
