// Reference counting and QueryInterface for objects that implement interfaces:
//
//   class Greeter final : public com::Object<Greeter, IGreeter, com::IConnectionPointContainer> {
//       ...implement the interface methods...
//   };
//   com::Ptr<Greeter> g = com::MakeObject<Greeter>(args...);
//
// QueryInterface answers IUnknown, every listed interface and their parent interfaces, then
// asks QueryOther (for parts such as aggregates). The object deletes itself on the last Release.
#pragma once

#include <atomic>
#include <type_traits>

#include "com/interfaces.h"
#include "com/ptr.h"

namespace com {

namespace detail {

// Objects alive in this module, for DllCanUnloadNow.
std::atomic<long>& LiveObjectCount();

template <class I, class Leaf, class Self>
void* FindInterface(Self* self, const IID& iid) {
    if (iid == I::kIid) return static_cast<I*>(static_cast<Leaf*>(self));
    if constexpr (!std::is_same_v<typename I::Base, IUnknown>)
        return FindInterface<typename I::Base, Leaf>(self, iid);
    return nullptr;
}

template <class First, class...>
struct FirstOf {
    using Type = First;
};

}  // namespace detail

template <class Derived, class... Interfaces>
class Object : public Interfaces... {
public:
    Object() { ++detail::LiveObjectCount(); }
    Object(const Object&) = delete;
    Object& operator=(const Object&) = delete;

    HRESULT QueryInterface(const IID& iid, void** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        void* found = nullptr;
        if (iid == IUnknown::kIid) {
            found = Unknown();
        } else {
            ((found = found ? found : detail::FindInterface<Interfaces, Interfaces>(this, iid)),
             ...);
        }
        if (!found) return QueryOther(iid, out);
        AddRef();
        *out = found;
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        ULONG left = --refs_;
        if (left == 0) delete this;
        return left;
    }

    // The object's identity (the same pointer for every QueryInterface of IUnknown).
    IUnknown* Unknown() {
        using First = typename detail::FirstOf<Interfaces...>::Type;
        return static_cast<IUnknown*>(static_cast<First*>(this));
    }

protected:
    ~Object() override { --detail::LiveObjectCount(); }
    // Interfaces answered by parts outside the list; must AddRef what it hands out.
    virtual HRESULT QueryOther(const IID&, void**) { return E_NOINTERFACE; }

private:
    std::atomic<ULONG> refs_{0};
};

// Creates an object and answers the first reference to it.
template <class T, class... Args>
Ptr<T> MakeObject(Args&&... args) {
    return Ptr<T>(new T(std::forward<Args>(args)...));
}

}  // namespace com
