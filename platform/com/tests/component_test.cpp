#include <dlfcn.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <stdlib.h>

#include "com/com.h"
#include "platform/process.h"
#include "platform/registry.h"
#include "test_component.h"
#include "testsupport/temp_dir.h"

using namespace com;
using platform::Hive;

namespace {

const std::string kLibrary = COM_TEST_COMPONENT;
const std::string kClsidKey = "Software\\Classes\\CLSID\\" + ToString(comtest::kGreeterClsid);

// Runs the registration tool as a process of its own, as an installer would.
int RunRegister(const std::vector<std::string>& args) {
    auto process = platform::StartProcess(COM_TEST_REGISTER, args);
    if (!process || !process->Wait(60000)) return -1;
    return process->ExitCode().value_or(-1);
}

HRESULT CanUnloadNow() {
    void* handle = dlopen(kLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto fn = reinterpret_cast<HRESULT (*)()>(dlsym(handle, "DllCanUnloadNow"));
    return fn ? fn() : E_FAIL;
}

class EventLog final : public Object<EventLog, IDispatch> {
public:
    HRESULT GetIDsOfNames(const std::string&, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, WORD, const DispParams& p, Variant*) override {
        if (id == comtest::kDispidOnAnnounced && p.Count() == 2)
            events.push_back(p.Arg(0).TextValue() + "#" + std::to_string(p.Arg(1).IntValue()));
        return S_OK;
    }
    std::vector<std::string> events;
};

class Component : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(RunRegister({"register", kLibrary}), 0); }
    testsupport::TempDir dir_;
    testsupport::ScopedEnv env_{"XDG_CONFIG_HOME", dir_.path()};
};

TEST_F(Component, RegistersPerUserWithItsProgIds) {
    char resolved[PATH_MAX];
    ASSERT_TRUE(realpath(kLibrary.c_str(), resolved));
    EXPECT_EQ(platform::RegistryGetString(Hive::CurrentUser, kClsidKey + "\\InprocServer32", ""),
              resolved);
    EXPECT_FALSE(RegisteredLibrary(comtest::kGreeterClsid).empty());
    EXPECT_FALSE(platform::RegistryKeyExists(Hive::LocalMachine, kClsidKey));
    EXPECT_EQ(ClsidFromText(comtest::kProgId), comtest::kGreeterClsid);
    EXPECT_EQ(ClsidFromText(comtest::kVersionIndependentProgId), comtest::kGreeterClsid);
    EXPECT_EQ(ClsidFromText(ToString(comtest::kGreeterClsid)), comtest::kGreeterClsid);
    EXPECT_FALSE(ClsidFromText("OrvaneTest.Missing"));
    EXPECT_FALSE(ClsidFromText("CLSID\\..\\OrvaneTest.Greeter"));
    EXPECT_EQ(
        platform::RegistryGetString(Hive::ClassesRoot, "AppID\\" + ToString(comtest::kAppId), ""),
        "com_test_component");
    EXPECT_EQ(
        platform::RegistryGetString(Hive::ClassesRoot,
                                    "CLSID\\" + ToString(comtest::kGreeterClsid) + "\\TypeLib", ""),
        ToString(comtest::kTypeLib));
}

