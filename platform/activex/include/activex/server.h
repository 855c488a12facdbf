// The component side of a control library whose controls are Qt widgets:
//
//   std::unique_ptr<ax::FactoryList> MakeFactoryList() {
//       auto list = std::make_unique<ax::FactoryList>(kTypeLibId, kAppId);
//       list->addClass<MyWidget>();   // Q_CLASSINFO("ClassID", "{...}") etc. on MyWidget
//       return list;
//   }
//   ORVANE_AX_SERVER(MakeFactoryList)
//
// gives the library the component exports (module.h). Each class key is registered with its
// "ClassID", the ProgID "<library name>.<key>" (library name without "lib" and extension),
// InprocServer32, Control, the type library and AppID, then the factory's registerClass.
// A created object answers IUnknown, IDispatch over the widget's meta-object (meta_dispatch.h),
// ax::IWidgetObject and whatever its aggregate (bindable.h) answers; the last Release deletes
// the widget. Objects are made on the thread of the Qt application, which must exist.
#pragma once

#include <QString>
#include <memory>

#include "activex/factory_list.h"
#include "com/module.h"

namespace ax {

class Server {
public:
    using MakeFactoryList = std::unique_ptr<FactoryList> (*)();
    explicit Server(MakeFactoryList make);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Both are made on first use and live until the library is unloaded.
    FactoryList& factoryList();
    com::Module& module();

    // Wraps an object that `factory` made for `key` as a control and answers `iid` of it;
    // the control owns the object from then on (also when the answer is a failure).
    static com::HRESULT Wrap(QObject* object, Factory& factory, const QString& key,
                             const com::IID& iid, void** out);

private:
    MakeFactoryList make_;
    std::unique_ptr<FactoryList> list_;
    std::unique_ptr<com::Module> module_;
};

}  // namespace ax

#define ORVANE_AX_SERVER(makeFactoryList)            \
    namespace {                                      \
    ::ax::Server& OrvaneAxServer() {                 \
        static ::ax::Server server(makeFactoryList); \
        return server;                               \
    }                                                \
    }                                                \
    ORVANE_COM_SERVER(OrvaneAxServer().module())
