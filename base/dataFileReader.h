// A reader of key=value text files. The program has one: the weapon catalogue "gunList.txt",
// read once at start-up and owned by main for the whole run.
#pragma once

#include <string>
#include <vector>

namespace QEL {

class dataFileReader {
public:
    // Reads `path` at once; a missing file leaves the reader empty (with its line on stdout).
    explicit dataFileReader(const std::string& path);

    void readDataFile(const std::string& path);

    // The value stored for `key` (case-sensitive), or an empty string when the key is missing.
    std::string getValue(const std::string& key) const;

    // A key seen before keeps its place and takes the new value; a new key is appended.
    void setValue(const std::string& key, const std::string& value);

    // The keys in the order first read.
    const std::vector<std::string>& keyList() const { return keys; }

private:
    // keys[i] belongs to values[i]; keys are unique and kept in the order first read.
    std::vector<std::string> keys;
    std::vector<std::string> values;
};

// Appends to `tokens` the maximal runs of `text` containing none of `delimiters`.
void splitString(const std::string& text, const std::string& delimiters, std::vector<std::string>& tokens);

// Removes leading, then trailing space characters (only ' ', not tabs) in place.
void trimSpaces(std::string& text);

// The first line of ../assets/damage.txt read like atoi, or 0 when the file does not exist.
int readDamageSetting();

}  // namespace QEL