TEST_F(Component, IsCreatedByClassIdAndAnswersOnlyItsInterfaces) {
    Ptr<comtest::IGreeter> greeter;
    ASSERT_EQ(
        CreateInstance(comtest::kGreeterClsid, nullptr, comtest::IGreeter::kIid, greeter.PutVoid()),
        S_OK);
    ASSERT_TRUE(greeter);
    EXPECT_TRUE(greeter.As<IDispatch>());
    EXPECT_TRUE(greeter.As<IConnectionPointContainer>());
    EXPECT_EQ(greeter.As<IUnknown>(), greeter.As<IConnectionPointContainer>().As<IUnknown>());

    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(greeter->QueryInterface(IClassFactory::kIid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(greeter->QueryInterface(IObjectSafety::kIid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(greeter->QueryInterface(IDispatch::kIid, nullptr), E_POINTER);

    greeter->SetName(Bstr("vtable"));
    Bstr text;
    greeter->Greeting(&text);
    EXPECT_EQ(text.str(), "Hello, vtable!");
}

TEST_F(Component, CountsReferencesDownToDestruction) {
    {
        Ptr<IUnknown> unknown;
        ASSERT_EQ(
            CreateInstance(comtest::kGreeterClsid, nullptr, IUnknown::kIid, unknown.PutVoid()),
            S_OK);
        EXPECT_EQ(CanUnloadNow(), S_FALSE);
        IUnknown* raw = unknown.get();
        EXPECT_EQ(raw->AddRef(), 2u);
        Ptr<IDispatch> dispatch = unknown.As<IDispatch>();
        EXPECT_EQ(raw->Release(), 2u);  // one from `unknown`, one from `dispatch`
        unknown.reset();
        EXPECT_EQ(CanUnloadNow(), S_FALSE);  // still held through IDispatch
    }
    EXPECT_EQ(CanUnloadNow(), S_OK);

    // A locked factory keeps the library busy even with no objects alive.
    Ptr<IClassFactory> factory;
    ASSERT_EQ(
        GetClassObjectFromLibrary(RegisteredLibrary(comtest::kGreeterClsid), comtest::kGreeterClsid,
                                  IClassFactory::kIid, factory.PutVoid()),
        S_OK);
    factory->LockServer(true);
    factory.reset();
    EXPECT_EQ(CanUnloadNow(), S_FALSE);
    ASSERT_EQ(GetClassObjectFromLibrary(kLibrary, comtest::kGreeterClsid, IClassFactory::kIid,
                                        factory.PutVoid()),
              S_OK);
    factory->LockServer(false);
    factory.reset();
    EXPECT_EQ(CanUnloadNow(), S_OK);
}

TEST_F(Component, IsCalledByNameThroughDispatch) {
    Ptr<IDispatch> d;
    ASSERT_EQ(CreateInstance(comtest::kGreeterClsid, nullptr, IDispatch::kIid, d.PutVoid()), S_OK);
    Variant result;
    ASSERT_EQ(CallMethod(d.get(), "SetName", {Variant("Wörld")}), S_OK);
    ASSERT_EQ(CallMethod(d.get(), "greeting", {}, &result), S_OK);
    EXPECT_EQ(result, Variant("Hello, Wörld!"));
    ASSERT_EQ(PutProperty(d.get(), "Name", Variant(std::int32_t{42})), S_OK);
    ASSERT_EQ(GetProperty(d.get(), "Name", &result), S_OK);
    EXPECT_EQ(result, Variant("42"));
    EXPECT_EQ(PutProperty(d.get(), "Name", Variant::Null()), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(CallMethod(d.get(), "Greetings", {}, &result), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(CallMethod(d.get(), "SetName", {}, &result), DISP_E_BADPARAMCOUNT);
}

TEST_F(Component, FiresEventsInOrderUntilUnadvised) {
    Ptr<IDispatch> d;
    ASSERT_EQ(CreateInstance(comtest::kGreeterClsid, nullptr, IDispatch::kIid, d.PutVoid()), S_OK);
    Ptr<IConnectionPoint> point;
    ASSERT_EQ(d.As<IConnectionPointContainer>()->FindConnectionPoint(comtest::kGreeterEventsIid,
                                                                     point.Put()),
              S_OK);
    auto sink = MakeObject<EventLog>();
    DWORD cookie = 0;
    ASSERT_EQ(point->Advise(sink->Unknown(), &cookie), S_OK);
    for (const char* word : {"one", "two", "three"})
        CallMethod(d.get(), "Announce", {Variant(word)});
    ASSERT_EQ(point->Unadvise(cookie), S_OK);
    CallMethod(d.get(), "Announce", {Variant("four")});
    EXPECT_EQ(sink->events, (std::vector<std::string>{"one#1", "two#2", "three#3"}));
}

TEST_F(Component, UnregisteringInAnotherProcessMakesTheClassUnknown) {
    ASSERT_EQ(RunRegister({"unregister", kLibrary}), 0);
    Ptr<IUnknown> u;
    EXPECT_EQ(CreateInstance(comtest::kGreeterClsid, nullptr, IUnknown::kIid, u.PutVoid()),
              REGDB_E_CLASSNOTREG);
    EXPECT_FALSE(platform::RegistryKeyExists(Hive::CurrentUser, kClsidKey));
    EXPECT_FALSE(ClsidFromText(comtest::kProgId));
    EXPECT_TRUE(platform::RegistryKeyExists(Hive::CurrentUser, "Software\\Classes\\CLSID"));
}

TEST_F(Component, UnregisteringLeavesAClassThatAnotherLibraryTookOver) {
    platform::RegistrySetValue(Hive::CurrentUser, kClsidKey + "\\InprocServer32", "",
                               "/elsewhere/libother.so");
    ASSERT_EQ(RunRegister({"unregister", kLibrary}), 0);
    EXPECT_EQ(RegisteredLibrary(comtest::kGreeterClsid), "/elsewhere/libother.so");
}

TEST_F(Component, InstallChoosesTheHiveFromItsCommandLine) {
    ASSERT_EQ(RunRegister({"unregister", kLibrary}), 0);
    ASSERT_EQ(RunRegister({"install", "machine", kLibrary}), 0);
    EXPECT_TRUE(platform::RegistryKeyExists(Hive::LocalMachine, kClsidKey + "\\InprocServer32"));
    EXPECT_FALSE(platform::RegistryKeyExists(Hive::CurrentUser, kClsidKey));
    Ptr<IUnknown> u;
    EXPECT_EQ(CreateInstance(comtest::kGreeterClsid, nullptr, IUnknown::kIid, u.PutVoid()), S_OK);
    u.reset();

    ASSERT_EQ(RunRegister({"install", "USER", kLibrary}), 0);
    EXPECT_TRUE(platform::RegistryKeyExists(Hive::CurrentUser, kClsidKey + "\\InprocServer32"));
    ASSERT_EQ(RunRegister({"uninstall", "users", kLibrary}), 0);  // not "user": per machine
    EXPECT_FALSE(platform::RegistryKeyExists(Hive::LocalMachine, kClsidKey));
    EXPECT_TRUE(platform::RegistryKeyExists(Hive::CurrentUser, kClsidKey));
}

TEST_F(Component, CreationFailuresAreReportedWithoutAnObject) {
    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(CreateInstanceFromLibrary(dir_.file("missing.so"), comtest::kGreeterClsid, nullptr,
                                        IUnknown::kIid, &out),
              TYPE_E_CANTLOADLIBRARY);
    EXPECT_EQ(out, nullptr);
    EXPECT_FALSE(LastLoadError().empty());
    EXPECT_EQ(CreateInstanceFromLibrary("libm.so.6", comtest::kGreeterClsid, nullptr,
                                        IUnknown::kIid, &out),
              CO_E_ERRORINDLL);
    EXPECT_EQ(CreateInstanceFromLibrary(kLibrary, IUnknown::kIid, nullptr, IUnknown::kIid, &out),
              CLASS_E_CLASSNOTAVAILABLE);
    Ptr<IUnknown> outer;
    ASSERT_EQ(CreateInstance(comtest::kGreeterClsid, nullptr, IUnknown::kIid, outer.PutVoid()),
              S_OK);
    EXPECT_EQ(CreateInstance(comtest::kGreeterClsid, outer.get(), IUnknown::kIid, &out),
              CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
}

}  // namespace
