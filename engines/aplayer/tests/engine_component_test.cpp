// The engine as its host uses it: made from the library file through the component layer,
// driven through IPlayerEngine, its events received by an advised IDispatch sink, its video
// window placed by a host window.
#include <dlfcn.h>

#include <QCoreApplication>
#include <QMouseEvent>
#include <QtTest/QTest>

#include "activex/host_window.h"
#include "activex/widget_object.h"
#include "aplayer/player_engine.h"
#include "com/com.h"
#include "engine_fixture.h"
#include "mpv_options.h"
#include "testsupport/temp_dir.h"

namespace aplayer::test {
namespace {

using namespace com;
using namespace std::chrono_literals;

struct Call {
    DISPID id;
    std::vector<Variant> args;
    QThread* thread;
};

class RecordingSink final : public Object<RecordingSink, IDispatch> {
public:
    std::vector<Call> calls;
    std::function<void(const Call&)> react;

    HRESULT GetIDsOfNames(const std::string&, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, WORD, const DispParams& params, Variant*) override {
        calls.push_back({id, params.Args(), QThread::currentThread()});
        if (react) react(calls.back());
        return S_OK;
    }
    int Count(DISPID id) const {
        return static_cast<int>(
            std::count_if(calls.begin(), calls.end(), [id](const Call& c) { return c.id == id; }));
    }
    bool ReachedState(int state) const {
        return std::any_of(calls.begin(), calls.end(), [state](const Call& c) {
            return c.id == kDispidOnStateChanged && c.args.size() == 2 &&
                   c.args[1].IntValue() == state;
        });
    }
};

class EngineComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        Media();
        ASSERT_TRUE(Create(engine_.PutVoid()) == S_OK) << LastLoadError();
        Ptr<IConnectionPointContainer> container = engine_.As<IConnectionPointContainer>();
        ASSERT_TRUE(container);
        ASSERT_EQ(container->FindConnectionPoint(kPlayerEngineEventsIid, point_.Put()), S_OK);
        sink_ = MakeObject<RecordingSink>();
        ASSERT_EQ(point_->Advise(sink_->Unknown(), &cookie_), S_OK);
    }
    void TearDown() override {
        if (point_) point_->Unadvise(cookie_);
    }
    static HRESULT Create(void** out, IUnknown* outer = nullptr,
                          const CLSID& clsid = kPlayerEngineClsid) {
        return CreateInstanceFromLibrary(APLAYER_LIBRARY, clsid, outer, IPlayerEngine::kIid, out);
    }
    // Objects of the library still alive (its DllCanUnloadNow answers S_OK when none).
    static bool LibraryIdle() {
        void* library = dlopen(APLAYER_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
        auto canUnload = reinterpret_cast<HRESULT (*)()>(dlsym(library, "DllCanUnloadNow"));
        const bool idle = canUnload() == S_OK;
        dlclose(library);
        return idle;
    }

    testsupport::ScopedEnv options_{kMpvOptionsVariable, "vo=null ao=null"};
    Ptr<IPlayerEngine> engine_;
    Ptr<IConnectionPoint> point_;
    Ptr<RecordingSink> sink_;
    DWORD cookie_ = 0;
};

TEST_F(EngineComponentTest, EventsReachTheSinkWithTheirIdsAndArguments) {
    sink_->react = [&](const Call& c) {
        if (c.id == kDispidOnOpenSucceeded) engine_->Play();
    };
    ASSERT_EQ(engine_->Open(Bstr(Media().mediumVideo)), S_OK);
    ASSERT_TRUE(PumpUntil([&] { return sink_->ReachedState(5); }));
    LONG accepted = 0;
    ASSERT_EQ(engine_->SetPosition(4000, &accepted), S_OK);
    EXPECT_EQ(accepted, 1);
    ASSERT_TRUE(PumpUntil([&] { return sink_->Count(kDispidOnSeekCompleted) == 1; }));
    Ptr<ax::IWidgetObject> widgetObject = engine_.As<ax::IWidgetObject>();
    ASSERT_TRUE(widgetObject);
    QWidget* window = widgetObject->ControlWidget();
    QTest::mouseClick(window, Qt::LeftButton, Qt::NoModifier, QPoint(7, 9));
    engine_->Close();

    // Every event in its declared form, on the creating thread, in the order they happened.
    const std::map<DISPID, std::size_t> arity = {{1, 3}, {2, 2}, {3, 0}, {4, 1},
                                                 {5, 1}, {6, 0}, {7, 1}};
    for (const Call& c : sink_->calls) {
        ASSERT_EQ(arity.count(c.id), 1u) << "DISPID " << c.id;
        EXPECT_EQ(c.args.size(), arity.at(c.id)) << "DISPID " << c.id;
        EXPECT_EQ(c.thread, QCoreApplication::instance()->thread());
    }
    const Call& first = sink_->calls.front();
    ASSERT_EQ(first.id, kDispidOnStateChanged);
    EXPECT_EQ(first.args[0].IntValue(), 0);
    EXPECT_EQ(first.args[1].IntValue(), 1);
    EXPECT_EQ(sink_->Count(kDispidOnOpenSucceeded), 1);
    EXPECT_GE(sink_->Count(kDispidOnVideoSizeChanged), 1);
    const auto seek = std::find_if(sink_->calls.begin(), sink_->calls.end(),
                                   [](const Call& c) { return c.id == kDispidOnSeekCompleted; });
    EXPECT_NEAR(seek->args[0].IntValue(), 4000, 250);
    const Call& click = sink_->calls.back();
    ASSERT_EQ(click.id, kDispidOnMessage);
    EXPECT_EQ(click.args[0].IntValue(), 0x0202);
    EXPECT_EQ(click.args[2].IntValue(), (9 << 16) | 7);

    LONG state = -1;
    EXPECT_EQ(engine_->GetState(&state), S_OK);
    EXPECT_EQ(state, 0);
}

TEST_F(EngineComponentTest, PlayToTheEndAndFailuresReportThroughStateAndSetting7) {
    sink_->react = [&](const Call& c) {
        if (c.id == kDispidOnOpenSucceeded) engine_->Play();
    };
    engine_->Open(Bstr(Media().shortVideo));
    ASSERT_TRUE(PumpUntil([&] { return sink_->ReachedState(0); }));
    Bstr result;
    ASSERT_EQ(engine_->GetConfig(7, &result), S_OK);
    EXPECT_EQ(result.str(), "0");

    sink_->calls.clear();
    engine_->Open(Bstr("#"));
    ASSERT_TRUE(PumpUntil([&] { return sink_->ReachedState(0); }));
    EXPECT_EQ(sink_->Count(kDispidOnOpenSucceeded), 0);
    ASSERT_EQ(engine_->GetConfig(7, &result), S_OK);
    EXPECT_NE(result.str(), "0");
    EXPECT_FALSE(result.empty());
}

TEST_F(EngineComponentTest, BadCallsAreRefusedClearly) {
    EXPECT_EQ(engine_->GetState(nullptr), E_POINTER);
    EXPECT_EQ(engine_->GetConfig(2, nullptr), E_POINTER);
    LONG result = 7;
    EXPECT_EQ(engine_->SetVolume(101, &result), E_INVALIDARG);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(engine_->SetPosition(-5, &result), E_INVALIDARG);
    EXPECT_EQ(engine_->SetPosition(1000, &result), S_OK);  // nothing open
    EXPECT_EQ(result, 0);
    EXPECT_EQ(engine_->SetConfig(20, Bstr("1"), &result), S_OK);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(engine_->SetConfig(201, Bstr("2"), &result), S_OK);
    EXPECT_EQ(result, 1);
    EXPECT_EQ(engine_->Reserved1(), E_NOTIMPL);

    Ptr<IConnectionPointContainer> container = engine_.As<IConnectionPointContainer>();
    Ptr<IConnectionPoint> other;
    EXPECT_EQ(container->FindConnectionPoint(IDispatch::kIid, other.Put()), CONNECT_E_NOCONNECTION);

    Ptr<IPlayerEngine> second;
    EXPECT_EQ(Create(second.PutVoid(), engine_.get()), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(Create(second.PutVoid(), nullptr, IDispatch::kIid), CLASS_E_CLASSNOTAVAILABLE);
    {
        testsupport::ScopedEnv broken(kMpvOptionsVariable, "vo");
        EXPECT_EQ(Create(second.PutVoid()), E_INVALIDARG);
    }
    {
        testsupport::ScopedEnv unknown(kMpvOptionsVariable, "no-such-option=1");
        EXPECT_EQ(Create(second.PutVoid()), E_FAIL);
    }
    EXPECT_FALSE(second);
}

TEST_F(EngineComponentTest, SinkMayReleaseTheLastReferenceDuringAnEvent) {
    // The sink holds the only reference and drops it when the media opens.
    sink_->react = [&](const Call& c) {
        if (c.id == kDispidOnOpenSucceeded) {
            point_->Unadvise(cookie_);
            point_.reset();
            engine_.reset();
        }
    };
    engine_->Open(Bstr(Media().shortVideo));
    ASSERT_TRUE(PumpUntil([&] { return !engine_; }));
    EXPECT_TRUE(PumpUntil([] { return LibraryIdle(); }));
    const std::size_t calls = sink_->calls.size();
    PumpFor(500ms);
    EXPECT_EQ(sink_->calls.size(), calls);
}

TEST_F(EngineComponentTest, HostWindowPlacesTheVideoWindowReportedAsSetting20) {
    Bstr id;
    ASSERT_EQ(engine_->GetConfig(20, &id), S_OK);
    {
        ax::HostWindow host;
        host.setControl(engine_.get());
        ASSERT_NE(host.controlWidget(), nullptr);
        EXPECT_EQ(host.controlWidget()->parentWidget(), &host);
        EXPECT_EQ(std::to_string(host.controlWidget()->winId()), id.str());
        // The host goes first, taking the window with it, as the player view tears down.
    }
    engine_->Close();
    point_->Unadvise(cookie_);
    point_.reset();
    engine_.reset();
    EXPECT_TRUE(LibraryIdle());
}

}  // namespace
}  // namespace aplayer::test
