// The value type of calls by name: empty, null, bool, 32-bit integer or text. The type codes
// keep the numbers that callers compare against (empty 0, null 1, int 3, text 8, bool 11).
#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "com/bstr.h"
#include "com/hresult.h"

namespace com {

enum VarType : std::uint16_t {
    VT_EMPTY = 0,
    VT_NULL = 1,
    VT_I4 = 3,
    VT_BSTR = 8,
    VT_BOOL = 11,
};

class Variant {
public:
    Variant() = default;  // empty
    Variant(bool value) : value_(value) {}
    Variant(std::int32_t value) : value_(value) {}
    Variant(const char* text) : value_(std::string(text ? text : "")) {}
    Variant(std::string text) : value_(std::move(text)) {}
    Variant(const Bstr& text) : value_(text.str()) {}
    static Variant Null();

    VarType Type() const;
    bool IsEmpty() const { return Type() == VT_EMPTY; }
    bool IsNull() const { return Type() == VT_NULL; }

    // The stored value when the type matches; false, 0 and "" otherwise.
    bool BoolValue() const;
    std::int32_t IntValue() const;
    const std::string& TextValue() const;
    Bstr ToBstr() const { return Bstr(TextValue()); }

    // Turns the value into text in place: empty gives "", bool "true"/"false", an integer its
    // decimal form, text stays. A null value cannot be text: DISP_E_TYPEMISMATCH, unchanged.
    HRESULT ChangeTypeToText();

    // Equal when both type and value are equal.
    friend bool operator==(const Variant& a, const Variant& b) { return a.value_ == b.value_; }
    friend bool operator!=(const Variant& a, const Variant& b) { return !(a == b); }

private:
    struct NullTag {
        bool operator==(const NullTag&) const { return true; }
    };
    std::variant<std::monostate, NullTag, bool, std::int32_t, std::string> value_;
};

}  // namespace com
