#include "xml/xmlSchema.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "xml/XMLSerializer.h"

namespace QEL {

namespace {

// A reader asking for a name its table lacks would silently read nothing: a fault of the program.
[[noreturn]] void unknownName(const std::string& name) {
    std::fprintf(stderr, "format table: nothing named %s\n", name.c_str());
    std::abort();
}

bool same(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

}  // namespace

const attributeRule* elementRule::attribute(const std::string& wanted) const {
    for (const attributeRule& rule : attributes) {
        if (wanted == rule.name) return &rule;
    }
    return nullptr;
}

const textRule* elementRule::textRuleFor(const std::string& text) const {
    const textRule* other = nullptr;
    for (const textRule& rule : texts) {
        if (!rule.text) other = &rule;
        else if (text == rule.text) return &rule;
    }
    return other;
}

bool elementRule::restates(const std::string& text) const {
    return std::any_of(restating.begin(), restating.end(), [&text](const char* restated) { return text == restated; });
}

const elementRule& xmlSchema::element(const std::string& name, const char* parent) const {
    for (const elementRule& rule : rules) {
        if (name == rule.name && (!parent || same(parent, rule.parent))) return rule;
    }
    unknownName("<" + name + ">");
}

std::vector<const elementRule*> xmlSchema::children(const elementRule& parent) const {
    std::vector<const elementRule*> result;
    for (const elementRule& rule : rules) {
        if (same(rule.parent, parent.name)) result.push_back(&rule);
    }
    return result;
}

const elementRule* xmlSchema::child(const elementRule& parent, const std::string& name) const {
    for (const elementRule* rule : children(parent)) {
        if (name == rule->name) return rule;
    }
    return nullptr;
}

const attributeRule& ruledElement::attribute(const char* name) const {
    if (const attributeRule* found = rule.attribute(name)) return *found;
    unknownName(std::string(rule.name) + " " + name);
}

std::string ruledElement::text(const char* name) const { return getAttributeString(element, name, attribute(name).fallback); }

int32_t ruledElement::integer(const char* name) const {
    return getAttributeInt(element, name, std::atoi(attribute(name).fallback));
}

float ruledElement::number(const char* name) const {
    return getAttributeFloat(element, name, std::strtof(attribute(name).fallback, nullptr));
}

bool ruledElement::on(const char* name) const {
    return attribute(name).type == valueType::isTrue ? text(name) == "true" : getAttributeBool(element, name);
}

const textRule* ruledElement::content() const { return element ? rule.textRuleFor(getElementText(element)) : nullptr; }

}  // namespace QEL
