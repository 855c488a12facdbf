// The component interfaces of this layer. Every interface names its identifier as `kIid` and
// its parent interface as `Base`; objects implement them through com::Object (object.h).
// Calls by name pass their arguments in DispParams in the component convention: the LAST
// element of `rgvarg` is the FIRST argument. DispParams::FromArgs and Arg(i) hide that.
#pragma once

#include <cstddef>
#include <vector>

#include "com/bstr.h"
#include "com/guid.h"
#include "com/hresult.h"
#include "com/variant.h"

namespace com {

struct IUnknown {
    static constexpr IID kIid = MakeGuid("{00000000-0000-0000-C000-000000000046}");

    virtual HRESULT QueryInterface(const IID& iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    // Objects end through Release, never through delete on an interface pointer.
    virtual ~IUnknown() = default;
};

// Kinds of call for IDispatch::Invoke (may be combined; a method call that may also be read as
// a property passes both).
constexpr WORD DISPATCH_METHOD = 1;
constexpr WORD DISPATCH_PROPERTYGET = 2;
constexpr WORD DISPATCH_PROPERTYPUT = 4;

constexpr DISPID DISPID_UNKNOWN = -1;
constexpr DISPID DISPID_CAPTION = -518;

struct DispParams {
    std::vector<Variant> rgvarg;  // reversed: rgvarg.back() is the first argument

    static DispParams FromArgs(std::vector<Variant> args);  // args in declaration order
    std::size_t Count() const { return rgvarg.size(); }
    // The i-th argument in declaration order (i < Count()).
    const Variant& Arg(std::size_t i) const { return rgvarg[rgvarg.size() - 1 - i]; }
    std::vector<Variant> Args() const;  // declaration order
};

struct IDispatch : IUnknown {
    using Base = IUnknown;
    static constexpr IID kIid = MakeGuid("{00020400-0000-0000-C000-000000000046}");

    // Member names compare without regard to case. Unknown: DISP_E_UNKNOWNNAME, *id = -1.
    virtual HRESULT GetIDsOfNames(const std::string& name, DISPID* id) = 0;
    // `result` may be null when the caller wants no value back.
    virtual HRESULT Invoke(DISPID id, WORD flags, const DispParams& params, Variant* result) = 0;
};

struct IClassFactory : IUnknown {
    using Base = IUnknown;
    static constexpr IID kIid = MakeGuid("{00000001-0000-0000-C000-000000000046}");

    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** out) = 0;
    virtual HRESULT LockServer(bool lock) = 0;
};

struct IConnectionPoint : IUnknown {
    using Base = IUnknown;
    static constexpr IID kIid = MakeGuid("{B196B286-BAB4-101A-B69C-00AA00341D07}");

    virtual HRESULT GetConnectionInterface(IID* iid) = 0;
    // The sink must answer IDispatch; events arrive as its Invoke. Cookies are never 0.
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
    virtual HRESULT Unadvise(DWORD cookie) = 0;
};

struct IConnectionPointContainer : IUnknown {
    using Base = IUnknown;
    static constexpr IID kIid = MakeGuid("{B196B284-BAB4-101A-B69C-00AA00341D07}");

    virtual HRESULT FindConnectionPoint(const IID& events, IConnectionPoint** out) = 0;
};

constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_CALLER = 1;
constexpr DWORD INTERFACESAFE_FOR_UNTRUSTED_DATA = 2;

struct IObjectSafety : IUnknown {
    using Base = IUnknown;
    static constexpr IID kIid = MakeGuid("{CB5BDC81-93C1-11CF-8F20-00805F2CD064}");

    virtual HRESULT GetInterfaceSafetyOptions(const IID& iid, DWORD* supported, DWORD* enabled) = 0;
    virtual HRESULT SetInterfaceSafetyOptions(const IID& iid, DWORD mask, DWORD enabled) = 0;
};

// Named values handed to a control when it loads (a page's parameters) or saves.
struct IPropertyBag : IUnknown {
    using Base = IUnknown;
    static constexpr IID kIid = MakeGuid("{55272A00-42CB-11CE-8135-00AA004BB851}");

    // Absent names: E_INVALIDARG.
    virtual HRESULT Read(const std::string& name, Variant* value) = 0;
    virtual HRESULT Write(const std::string& name, const Variant& value) = 0;
};

struct IPersistPropertyBag : IUnknown {
    using Base = IUnknown;
    static constexpr IID kIid = MakeGuid("{37D84F60-42CB-11CE-8135-00AA004BB851}");

    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(IPropertyBag* bag) = 0;
    virtual HRESULT Save(IPropertyBag* bag, bool clearDirty, bool saveAllProperties) = 0;
};

}  // namespace com
