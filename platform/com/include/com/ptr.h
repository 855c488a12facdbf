// An owning interface pointer: AddRef on copy, Release on reset and destruction.
#pragma once

#include <utility>

#include "com/hresult.h"

namespace com {

template <class T>
class Ptr {
public:
    Ptr() = default;
    Ptr(std::nullptr_t) {}
    // Takes a reference of its own (the caller keeps its reference).
    Ptr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    Ptr(const Ptr& other) : Ptr(other.p_) {}
    Ptr(Ptr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Ptr& operator=(Ptr other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~Ptr() { reset(); }

    // Takes over a reference the caller already owns (an out value of QueryInterface).
    static Ptr Adopt(T* p) {
        Ptr r;
        r.p_ = p;
        return r;
    }

    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // For out parameters: releases the current pointer and answers the slot to fill.
    T** Put() {
        reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(p_, nullptr); }

    // QueryInterface for U; null when the object does not answer U.
    template <class U>
    Ptr<U> As() const {
        Ptr<U> u;
        if (p_) p_->QueryInterface(U::kIid, u.PutVoid());
        return u;
    }

private:
    T* p_ = nullptr;
};

template <class T, class U>
bool operator==(const Ptr<T>& a, const Ptr<U>& b) {
    return a.get() == b.get();
}

}  // namespace com
