#include "ax_wrap_widget.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPointer>

#include "activex/widget_object.h"
#include "app_values.h"
#include "com/create.h"
#include "com/dispatch_call.h"
#include "com/module.h"
#include "com/ptr.h"
#include "named_objects.h"
#include "object_safety_impl.h"
#include "orvane_widget.h"
#include "scoped_app_directory.h"
#include "testsupport/temp_dir.h"

namespace {

constexpr com::CLSID kClassId = com::MakeGuid("{14DACFF5-4B08-494b-A580-25F2ED930DA7}");
constexpr com::IID kSomeOtherIid = com::MakeGuid("{3F1C2B7E-8D44-4A0B-9E61-5B2C7D8E9F10}");

// A host's view: the library registers itself into a registry of the test's own, and the
// control is then made by its class id and used only through the component interfaces.
class ControlTest : public ::testing::Test {
protected:
    testsupport::TempDir config;
    testsupport::ScopedEnv xdg{"XDG_CONFIG_HOME", config.path()};
    // An install folder of the test's own: the control's store, and no BT server to start.
    ScopedAppDirectory app{config.file("bin")};

    void SetUp() override {
        void* library = dlopen(ORVANE_AX_LIBRARY, RTLD_NOW);
        ASSERT_NE(library, nullptr) << dlerror();
        auto registerServer =
            reinterpret_cast<com::DllRegisterServerFn>(dlsym(library, "DllRegisterServer"));
        ASSERT_NE(registerServer, nullptr);
        ASSERT_EQ(registerServer(), com::S_OK);
    }
};

TEST_F(ControlTest, RegisteredControlIsCreatedByClassIdAndAnswersByName) {
    EXPECT_EQ(com::RegisteredLibrary(kClassId), std::string(ORVANE_AX_LIBRARY));

    com::Ptr<com::IUnknown> control;
    ASSERT_EQ(com::CreateInstance(kClassId, nullptr, com::IUnknown::kIid, control.PutVoid()),
              com::S_OK);
    auto dispatch = control.As<com::IDispatch>();
    ASSERT_TRUE(dispatch);

    EXPECT_EQ(com::CallMethod(dispatch.get(), "setOvUrl", {"http://127.0.0.1/v.mp4"}), com::S_OK);
    com::Variant value;
    ASSERT_EQ(com::GetProperty(dispatch.get(), "url", &value), com::S_OK);
    EXPECT_EQ(value, com::Variant(""));
    ASSERT_EQ(com::CallMethod(dispatch.get(), "getOvUrl", {}, &value), com::S_OK);
    EXPECT_EQ(value, com::Variant(""));

    // The control carries the main widget, which the process-wide pointer names.
    auto widgetObject = control.As<ax::IWidgetObject>();
    ASSERT_TRUE(widgetObject);
    QPointer<AXWrapWidget> widget = qobject_cast<AXWrapWidget*>(widgetObject->ControlWidget());
    ASSERT_TRUE(widget);

    // The state is the main widget's, as decimal text; writing it changes nothing.
    const com::Variant state(std::to_string(widget->mainWidget()->GetState()));
    EXPECT_EQ(com::PutProperty(dispatch.get(), "state", "5"), com::S_OK);
    ASSERT_EQ(com::GetProperty(dispatch.get(), "state", &value), com::S_OK);
    EXPECT_EQ(value, state);
    ASSERT_EQ(com::CallMethod(dispatch.get(), "getState", {}, &value), com::S_OK);
    EXPECT_EQ(value, state);
    EXPECT_EQ(GetMainWidget(), widget->mainWidget());
    EXPECT_EQ(widget->mainWidget()->parentWidget(), widget.data());
    EXPECT_TRUE(AppValue("weburl").toString().startsWith("http://127.0.0.1:"));

    widgetObject.reset();
    dispatch.reset();
    control.reset();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(widget.isNull());
    EXPECT_EQ(GetMainWidget(), nullptr);
}

TEST_F(ControlTest, ControlIsSafeForScriptingAndAnswersNoOtherInterface) {
    com::Ptr<com::IUnknown> control;
    ASSERT_EQ(com::CreateInstance(kClassId, nullptr, com::IUnknown::kIid, control.PutVoid()),
              com::S_OK);
    auto safety = control.As<com::IObjectSafety>();
    ASSERT_TRUE(safety);
    for (const com::IID& iid : {com::IDispatch::kIid, kSomeOtherIid}) {
        com::DWORD supported = 0, enabled = 0;
        EXPECT_EQ(safety->GetInterfaceSafetyOptions(iid, &supported, &enabled), com::S_OK);
        EXPECT_EQ(supported, 3u);
        EXPECT_EQ(enabled, 3u);
    }
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(kSomeOtherIid, 3, 0), com::S_OK);
    // The safety part speaks for the control itself.
    com::Ptr<com::IUnknown> identity;
    ASSERT_EQ(safety->QueryInterface(com::IUnknown::kIid, identity.PutVoid()), com::S_OK);
    EXPECT_EQ(identity.get(), control.get());

    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(control->QueryInterface(kSomeOtherIid, &other), com::E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);

    ObjectSafetyImpl aggregate;
    other = reinterpret_cast<void*>(1);
    EXPECT_EQ(aggregate.queryInterface(kSomeOtherIid, &other), com::E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
}

}  // namespace
