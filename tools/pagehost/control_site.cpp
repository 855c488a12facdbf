#include "control_site.h"

#include <QDebug>

#include "activex/variant_conversion.h"
#include "com/create.h"
#include "com/dispatch_call.h"
#include "com/property_bag.h"

namespace {

QString Hex(com::HRESULT hr) {
    return QStringLiteral("0x%1").arg(static_cast<unsigned>(hr), 8, 16, QLatin1Char('0'));
}

// What a container hands a control that loads from a page: every attribute and parameter.
com::Ptr<com::PropertyBag> Parameters(const QStringList& names, const QStringList& values) {
    com::Ptr<com::PropertyBag> bag = com::MakeObject<com::PropertyBag>();
    for (int i = 0; i < names.size() && i < values.size(); ++i)
        bag->Write(names[i].toStdString(), com::Variant(values[i].toStdString()));
    return bag;
}

}  // namespace

ControlSite* ControlSite::Create(const QString& classId, const QStringList& names,
                                 const QStringList& values, QString& error) {
    const std::optional<com::CLSID> clsid = com::ClsidFromText(classId.trimmed().toStdString());
    if (!clsid) {
        error = QStringLiteral("no registered class \"%1\"").arg(classId);
        return nullptr;
    }
    com::Ptr<com::IUnknown> control;
    com::HRESULT hr = com::CreateInstance(*clsid, nullptr, com::IUnknown::kIid, control.PutVoid());
    if (com::SUCCEEDED(hr)) {
        if (com::Ptr<com::IPersistPropertyBag> persist = control.As<com::IPersistPropertyBag>())
            hr = persist->Load(Parameters(names, values).get());
    }
    if (com::FAILED(hr)) {
        error = QStringLiteral("class \"%1\" cannot be made (%2) %3")
                    .arg(classId, Hex(hr), QString::fromStdString(com::LastLoadError()));
        return nullptr;
    }
    auto* site = new ControlSite;  // the page owns it from here
    site->setControl(control.get());
    return site;
}

com::Variant ControlSite::Get(const char* name) const {
    com::Ptr<com::IDispatch> dispatch;
    com::Variant value;
    if (com::SUCCEEDED(queryInterface(com::IDispatch::kIid, dispatch.PutVoid())))
        com::GetProperty(dispatch.get(), name, &value);
    return value;
}

void ControlSite::Put(const char* name, const com::Variant& value) {
    com::Ptr<com::IDispatch> dispatch;
    if (com::SUCCEEDED(queryInterface(com::IDispatch::kIid, dispatch.PutVoid())))
        com::PutProperty(dispatch.get(), name, value);
}

QString ControlSite::url() const { return ax::ToQString(Get("url").ToBstr()); }

void ControlSite::setUrl(const QString& url) { Put("url", com::Variant(url.toStdString())); }

int ControlSite::playState() const { return ax::ToQVariant(Get("PlayState")).toInt(); }

void ControlSite::setPlayState(int state) { Put("PlayState", com::Variant(state)); }

QString ControlSite::getVer() const { return ax::ToQString(Get("GetVer").ToBstr()); }

void ControlSite::setVer(const QString& version) {
    Put("GetVer", com::Variant(version.toStdString()));
}

void ControlSite::setOvUrl(const QString& url) {
    com::Ptr<com::IDispatch> dispatch;
    if (com::SUCCEEDED(queryInterface(com::IDispatch::kIid, dispatch.PutVoid())))
        com::CallMethod(dispatch.get(), "setOvUrl", {com::Variant(url.toStdString())});
}
