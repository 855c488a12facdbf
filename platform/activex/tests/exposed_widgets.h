// Widget classes exposed through the factory list in the tests.
#pragma once

#include <QThread>
#include <QWidget>

#include "activex/bindable.h"
#include "com/interfaces.h"

namespace axtest {

// Answers IObjectSafety for the control it is part of.
class SafetyPart final : public ax::Aggregated, public com::IObjectSafety {
public:
    long queryInterface(const com::IID& iid, void** iface) override {
        *iface = nullptr;
        if (iid != com::IObjectSafety::kIid) return com::E_NOINTERFACE;
        *iface = static_cast<com::IObjectSafety*>(this);
        controllingUnknown()->AddRef();
        return com::S_OK;
    }
    com::HRESULT QueryInterface(const com::IID& iid, void** out) override {
        return controllingUnknown()->QueryInterface(iid, out);
    }
    com::ULONG AddRef() override { return controllingUnknown()->AddRef(); }
    com::ULONG Release() override { return controllingUnknown()->Release(); }
    com::HRESULT GetInterfaceSafetyOptions(const com::IID&, com::DWORD* supported,
                                           com::DWORD* enabled) override {
        *supported = *enabled =
            com::INTERFACESAFE_FOR_UNTRUSTED_CALLER | com::INTERFACESAFE_FOR_UNTRUSTED_DATA;
        return com::S_OK;
    }
    com::HRESULT SetInterfaceSafetyOptions(const com::IID&, com::DWORD, com::DWORD) override {
        return com::S_OK;
    }
};

}  // namespace axtest

// Widget classes stay outside namespaces: their class names are their keys.
class ExposedWidget : public QWidget, public ax::Bindable {
    Q_OBJECT
    Q_CLASSINFO("ClassID", "{7A1C93E2-5B40-4D8F-9E26-0F4B7C13A5D9}")
    Q_CLASSINFO("InterfaceID", "{2E8B4F61-C937-4A05-8D1E-6B9F02C7E4A3}")
    Q_CLASSINFO("StockEvents", "yes")
    Q_PROPERTY(QString url READ getUrl WRITE setUrl)
    Q_PROPERTY(int volume READ volume WRITE setVolume)
    Q_PROPERTY(QString state READ getState)

public:
    explicit ExposedWidget(QWidget* parent = nullptr) : QWidget(parent) {}

    QString getUrl() const { return url_; }
    int volume() const { return volume_; }
    void setVolume(int v) { volume_ = v; }
    QThread* lastThread = nullptr;

    std::unique_ptr<ax::Aggregated> createAggregate() override {
        return std::make_unique<axtest::SafetyPart>();
    }

public slots:
    void setUrl(const QString& url) {
        lastThread = QThread::currentThread();
        url_ = url;
    }
    QString getState() const { return QStringLiteral("5"); }
    QString echo(const QString& text) { return text + text; }
    QString echo(const QString& text, int times) { return text.repeated(times); }
    int add(int a, int b) { return a + b; }
    bool toggle(bool on) { return !on; }

private:
    QString url_;
    int volume_ = 50;
};

class HiddenWidget : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("ClassID", "{9C5D0A17-3E6B-4F28-B1A4-7D2E85F0C963}")
    Q_CLASSINFO("Creatable", "no")
    Q_CLASSINFO("ToSuperClass", "QWidget")
    Q_CLASSINFO("StayTopLevel", "yes")

public:
    explicit HiddenWidget(QWidget* parent = nullptr) : QWidget(parent) {}
};
