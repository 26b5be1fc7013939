#include "check/findings.h"

#include <algorithm>

#include <tinyxml.h>

namespace QEL {

void findingList::add(const std::string& file, int line, int column, findingKind kind, const std::string& message) {
    if (std::find(fileOrder.begin(), fileOrder.end(), file) == fileOrder.end()) fileOrder.push_back(file);
    findings.push_back(finding{file, std::max(line, 1), std::max(column, 1), kind, message});
    if (kind == findingKind::error) {
        ++errors;
    } else {
        ++warnings;
    }
}

void findingList::add(const std::string& file, const TiXmlBase* node, findingKind kind, const std::string& message) {
    add(file, node ? node->Row() : 1, node ? node->Column() : 1, kind, message);
}

size_t findingList::errorsIn(const std::string& file) const {
    return static_cast<size_t>(std::count_if(findings.begin(), findings.end(), [&](const finding& f) {
        return f.file == file && f.kind == findingKind::error;
    }));
}

std::vector<const finding*> findingList::inPrintOrder() const {
    std::vector<const finding*> order;
    for (const finding& f : findings) order.push_back(&f);
    auto fileRank = [this](const std::string& file) {
        return std::find(fileOrder.begin(), fileOrder.end(), file) - fileOrder.begin();
    };
    std::stable_sort(order.begin(), order.end(), [&](const finding* a, const finding* b) {
        if (a->file != b->file) return fileRank(a->file) < fileRank(b->file);
        if (a->line != b->line) return a->line < b->line;
        return a->column < b->column;
    });
    return order;
}

std::string findingList::lineOf(const finding& f) {
    return f.file + ':' + std::to_string(f.line) + ':' + std::to_string(f.column) + ": " +
           (f.kind == findingKind::error ? "error" : "warning") + ": " + f.message;
}

void findingList::print(std::ostream& out) const {
    for (const finding* f : inPrintOrder()) out << lineOf(*f) << '\n';
}

}  // namespace QEL
