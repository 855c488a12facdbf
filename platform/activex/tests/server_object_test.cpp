#include <gtest/gtest.h>

#include <QPointer>
#include <atomic>
#include <thread>

#include "activex/server.h"
#include "activex/widget_object.h"
#include "com/dispatch_call.h"
#include "exposed_widgets.h"
#include "qt_app.h"

using namespace axtest;
using namespace com;

namespace {

class ServerObject : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        list_.addClass<ExposedWidget>();
        auto* widget = qobject_cast<ExposedWidget*>(list_.createObject("ExposedWidget"));
        ASSERT_TRUE(widget);
        widget_ = widget;
        ASSERT_EQ(
            ax::Server::Wrap(widget, list_, "ExposedWidget", IDispatch::kIid, control_.PutVoid()),
            S_OK);
    }
    ax::FactoryList list_{GUID{}, GUID{}};
    QPointer<ExposedWidget> widget_;
    Ptr<IDispatch> control_;
};

TEST_F(ServerObject, ReachesSlotsByName) {
    Variant r;
    ASSERT_EQ(CallMethod(control_.get(), "setUrl", {Variant("ov://x")}), S_OK);
    EXPECT_EQ(widget_->getUrl(), "ov://x");
    ASSERT_EQ(CallMethod(control_.get(), "getState", {}, &r), S_OK);
    EXPECT_EQ(r, Variant("5"));
    ASSERT_EQ(CallMethod(control_.get(), "add", {Variant(std::int32_t{2}), Variant("40")}, &r),
              S_OK);
    EXPECT_EQ(r, Variant(std::int32_t{42}));  // the text converts to the int parameter
    ASSERT_EQ(CallMethod(control_.get(), "toggle", {Variant(true)}, &r), S_OK);
    EXPECT_EQ(r, Variant(false));
    // Overloads are told apart by argument count.
    ASSERT_EQ(CallMethod(control_.get(), "echo", {Variant("ab")}, &r), S_OK);
    EXPECT_EQ(r, Variant("abab"));
    ASSERT_EQ(CallMethod(control_.get(), "ECHO", {Variant("ab"), Variant(std::int32_t{3})}, &r),
              S_OK);
    EXPECT_EQ(r, Variant("ababab"));
}

TEST_F(ServerObject, ReachesPropertiesByName) {
    Variant r;
    ASSERT_EQ(PutProperty(control_.get(), "url", Variant("http://a/é")), S_OK);
    ASSERT_EQ(GetProperty(control_.get(), "url", &r), S_OK);
    EXPECT_EQ(r, Variant("http://a/é"));
    ASSERT_EQ(GetProperty(control_.get(), "volume", &r), S_OK);
    EXPECT_EQ(r, Variant(std::int32_t{50}));
    ASSERT_EQ(PutProperty(control_.get(), "volume", Variant(std::int32_t{7})), S_OK);
    EXPECT_EQ(widget_->volume(), 7);
    ASSERT_EQ(GetProperty(control_.get(), "state", &r), S_OK);
    EXPECT_EQ(r, Variant("5"));
}

TEST_F(ServerObject, RefusesWhatTheClassDoesNotOffer) {
    Variant r;
    EXPECT_EQ(CallMethod(control_.get(), "nothing", {}, &r), DISP_E_UNKNOWNNAME);
    // QWidget's own slots stay hidden: only the class's members are exposed.
    EXPECT_EQ(CallMethod(control_.get(), "close", {}, &r), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(GetProperty(control_.get(), "windowTitle", &r), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(PutProperty(control_.get(), "state", Variant("1")), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(CallMethod(control_.get(), "add", {Variant(std::int32_t{1})}, &r),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(CallMethod(control_.get(), "add", {Variant("x"), Variant(std::int32_t{1})}, &r),
              DISP_E_TYPEMISMATCH);
    EXPECT_EQ(PutProperty(control_.get(), "volume", Variant("loud")), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(widget_->volume(), 50);
    EXPECT_EQ(control_->Invoke(999, DISPATCH_METHOD, {}, &r), DISP_E_MEMBERNOTFOUND);
}

TEST_F(ServerObject, RunsCallsOnTheWidgetsThread) {
    HRESULT hr = E_FAIL;
    std::atomic<bool> done{false};
    std::thread caller([&] {
        hr = CallMethod(control_.get(), "setUrl", {Variant("from a worker")});
        done = true;
    });
    const bool finished = PumpUntil([&] { return done.load(); });
    caller.join();
    ASSERT_TRUE(finished);
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(widget_->getUrl(), "from a worker");
    EXPECT_EQ(widget_->lastThread, QThread::currentThread());
}

TEST_F(ServerObject, AnswersTheAggregateThroughOneIdentity) {
    Ptr<IObjectSafety> safety = control_.As<IObjectSafety>();
    ASSERT_TRUE(safety);
    DWORD supported = 0, enabled = 0;
    EXPECT_EQ(safety->GetInterfaceSafetyOptions(IDispatch::kIid, &supported, &enabled), S_OK);
    EXPECT_EQ(supported, 3u);
    EXPECT_EQ(enabled, 3u);
    EXPECT_EQ(safety.As<IUnknown>(), control_.As<IUnknown>());
    EXPECT_TRUE(safety.As<ax::IWidgetObject>());

    void* out = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(control_->QueryInterface(IConnectionPointContainer::kIid, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    // The aggregate's references count on the control: it keeps the widget alive alone.
    control_.reset();
    EXPECT_TRUE(widget_);
    safety.reset();
    EXPECT_FALSE(widget_);
}

TEST_F(ServerObject, SurvivesItsWidgetBeingDeletedFirst) {
    Ptr<ax::IWidgetObject> object = control_.As<ax::IWidgetObject>();
    ASSERT_TRUE(object);
    EXPECT_EQ(object->ControlWidget(), widget_.data());
    delete widget_.data();
    Variant r;
    EXPECT_EQ(CallMethod(control_.get(), "getState", {}, &r), E_UNEXPECTED);
    EXPECT_EQ(object->ControlWidget(), nullptr);
}

}  // namespace
