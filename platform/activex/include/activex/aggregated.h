// A part of a control that answers extra interfaces on the control's behalf (object safety,
// for one). Its interfaces' IUnknown methods forward to the controlling unknown, so the
// control's identity and reference count stay one.
#pragma once

#include "com/interfaces.h"

class QObject;
class QWidget;

namespace ax {

namespace detail {
class ServerObject;
}

class Aggregated {
public:
    Aggregated() = default;
    Aggregated(const Aggregated&) = delete;
    Aggregated& operator=(const Aggregated&) = delete;
    virtual ~Aggregated();

    // Answers the interface with a reference added through controllingUnknown(), or
    // E_NOINTERFACE with *iface null.
    virtual long queryInterface(const com::IID& iid, void** iface) = 0;

protected:
    com::IUnknown* controllingUnknown() const { return controlling_; }
    QObject* object() const { return object_; }
    QWidget* widget() const;

private:
    friend class detail::ServerObject;
    com::IUnknown* controlling_ = nullptr;
    QObject* object_ = nullptr;
};

}  // namespace ax
