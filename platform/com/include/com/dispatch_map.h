// Calls by name for plain C++ objects: a table of members (methods with a fixed argument count,
// properties with a getter and an optional setter), each with its DISPID. An object's
// IDispatch methods forward to GetIDsOfNames and Invoke of its table.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "com/interfaces.h"

namespace com {

class DispatchMap {
public:
    using Method = std::function<HRESULT(const std::vector<Variant>& args, Variant* result)>;
    using Getter = std::function<HRESULT(Variant* value)>;
    using Setter = std::function<HRESULT(const Variant& value)>;

    // A member with the same DISPID as an earlier one joins it (a property may also be a method).
    DispatchMap& AddMethod(const std::string& name, DISPID id, int argumentCount, Method method);
    DispatchMap& AddProperty(const std::string& name, DISPID id, Getter get, Setter put = {});

    HRESULT GetIDsOfNames(const std::string& name, DISPID* id) const;
    // Arguments reach a method in declaration order. Unknown id or a kind of call that the
    // member lacks: DISP_E_MEMBERNOTFOUND; wrong argument count: DISP_E_BADPARAMCOUNT.
    HRESULT Invoke(DISPID id, WORD flags, const DispParams& params, Variant* result) const;

private:
    struct Member {
        std::string name;
        DISPID id = DISPID_UNKNOWN;
        Method method;
        int argumentCount = 0;
        Getter get;
        Setter put;
    };
    Member& Entry(const std::string& name, DISPID id);
    const Member* Find(DISPID id) const;

    std::vector<Member> members_;
};

}  // namespace com
