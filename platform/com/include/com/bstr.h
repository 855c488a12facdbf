// The text type of component interfaces: UTF-8, with a null state distinct from the empty
// text (an interface may hand out "no text"); callers that do not care read a null text as "".
#pragma once

#include <string>
#include <utility>

namespace com {

class Bstr {
public:
    Bstr() = default;  // null
    Bstr(const char* text) : null_(text == nullptr), text_(text ? text : "") {}
    Bstr(std::string text) : null_(false), text_(std::move(text)) {}

    bool IsNull() const { return null_; }
    bool empty() const { return text_.empty(); }
    // The text; "" for a null text.
    const std::string& str() const { return text_; }
    const char* c_str() const { return text_.c_str(); }

    // Null and empty texts compare equal: both mean "no text" to every caller of this layer.
    friend bool operator==(const Bstr& a, const Bstr& b) { return a.text_ == b.text_; }
    friend bool operator!=(const Bstr& a, const Bstr& b) { return !(a == b); }

private:
    bool null_ = true;
    std::string text_;
};

using BSTR = Bstr;

}  // namespace com
