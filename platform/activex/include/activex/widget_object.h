// The interface through which a host reaches a control's window: every control made by this
// layer (ActiveX widgets and ATL-style controls) answers it, and a host window places the
// widget inside itself.
#pragma once

#include "com/interfaces.h"

class QWidget;

namespace ax {

struct IWidgetObject : com::IUnknown {
    using Base = com::IUnknown;
    static constexpr com::IID kIid = com::MakeGuid("{6E0C3A52-94D1-4B7E-8F26-D31A5C07B9E4}");

    // The control's window, created on the first call; it stays owned by the control (a host
    // may parent it, and the control then learns when it is destroyed).
    virtual QWidget* ControlWidget() = 0;
};

}  // namespace ax
