// A window that hosts one control: it creates the control by class id text (or ProgID)
// through the registry, or takes an object made elsewhere (a library's factory), places the
// control's window inside itself, answers the control's interfaces, and can itself be made a
// child of a foreign native window.
#pragma once

#include <QPointer>
#include <QWidget>

#include "com/interfaces.h"
#include "com/ptr.h"

namespace ax {

class HostWindow : public QWidget {
public:
    explicit HostWindow(QWidget* parent = nullptr);
    ~HostWindow() override;  // releases the control first

    // Replaces any earlier control. Text that is neither a "{...}" id nor a registered ProgID:
    // REGDB_E_CLASSNOTREG. A control without a window (no IWidgetObject) is kept all the same.
    // `unknown`, when given, receives a reference of its own.
    com::HRESULT CreateControl(const QString& classId, com::IUnknown** unknown = nullptr);
    // Hosts an existing object (a reference is taken); null releases the current one.
    void setControl(com::IUnknown* control);
    com::Ptr<com::IUnknown> control() const { return control_; }
    // QueryInterface on the hosted control; E_NOINTERFACE with *out null when there is none.
    long queryInterface(const com::IID& iid, void** out) const;
    QWidget* controlWidget() const { return controlWidget_; }
    void releaseControl();

    // Re-parents this window into `foreignWindow` at (0, 0) with its size, and shows it.
    // False when the handle is not a window or there is no X11 display.
    bool embedInto(unsigned long foreignWindow);

private:
    com::Ptr<com::IUnknown> control_;
    QPointer<QWidget> controlWidget_;
};

}  // namespace ax
