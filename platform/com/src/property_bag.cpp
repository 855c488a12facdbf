#include "com/property_bag.h"

#include "text_util.h"

namespace com {

HRESULT PropertyBag::Read(const std::string& name, Variant* value) {
    if (!value) return E_POINTER;
    auto it = values_.find(detail::ToLower(name));
    if (it == values_.end()) return E_INVALIDARG;
    *value = it->second;
    return S_OK;
}

HRESULT PropertyBag::Write(const std::string& name, const Variant& value) {
    values_[detail::ToLower(name)] = value;
    return S_OK;
}

}  // namespace com
