#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <QPointer>

#include "activex/host_window.h"
#include "atl/control.h"
#include "com/dispatch_call.h"
#include "com/module.h"
#include "com/property_bag.h"
#include "platform/registry.h"
#include "qt_app.h"
#include "testsupport/temp_dir.h"

using namespace com;

namespace {

struct IPageControl : IDispatch {
    using Base = IDispatch;
    static constexpr IID kIid = MakeGuid("{1D8AB885-85B4-4DC0-865D-210FDEF3A30D}");
    virtual HRESULT put_Caption(const Bstr& caption) = 0;
    virtual HRESULT get_Caption(Bstr* caption) = 0;
    virtual HRESULT setUrl(const Bstr& url) = 0;
};

struct Record {
    std::vector<std::string> calls;
    int created = 0;
    int timers = 0;
    int paints = 0;
    int destroyed = 0;
    unsigned long handleAtCreate = 0;
};

class PageControl final : public atl::Control<PageControl, IPageControl> {
public:
    explicit PageControl(Record& record)
        : Control({"_cx", "_cy", "Caption", "url"}, 186, 95), record_(record) {
        Dispatch()
            .AddMethod(
                "setUrl", 1, 1,
                [this](const std::vector<Variant>& a, Variant*) { return setUrl(a[0].ToBstr()); })
            .AddProperty(
                "url", 2,
                [this](Variant* v) {
                    *v = Variant(url_);
                    return S_OK;
                },
                [this](const Variant& v) { return setUrl(v.ToBstr()); });
    }
    HRESULT setUrl(const Bstr& url) override {
        url_ = url.str();
        record_.calls.push_back("setUrl " + url_ + " win " + std::to_string(WindowHandle()));
        return S_OK;
    }
    using Control::KillTimer;
    using Control::SetTimer;
    using Control::WindowHandle;

protected:
    void OnCreate() override {
        ++record_.created;
        record_.handleAtCreate = WindowHandle();
    }
    void OnTimer(int id) override {
        if (id == 1) ++record_.timers;
    }
    void OnPaint(QPainter& painter, const QRect& rect) override {
        ++record_.paints;
        painter.fillRect(rect, Qt::black);
    }
    void OnDestroy() override { ++record_.destroyed; }

private:
    Record& record_;
    std::string url_;
};

class AtlControl : public ::testing::Test {
protected:
    void SetUp() override {
        axtest::App();
        control_ = MakeObject<PageControl>(record_);
    }
    Record record_;
    Ptr<PageControl> control_;
};

TEST_F(AtlControl, CallsByNameAndKeepsTheStockCaption) {
    Ptr<IDispatch> d = control_.As<IDispatch>();
    ASSERT_TRUE(control_.As<IPageControl>());
    Variant r;
    ASSERT_EQ(CallMethod(d.get(), "setUrl", {Variant("a")}), S_OK);
    ASSERT_EQ(GetProperty(d.get(), "URL", &r), S_OK);
    EXPECT_EQ(r, Variant("a"));
    DISPID id = 0;
    ASSERT_EQ(d->GetIDsOfNames("Caption", &id), S_OK);
    EXPECT_EQ(id, DISPID_CAPTION);
    ASSERT_EQ(PutProperty(d.get(), "Caption", Variant("Title ✓")), S_OK);
    Bstr caption;
    control_->get_Caption(&caption);
    EXPECT_EQ(caption.str(), "Title ✓");
    EXPECT_EQ(d->GetIDsOfNames("Nope", &id), DISP_E_UNKNOWNNAME);
    Ptr<IConnectionPoint> point;
    EXPECT_EQ(
        control_.As<IConnectionPointContainer>()->FindConnectionPoint(IDispatch::kIid, point.Put()),
        CONNECT_E_NOCONNECTION);
}

TEST_F(AtlControl, LoadsAndSavesItsPersistedProperties) {
    auto bag = MakeObject<PropertyBag>();
    bag->Write("URL", Variant("http://page/видео"));
    bag->Write("_cx", Variant("320"));
    bag->Write("_cy", Variant("oops"));
    bag->Write("other", Variant("ignored"));
    Ptr<IPersistPropertyBag> persist = control_.As<IPersistPropertyBag>();
    ASSERT_EQ(persist->InitNew(), S_OK);
    ASSERT_EQ(persist->Load(bag.get()), S_OK);
    // The url arrives through its put, before any window exists.
    EXPECT_EQ(record_.calls, std::vector<std::string>{"setUrl http://page/видео win 0"});
    EXPECT_EQ(control_->ExtentX(), 320);
    EXPECT_EQ(control_->ExtentY(), 95);  // a malformed extent keeps the old one

    auto saved = MakeObject<PropertyBag>();
    ASSERT_EQ(persist->Save(saved.get(), true, true), S_OK);
    Variant v;
    ASSERT_EQ(saved->Read("url", &v), S_OK);
    EXPECT_EQ(v, Variant("http://page/видео"));
    ASSERT_EQ(saved->Read("_cx", &v), S_OK);
    EXPECT_EQ(v, Variant(std::int32_t{320}));
    ASSERT_EQ(saved->Read("Caption", &v), S_OK);
    EXPECT_EQ(v, Variant(""));
    EXPECT_EQ(saved->Read("other", &v), E_INVALIDARG);
    EXPECT_EQ(persist->Load(nullptr), E_POINTER);
}

TEST_F(AtlControl, IsSafeForScriptingOnItsOwnInterfaces) {
    Ptr<IObjectSafety> safety = control_.As<IObjectSafety>();
    DWORD supported = 0, enabled = 0;
    ASSERT_EQ(safety->GetInterfaceSafetyOptions(IDispatch::kIid, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 3u);
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IClassFactory::kIid, &supported, &enabled),
              E_NOINTERFACE);
    EXPECT_EQ(safety->SetInterfaceSafetyOptions(IDispatch::kIid, 4, 4), E_FAIL);
    ASSERT_EQ(safety->SetInterfaceSafetyOptions(IDispatch::kIid, 1, 0), S_OK);
    safety->GetInterfaceSafetyOptions(IDispatch::kIid, &supported, &enabled);
    EXPECT_EQ(enabled, 2u);
}

