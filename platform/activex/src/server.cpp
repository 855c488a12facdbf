#include "activex/server.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QThread>
#include <QWidget>

#include "activex/bindable.h"
#include "activex/meta_dispatch.h"
#include "activex/widget_object.h"

namespace ax {

namespace detail {

// One created control: the widget object, its calls by name and its aggregate.
class ServerObject final : public com::Object<ServerObject, com::IDispatch, IWidgetObject> {
public:
    ServerObject(QObject* object, const QString& exposeToSuperClass)
        : object_(object), dispatch_(object, exposeToSuperClass) {
        if (auto* bindable = dynamic_cast<Bindable*>(object)) {
            aggregate_ = bindable->createAggregate();
            if (aggregate_) {
                aggregate_->controlling_ = Unknown();
                aggregate_->object_ = object;
            }
        }
    }

    com::HRESULT GetIDsOfNames(const std::string& name, com::DISPID* id) override {
        return dispatch_.GetIDsOfNames(name, id);
    }
    com::HRESULT Invoke(com::DISPID id, com::WORD flags, const com::DispParams& params,
                        com::Variant* result) override {
        return dispatch_.Invoke(id, flags, params, result);
    }
    QWidget* ControlWidget() override { return qobject_cast<QWidget*>(object_.data()); }

protected:
    ~ServerObject() override {
        aggregate_.reset();
        delete object_.data();  // the control owns its object; a host may have deleted it
    }
    com::HRESULT QueryOther(const com::IID& iid, void** out) override {
        if (!aggregate_) return com::E_NOINTERFACE;
        const long hr = aggregate_->queryInterface(iid, out);
        if (hr != com::S_OK) *out = nullptr;
        return static_cast<com::HRESULT>(hr);
    }

private:
    QPointer<QObject> object_;
    MetaDispatch dispatch_;
    std::unique_ptr<Aggregated> aggregate_;
};

}  // namespace detail

namespace {

const char kAnchor = 0;  // an address inside this library, to find its file

// "liborvane_ax.so" -> "orvane_ax"
QString LibraryBaseName(const std::string& path) {
    QString name = QFileInfo(QString::fromStdString(path)).fileName();
    if (name.startsWith(QLatin1String("lib"))) name.remove(0, 3);
    const int dot = name.indexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

}  // namespace

Server::Server(MakeFactoryList make) : make_(make) {}

Server::~Server() = default;

FactoryList& Server::factoryList() {
    if (!list_) list_ = make_();
    return *list_;
}

com::HRESULT Server::Wrap(QObject* object, Factory& factory, const QString& key,
                          const com::IID& iid, void** out) {
    if (!out) {
        delete object;
        return com::E_POINTER;
    }
    *out = nullptr;
    if (!object) return com::E_OUTOFMEMORY;
    return com::MakeObject<detail::ServerObject>(object, factory.exposeToSuperClass(key))
        ->QueryInterface(iid, out);
}

com::Module& Server::module() {
    if (module_) return *module_;
    FactoryList& list = factoryList();
    com::ServerInfo info;
    const QString base = LibraryBaseName(com::ModuleFilePath(&kAnchor));
    info.typeLib = list.typeLibID();
    info.typeLibName = base.toStdString();
    info.appId = list.appID();
    info.appName = base.toStdString();
    module_ = std::make_unique<com::Module>(info);
    for (const QString& key : list.featureList()) {
        const std::optional<com::CLSID> clsid = list.classID(key);
        if (!clsid) continue;  // a class without "ClassID" cannot be reached by id
        com::ClassInfo c;
        c.clsid = *clsid;
        c.name = key.toStdString();
        c.progId = (base + QLatin1Char('.') + key).toStdString();
        c.control = true;
        c.create = [&list, key](const com::IID& iid, void** out) -> com::HRESULT {
            if (!out) return com::E_POINTER;
            *out = nullptr;
            // Widgets need the Qt application, and live on its thread.
            if (!qApp || QThread::currentThread() != qApp->thread()) return com::E_UNEXPECTED;
            QObject* object = list.createObject(key);
            if (!object) return com::CLASS_E_CLASSNOTAVAILABLE;
            return Wrap(object, list, key, iid, out);
        };
        module_->AddClass(std::move(c));
    }
    module_->SetRegistrationHook([&list](com::RegistrationScope scope, bool install) {
        const platform::Hive hive = scope == com::RegistrationScope::PerUser
                                        ? platform::Hive::CurrentUser
                                        : platform::Hive::LocalMachine;
        for (const QString& key : list.featureList()) {
            if (install)
                list.registerClass(key, hive);
            else
                list.unregisterClass(key, hive);
        }
    });
    return *module_;
}

}  // namespace ax
