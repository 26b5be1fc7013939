#include "base/dataFileReader.h"

#include "base/assetPath.h"

#include <cstdlib>
#include <fstream>
#include <iostream>

namespace QEL {

dataFileReader::dataFileReader(const std::string& path) { readDataFile(path); }

void dataFileReader::readDataFile(const std::string& path) {
    std::ifstream file(path);
    if (!file) {
        std::cout << "[dataFileReader] could not open data file: " << path << "\n";
        return;
    }
    std::cout << "[dataFileReader] Reading data file: " << path << "\n";
    std::string line;
    while (std::getline(file, line)) {
        // The catalogue may come from another platform: a carriage return is not part of the line.
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> tokens;
        splitString(line, "=", tokens);
        if (tokens.empty()) continue;  // a line of "=" only names nothing
        std::string key = tokens[0];
        std::string value = tokens.size() > 1 ? tokens[1] : std::string();
        trimSpaces(key);
        trimSpaces(value);
        setValue(key, value);
    }
}

std::string dataFileReader::getValue(const std::string& key) const {
    for (size_t i = 0; i < keys.size(); ++i)
        if (keys[i] == key) return values[i];
    return std::string();
}

void dataFileReader::setValue(const std::string& key, const std::string& value) {
    for (size_t i = 0; i < keys.size(); ++i) {
        if (keys[i] == key) {
            values[i] = value;
            return;
        }
    }
    keys.push_back(key);
    values.push_back(value);
}

void splitString(const std::string& text, const std::string& delimiters, std::vector<std::string>& tokens) {
    size_t start = text.find_first_not_of(delimiters);
    while (start != std::string::npos) {
        size_t end = text.find_first_of(delimiters, start);
        tokens.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) break;
        start = text.find_first_not_of(delimiters, end);
    }
}

void trimSpaces(std::string& text) {
    size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    size_t last = text.find_last_not_of(' ');
    text = text.substr(first, last - first + 1);
}

int readDamageSetting() {
    if (!assetFileExists("damage", "txt")) return 0;
    std::ifstream file(assetPath("damage", "txt"));
    std::string line;
    std::getline(file, line);
    return std::atoi(line.c_str());
}

}  // namespace QEL
