// Trimming, case folding and splitting of 8-bit text.
#pragma once

#include <list>
#include <string>
#include <vector>

// White space removed at both ends (" \t\n\r").
std::string TrimString(const std::string& text);
std::string TrimLeft(const std::string& text);
std::string TrimRight(const std::string& text);

// ASCII letters lower-cased; other bytes unchanged.
std::string ToLower(std::string text);

// The runs of characters between any of the delimiter characters; empty runs are dropped.
std::vector<std::string> SplitString(const std::string& text, const std::string& delimiters);

// Splits at a one-character separator (a trailing separator ends the last piece). Empty
// pieces are kept unless skipEmpty is set. The pieces are appended to `into`.
void SplitText(const std::string& text, char separator, std::list<std::string>& into,
               bool skipEmpty);

// "%d".
std::string IntToString(int n);