TEST_F(AtlControl, WindowReceivesCreateTimerPaintAndDestroy) {
    QWidget host;
    QWidget* window = control_.As<ax::IWidgetObject>()->ControlWidget();
    ASSERT_TRUE(window);
    EXPECT_EQ(control_->WindowHandle(), 0u);
    EXPECT_EQ(window->size(), QSize(186, 95));
    window->setParent(&host);
    host.show();
    window->show();
    ASSERT_TRUE(axtest::PumpUntil([&] { return record_.created == 1; }));
    EXPECT_NE(record_.handleAtCreate, 0u);
    EXPECT_EQ(control_->WindowHandle(), record_.handleAtCreate);

    ASSERT_TRUE(control_->SetTimer(1, 5));
    ASSERT_TRUE(axtest::PumpUntil([&] { return record_.timers >= 3; }));
    ASSERT_TRUE(control_->KillTimer(1));
    const int ticks = record_.timers;
    axtest::PumpUntil([] { return false; }, 50);
    EXPECT_EQ(record_.timers, ticks);
    EXPECT_FALSE(control_->KillTimer(1));

    const QImage picture = window->grab().toImage();
    EXPECT_GE(record_.paints, 1);
    EXPECT_EQ(picture.pixelColor(10, 10), QColor(Qt::black));

    window->show();
    EXPECT_EQ(record_.created, 1);  // created once
    delete window;                  // the host's window goes first
    EXPECT_EQ(record_.destroyed, 1);
    EXPECT_EQ(control_->WindowHandle(), 0u);
    EXPECT_FALSE(control_->SetTimer(1, 5));
}

