#include "activex/host_window.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <QPointer>

#include "com/create.h"
#include "com/dispatch_call.h"
#include "com/module.h"
#include "platform/registry.h"
#include "qt_app.h"
#include "testsupport/temp_dir.h"

using namespace com;

namespace {

const char kClsid[] = "{E47B2A90-6C13-4F5D-8B72-19A0D3C6F5E1}";

HRESULT CallExport(const char* name) {
    void* handle = dlopen(ACTIVEX_TEST_CONTROL, RTLD_NOW | RTLD_LOCAL);
    if (!handle) return E_FAIL;
    auto fn = reinterpret_cast<DllRegisterServerFn>(dlsym(handle, name));
    return fn ? fn() : E_FAIL;
}

class HostWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        axtest::App();
        ASSERT_EQ(CallExport("DllRegisterServer"), S_OK);
    }
    testsupport::TempDir dir_;
    testsupport::ScopedEnv env_{"XDG_CONFIG_HOME", dir_.path()};
};

TEST_F(HostWindowTest, ControlLibraryRegistersItsWidgetClass) {
    const std::string key = std::string("Software\\Classes\\CLSID\\") + kClsid;
    EXPECT_EQ(platform::RegistryGetString(platform::Hive::CurrentUser, key + "\\ProgID", ""),
              "activex_test_control.TestControlWidget");
    EXPECT_TRUE(platform::RegistryKeyExists(platform::Hive::CurrentUser, key + "\\Control"));
    EXPECT_EQ(platform::RegistryGetString(platform::Hive::CurrentUser, key, "AppID"),
              "{5E7F9B32-1C4D-4A08-B6F3-D92C8E1A0475}");
    EXPECT_EQ(ClsidFromText("activex_test_control.TestControlWidget"), ParseGuid(kClsid));
    ASSERT_EQ(CallExport("DllUnregisterServer"), S_OK);
    EXPECT_FALSE(platform::RegistryKeyExists(platform::Hive::CurrentUser, key));
}

TEST_F(HostWindowTest, CreatesTheControlByClassIdTextAndCallsItByName) {
    ax::HostWindow host;
    Ptr<IUnknown> unknown;
    ASSERT_EQ(host.CreateControl(QString::fromLatin1(kClsid).toLower(), unknown.Put()), S_OK);
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown, host.control());
    QPointer<QWidget> widget = host.controlWidget();
    ASSERT_TRUE(widget);
    EXPECT_EQ(widget->parentWidget(), &host);

    Ptr<IDispatch> dispatch = unknown.As<IDispatch>();
    ASSERT_TRUE(dispatch);
    Variant r;
    ASSERT_EQ(CallMethod(dispatch.get(), "setOvUrl", {Variant("ov://abc")}), S_OK);
    ASSERT_EQ(CallMethod(dispatch.get(), "getState", {}, &r), S_OK);
    EXPECT_EQ(r, Variant("8"));
    ASSERT_EQ(GetProperty(dispatch.get(), "url", &r), S_OK);
    EXPECT_EQ(r, Variant("ov://abc"));

    dispatch.reset();
    unknown.reset();
    EXPECT_TRUE(widget);  // the host still holds the control
    host.releaseControl();
    EXPECT_FALSE(widget);
    EXPECT_FALSE(host.control());
}

TEST_F(HostWindowTest, CreatesByProgIdAndEndsTheControlWithTheWindow) {
    QPointer<QWidget> widget;
    {
        ax::HostWindow host;
        ASSERT_EQ(host.CreateControl("activex_test_control.TestControlWidget"), S_OK);
        widget = host.controlWidget();
        ASSERT_TRUE(widget);
    }
    EXPECT_FALSE(widget);
}

TEST_F(HostWindowTest, ReportsClassesThatCannotBeMade) {
    ax::HostWindow host;
    IUnknown* out = reinterpret_cast<IUnknown*>(0x1);
    EXPECT_EQ(host.CreateControl("not a class", &out), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(host.CreateControl("{00000000-0000-0000-0000-00000000ABCD}"), REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(host.control());
    EXPECT_EQ(host.controlWidget(), nullptr);
    // Not a window handle on the offscreen platform: refused, nothing happens.
    EXPECT_FALSE(host.embedInto(12345));
}

}  // namespace
