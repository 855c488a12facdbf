// Ini files with Windows profile semantics, shared by every module.
//
// Sections and keys compare without regard to case; a value is the raw text after the first
// '=' with leading and trailing blanks trimmed; lines beginning with ';' are comments; a
// missing file reads as empty. Writing keeps every other line, section and key in place,
// appends a missing section at the end, creates the file (and its folder), and replaces the
// file atomically (temporary file + rename) so a crash never leaves half a file.
// Paths may use '\' or '/'.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace platform {

std::string IniReadString(const std::string& path, const std::string& section,
                          const std::string& key, const std::string& defaultValue = "");

// Like GetPrivateProfileInt: optional sign and leading decimal digits of the value;
// `defaultValue` when the key is missing or its value does not start with a number.
int IniReadInt(const std::string& path, const std::string& section, const std::string& key,
               int defaultValue);

// True when the file was written.
bool IniWriteString(const std::string& path, const std::string& section, const std::string& key,
                    const std::string& value);

// Removes one key; true when the file no longer holds it (also when it never did).
bool IniDeleteKey(const std::string& path, const std::string& section, const std::string& key);

// Section names in file order, and the keys of one section in file order.
std::vector<std::string> IniSections(const std::string& path);
std::vector<std::string> IniKeys(const std::string& path, const std::string& section);

// Read-modify-write of a whole ini file under the same lock as IniWriteString, for a writer
// with rules of its own or with many changes at once: `change` gets the file's present text
// (empty when there is no file) and answers the new text, which is written only when it
// differs. False when the folder, the lock, the read or the write failed.
bool IniRewrite(const std::string& path,
                const std::function<std::string(const std::string& present)>& change);

// The reads and changes above on an ini text in memory, for the `change` of IniRewrite.
// IniTextWriteString leaves the text alone and answers false when the format cannot hold the
// section, key or value.
std::string IniTextReadString(const std::string& text, const std::string& section,
                              const std::string& key, const std::string& defaultValue = "");
bool IniTextWriteString(std::string& text, const std::string& section, const std::string& key,
                        const std::string& value);
void IniTextDeleteKey(std::string& text, const std::string& section, const std::string& key);

// Writes `content` to `path` through a temporary file in the same folder and a rename.
bool WriteFileAtomically(const std::string& path, const std::string& content);

}  // namespace platform
