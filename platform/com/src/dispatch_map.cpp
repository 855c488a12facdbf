#include "com/dispatch_map.h"

#include "text_util.h"

namespace com {

DispatchMap::Member& DispatchMap::Entry(const std::string& name, DISPID id) {
    for (Member& m : members_)
        if (m.id == id) return m;
    members_.push_back(Member{name, id, {}, 0, {}, {}});
    return members_.back();
}

const DispatchMap::Member* DispatchMap::Find(DISPID id) const {
    for (const Member& m : members_)
        if (m.id == id) return &m;
    return nullptr;
}

DispatchMap& DispatchMap::AddMethod(const std::string& name, DISPID id, int argumentCount,
                                    Method method) {
    Member& m = Entry(name, id);
    m.method = std::move(method);
    m.argumentCount = argumentCount;
    return *this;
}

DispatchMap& DispatchMap::AddProperty(const std::string& name, DISPID id, Getter get, Setter put) {
    Member& m = Entry(name, id);
    m.get = std::move(get);
    m.put = std::move(put);
    return *this;
}

HRESULT DispatchMap::GetIDsOfNames(const std::string& name, DISPID* id) const {
    if (!id) return E_POINTER;
    for (const Member& m : members_) {
        if (detail::EqualsNoCase(m.name, name)) {
            *id = m.id;
            return S_OK;
        }
    }
    *id = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

HRESULT DispatchMap::Invoke(DISPID id, WORD flags, const DispParams& params,
                            Variant* result) const {
    const Member* m = Find(id);
    if (!m) return DISP_E_MEMBERNOTFOUND;
    Variant scratch;
    Variant* out = result ? result : &scratch;
    const std::size_t count = params.Count();

    if (flags & DISPATCH_PROPERTYPUT) {
        if (!m->put) return DISP_E_MEMBERNOTFOUND;
        if (count != 1) return DISP_E_BADPARAMCOUNT;
        return m->put(params.Arg(0));
    }
    if ((flags & DISPATCH_METHOD) && m->method) {
        if (count == static_cast<std::size_t>(m->argumentCount)) {
            *out = Variant();
            return m->method(params.Args(), out);
        }
        if (!((flags & DISPATCH_PROPERTYGET) && m->get && count == 0)) return DISP_E_BADPARAMCOUNT;
    }
    if ((flags & DISPATCH_PROPERTYGET) && m->get) {
        if (count != 0) return DISP_E_BADPARAMCOUNT;
        *out = Variant();
        return m->get(out);
    }
    return DISP_E_MEMBERNOTFOUND;
}

}  // namespace com
