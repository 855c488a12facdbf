#include "activex/host_window.h"

#include <QVBoxLayout>

#include "activex/widget_object.h"
#include "com/create.h"
#include "window/embed.h"

namespace ax {

HostWindow::HostWindow(QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);  // owned by this window
    layout->setContentsMargins(0, 0, 0, 0);
}

HostWindow::~HostWindow() { releaseControl(); }

void HostWindow::releaseControl() {
    if (controlWidget_) layout()->removeWidget(controlWidget_);
    controlWidget_ = nullptr;
    control_.reset();  // the control deletes its window with its last reference
}

com::HRESULT HostWindow::CreateControl(const QString& classId, com::IUnknown** unknown) {
    if (unknown) *unknown = nullptr;
    releaseControl();
    const std::optional<com::CLSID> clsid = com::ClsidFromText(classId.trimmed().toStdString());
    if (!clsid) return com::REGDB_E_CLASSNOTREG;
    com::Ptr<com::IUnknown> control;
    const com::HRESULT hr =
        com::CreateInstance(*clsid, nullptr, com::IUnknown::kIid, control.PutVoid());
    if (com::FAILED(hr)) return hr;
    setControl(control.get());
    if (unknown) *unknown = control.Detach();
    return com::S_OK;
}

void HostWindow::setControl(com::IUnknown* control) {
    com::Ptr<com::IUnknown> keep(control);  // `control` may be the one released below
    releaseControl();
    control_ = keep;
    if (com::Ptr<IWidgetObject> object = keep.As<IWidgetObject>()) {
        if (QWidget* widget = object->ControlWidget()) {
            controlWidget_ = widget;
            layout()->addWidget(widget);
            widget->show();
        }
    }
}

long HostWindow::queryInterface(const com::IID& iid, void** out) const {
    if (!out) return com::E_POINTER;
    *out = nullptr;
    return control_ ? control_->QueryInterface(iid, out) : com::E_NOINTERFACE;
}

bool HostWindow::embedInto(unsigned long foreignWindow) {
    return platform::window::EmbedWidget(this, foreignWindow);
}

}  // namespace ax
