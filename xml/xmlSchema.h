// A file format written down once, element by element: where each element sits, whether every
// copy of it is read or only the first, its attributes (how each is read, what a missing one reads
// as, what it means) and the contents the reader tells apart. The readers of a file take their
// attribute names and missing values from its table, kablix-check the names, slots and contents it
// accepts, and the format guide its reference tables. Each format's table lives beside the lowest
// reader of its file (weapon/weaponFormat.cpp, effects/hitEffectsFormat.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tinyxml.h>

namespace QEL {

// How an attribute's text is read (the attribute readers of XMLSerializer.h).
enum class valueType {
    text,     // as written
    integer,  // a whole number, read like atoi
    number,   // a decimal number
    nonZero,  // a switch: on when it reads as a whole number other than 0
    isTrue,   // a switch: on for the text "true" only
};

// Numbered places that one element fills by its id and others name, such as image slots 0 to 14.
struct slotRule {
    const char* noun;         // "image slot"
    const char* article;      // "an", as findings say "is not an image slot"
    int32_t count;            // the slots are 0 to count - 1
    const char* filledBy;     // the element whose id fills one
    const char* skippedLine;  // what the reader logs when it skips an element whose id is no slot
};

struct attributeRule {
    const char* name;
    valueType type;
    const char* fallback;            // what a missing attribute reads as, written as a file would
    const char* meaning;             // one line of the format guide
    const slotRule* slot = nullptr;  // the slots it fills or names
};

// A content an element is compared with (exactly) and the value the reader makes of it. A null
// text stands for every other content, which the reader then also takes.
struct textRule {
    const char* text;
    int32_t value;
};

struct elementRule {
    const char* name;
    const char* parent;  // null for the root
    bool repeats;        // every child of this name is read, one after another; else only the first
    const char* meaning;
    std::vector<attributeRule> attributes = {};
    std::vector<textRule> texts = {};         // the contents the reader tells apart; empty: none
    std::vector<const char*> restating = {};  // other contents that change nothing: they restate the default

    const attributeRule* attribute(const std::string& name) const;  // null when it has none of that name
    // The rule for the content `text`: its own, else the one for every other content, else null.
    const textRule* textRuleFor(const std::string& text) const;
    bool restates(const std::string& text) const;
};

// A format: the root first, each parent before its children, children in the order they are read.
struct xmlSchema {
    std::vector<elementRule> rules;

    const elementRule& root() const { return rules.front(); }
    // The rule of element `name` (under `parent` when given); none is a fault of the program.
    const elementRule& element(const std::string& name, const char* parent = nullptr) const;
    std::vector<const elementRule*> children(const elementRule& parent) const;
    const elementRule* child(const elementRule& parent, const std::string& name) const;  // null: unknown
};

// One element read through its rule: each attribute by its name, a missing one (and every one of
// a null element) as the rule's fallback. A name the rule lacks is a fault of the program.
class ruledElement {
public:
    ruledElement(TiXmlElement* element, const elementRule& rule) : element(element), rule(rule) {}

    std::string text(const char* name) const;
    int32_t integer(const char* name) const;
    float number(const char* name) const;
    bool on(const char* name) const;  // a nonZero or isTrue switch
    // The rule for the element's content (elementRule::textRuleFor); null for a null element.
    const textRule* content() const;

    TiXmlElement* const element;
    const elementRule& rule;

private:
    const attributeRule& attribute(const char* name) const;
};

// Visits the children of `parent` that `rule` describes: each in turn when it repeats, else the first.
template <typename Visit>
void forEachChild(TiXmlElement* parent, const elementRule& rule, Visit visit) {
    if (!parent) return;
    for (TiXmlElement* child = parent->FirstChildElement(rule.name); child;
         child = rule.repeats ? child->NextSiblingElement(rule.name) : nullptr) {
        visit(child);
    }
}

}  // namespace QEL
