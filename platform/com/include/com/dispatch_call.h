// Calling an IDispatch by member name: the name is looked up, then invoked.
#pragma once

#include <string>
#include <vector>

#include "com/interfaces.h"

namespace com {

// Method call (DISPATCH_METHOD); `args` in declaration order; `result` may be null.
HRESULT CallMethod(IDispatch* target, const std::string& name, std::vector<Variant> args = {},
                   Variant* result = nullptr);
HRESULT GetProperty(IDispatch* target, const std::string& name, Variant* value);
HRESULT PutProperty(IDispatch* target, const std::string& name, const Variant& value);

}  // namespace com
