#include "com/dispatch_call.h"

namespace com {

namespace {

HRESULT InvokeNamed(IDispatch* target, const std::string& name, WORD flags,
                    std::vector<Variant> args, Variant* result) {
    if (!target) return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = target->GetIDsOfNames(name, &id);
    if (FAILED(hr)) return hr;
    return target->Invoke(id, flags, DispParams::FromArgs(std::move(args)), result);
}

}  // namespace

HRESULT CallMethod(IDispatch* target, const std::string& name, std::vector<Variant> args,
                   Variant* result) {
    return InvokeNamed(target, name, DISPATCH_METHOD, std::move(args), result);
}

HRESULT GetProperty(IDispatch* target, const std::string& name, Variant* value) {
    if (!value) return E_POINTER;
    return InvokeNamed(target, name, DISPATCH_PROPERTYGET, {}, value);
}

HRESULT PutProperty(IDispatch* target, const std::string& name, const Variant& value) {
    return InvokeNamed(target, name, DISPATCH_PROPERTYPUT, {value}, nullptr);
}

}  // namespace com
