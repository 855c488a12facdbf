// Lenient decoding of standard Base64 (RFC 4648 alphabet) as the stream URLs carry it.
#pragma once

#include <cstddef>
#include <string>

// Line breaks between groups are skipped, characters outside the alphabet count as 0, a '='
// in the third or fourth place of a group ends the value, and a text that ends inside a
// group keeps the bytes its characters complete.
std::string Base64Decode(const char* text, std::size_t length);
std::string Base64Decode(const std::string& text);