TEST_F(AtlControl, WindowEndsWithTheControl) {
    QPointer<QWidget> window = control_.As<ax::IWidgetObject>()->ControlWidget();
    window->show();
    ASSERT_TRUE(axtest::PumpUntil([&] { return record_.created == 1; }));
    control_.reset();
    EXPECT_FALSE(window);
    EXPECT_EQ(record_.destroyed, 0);  // the control was gone already: nothing to tell
}

TEST_F(AtlControl, IsHostedAsAnExistingObject) {
    QPointer<QWidget> window;
    {
        ax::HostWindow host;
        host.setControl(control_->Unknown());
        window = host.controlWidget();
        ASSERT_TRUE(window);
        EXPECT_EQ(window->parentWidget(), &host);
        Ptr<IDispatch> d;
        ASSERT_EQ(host.queryInterface(IDispatch::kIid, d.PutVoid()), S_OK);
        EXPECT_EQ(CallMethod(d.get(), "setUrl", {Variant("x")}), S_OK);
        void* out = reinterpret_cast<void*>(0x1);
        EXPECT_EQ(host.queryInterface(IClassFactory::kIid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
        host.setControl(host.control().get());  // the same object again: kept, not lost
        EXPECT_EQ(host.control().get(), control_->Unknown());
    }
    // The host's window took the control's window with it; the control lives on.
    EXPECT_FALSE(window);
    EXPECT_EQ(record_.destroyed, record_.created);
    ax::HostWindow empty;
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(empty.queryInterface(IDispatch::kIid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST(AtlRegistration, RegistersFromItsScriptsPerUserOrPerMachine) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv env("XDG_CONFIG_HOME", dir.path());
    ServerInfo info;
    info.appId = MakeGuid("{05D56167-B2C7-4EE0-AB3E-6F17A4332BD7}");
    info.registryScript = "HKCR\n{\n NoRemove AppID\n {\n  '%APPID%' = s 'axpage'\n }\n}\n";
    ClassInfo c;
    c.clsid = MakeGuid("{62BA1F80-E8F4-40E1-AB8A-F33E51B70881}");
    c.registryScript =
        "HKCR\n{\n Page.Control.1 = s 'Page'\n {\n  CLSID = s '%CLSID%'\n }\n"
        " NoRemove CLSID\n {\n  ForceRemove %CLSID% = s 'Page'\n  {\n"
        "   InprocServer32 = s '%MODULE%'\n   {\n    val ThreadingModel = s 'Apartment'\n   }\n"
        "   val AppID = s '%APPID%'\n  }\n }\n}\n";
    Module module(info, {c});
    const std::string key = "CLSID\\{62BA1F80-E8F4-40E1-AB8A-F33E51B70881}";
    ASSERT_EQ(module.Install(true, "user", "/lib/libpage.so"), S_OK);
    EXPECT_EQ(platform::RegistryGetString(platform::Hive::CurrentUser,
                                          "Software\\Classes\\" + key + "\\InprocServer32", ""),
              "/lib/libpage.so");
    EXPECT_EQ(platform::RegistryGetString(platform::Hive::ClassesRoot,
                                          "AppID\\{05D56167-B2C7-4EE0-AB3E-6F17A4332BD7}", ""),
              "axpage");
    ASSERT_EQ(module.Install(true, nullptr, "/lib/libpage.so"), S_OK);
    EXPECT_TRUE(
        platform::RegistryKeyExists(platform::Hive::LocalMachine, "Software\\Classes\\" + key));
    ASSERT_EQ(module.Install(false, "User", "/lib/libpage.so"), S_OK);
    EXPECT_FALSE(
        platform::RegistryKeyExists(platform::Hive::CurrentUser, "Software\\Classes\\" + key));
    EXPECT_FALSE(platform::RegistryKeyExists(platform::Hive::CurrentUser,
                                             "Software\\Classes\\Page.Control.1"));
    EXPECT_TRUE(
        platform::RegistryKeyExists(platform::Hive::LocalMachine, "Software\\Classes\\" + key));
}

}  // namespace
