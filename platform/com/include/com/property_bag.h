// A property bag in memory: what a host fills with a page's parameters before it asks a
// control to load, and what a control saves into. Names compare without regard to case.
#pragma once

#include <map>
#include <string>

#include "com/object.h"

namespace com {

class PropertyBag final : public Object<PropertyBag, IPropertyBag> {
public:
    HRESULT Read(const std::string& name, Variant* value) override;
    HRESULT Write(const std::string& name, const Variant& value) override;

    const std::map<std::string, Variant>& Values() const { return values_; }  // lower-case keys

private:
    std::map<std::string, Variant> values_;
};

}  // namespace com
