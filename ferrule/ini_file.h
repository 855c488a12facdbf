// Writes keys into an 8-bit ini file.
//
// The object remembers only the keys set through it. Saving lays them over the file's
// present content, so every other section, key and comment of the file is kept, and
// replaces the file in one step.
#pragma once

#include <string>
#include <vector>

class CIniFile {
public:
    CIniFile() = default;
    explicit CIniFile(const std::string& path);
    virtual ~CIniFile();

    // Sets the key in the object's lines; with `save`, saves at once.
    void SetString(const std::string& section, const std::string& key, const std::string& value,
                   bool save);
    void SetInt(const std::string& section, const std::string& key, int value, bool save);
    // Creates the file's folder and writes the file. True when it was written; always false
    // for an object without a path.
    bool Save();

    // The lines set through this object, in ini form.
    const std::vector<std::string>& GetLines() const { return lines_; }
    const std::string& GetPath() const { return path_; }
    bool GetLastResult() const { return lastResult_; }

    // Sets `key` in `section` of `lines`: an existing key of the section (compared without
    // regard to case) is replaced, a new one goes after the section's last entry, and a
    // missing section is appended with the key.
    static void SetInLines(std::vector<std::string>& lines, const std::string& section,
                           const std::string& key, const std::string& value);

private:
    std::string path_;
    std::vector<std::string> lines_;
    bool lastResult_ = false;
};
