#include "com/variant.h"

#include <string>

namespace com {

Variant Variant::Null() {
    Variant v;
    v.value_ = NullTag{};
    return v;
}

VarType Variant::Type() const {
    switch (value_.index()) {
        case 1:
            return VT_NULL;
        case 2:
            return VT_BOOL;
        case 3:
            return VT_I4;
        case 4:
            return VT_BSTR;
        default:
            return VT_EMPTY;
    }
}

bool Variant::BoolValue() const {
    const bool* b = std::get_if<bool>(&value_);
    return b ? *b : false;
}

std::int32_t Variant::IntValue() const {
    const std::int32_t* i = std::get_if<std::int32_t>(&value_);
    return i ? *i : 0;
}

const std::string& Variant::TextValue() const {
    static const std::string kEmpty;
    const std::string* s = std::get_if<std::string>(&value_);
    return s ? *s : kEmpty;
}

HRESULT Variant::ChangeTypeToText() {
    switch (Type()) {
        case VT_NULL:
            return DISP_E_TYPEMISMATCH;
        case VT_EMPTY:
            value_ = std::string();
            break;
        case VT_BOOL:
            value_ = std::string(BoolValue() ? "true" : "false");
            break;
        case VT_I4:
            value_ = std::to_string(IntValue());
            break;
        case VT_BSTR:
            break;
    }
    return S_OK;
}

}  // namespace com
