#include "xml/wellFormed.h"

#include <expat.h>

#include <memory>

namespace QEL {

namespace {

struct parserDeleter {
    void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};
using parserHandle = std::unique_ptr<XML_ParserStruct, parserDeleter>;

struct subsetSeen {
    XML_Parser parser = nullptr;
    bool found = false;
    int line = 1, column = 1;
};

void XMLCALL onDoctype(void* data, const XML_Char*, const XML_Char*, const XML_Char*, int hasInternalSubset) {
    auto* seen = static_cast<subsetSeen*>(data);
    if (!hasInternalSubset || seen->found) return;
    seen->found = true;
    seen->line = static_cast<int>(XML_GetCurrentLineNumber(seen->parser));
    seen->column = static_cast<int>(XML_GetCurrentColumnNumber(seen->parser)) + 1;
}

// The parser's words, and what they usually mean when they name a character rather than a mistake.
// A '&' or '<' in text that starts nothing is reported at the character after it.
std::string described(XML_Error code, const std::string& text, XML_Index at) {
    std::string message = XML_ErrorString(code);
    const char before = at >= 1 && static_cast<size_t>(at) <= text.size() ? text[static_cast<size_t>(at) - 1] : '\0';
    if (code == XML_ERROR_INVALID_TOKEN && before == '&') {
        message += " (an '&' that starts no entity such as &amp; must be written &amp;)";
    } else if (code == XML_ERROR_INVALID_TOKEN && before == '<') {
        message += " (a '<' that starts no tag must be written &lt;)";
    } else if (code == XML_ERROR_JUNK_AFTER_DOC_ELEMENT) {
        message += " (a file holds one root element; nothing but comments may follow it)";
    }
    return message;
}

}  // namespace

xmlProblem strictProblem(const std::string& text) {
    xmlProblem problem;
    parserHandle parser(XML_ParserCreate(nullptr));
    if (!parser) {
        problem.message = "the XML parser could not be started (out of memory)";
        return problem;
    }
    if (XML_Parse(parser.get(), text.data(), static_cast<int>(text.size()), 1) != XML_STATUS_ERROR) return problem;
    const XML_Error code = XML_GetErrorCode(parser.get());
    problem.line = static_cast<int>(XML_GetCurrentLineNumber(parser.get()));
    problem.column = static_cast<int>(XML_GetCurrentColumnNumber(parser.get())) + 1;
    problem.message = described(code, text, XML_GetCurrentByteIndex(parser.get()));
    return problem;
}

bool internalSubset(const std::string& text, int& line, int& column) {
    parserHandle parser(XML_ParserCreate(nullptr));
    if (!parser) return false;
    subsetSeen seen;
    seen.parser = parser.get();
    XML_SetUserData(parser.get(), &seen);
    XML_SetStartDoctypeDeclHandler(parser.get(), onDoctype);
    XML_Parse(parser.get(), text.data(), static_cast<int>(text.size()), 1);
    line = seen.line;
    column = seen.column;
    return seen.found;
}

bool looksUtf16(const std::string& text) {
    if (text.size() < 2) return false;
    const unsigned char a = static_cast<unsigned char>(text[0]), b = static_cast<unsigned char>(text[1]);
    return (a == 0xFF && b == 0xFE) || (a == 0xFE && b == 0xFF) || (a == '<' && b == 0) || (a == 0 && b == '<');
}

}  // namespace QEL
