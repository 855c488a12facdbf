// The engine's event sink: which callback each event reaches, with which arguments, and what
// it drops.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "aplayer/player_engine.h"
#include "com/connection_point.h"
#include "player_event_handler.h"
#include "player_sink.h"

namespace {

using namespace com;

// Writes each call as "Name(arg,arg)".
class RecordingHandler : public CPlayerEventHandler {
public:
    std::vector<std::string> calls;

    HRESULT OnMessage(int m, int w, int l) override { return Add("OnMessage", {m, w, l}); }
    HRESULT OnStateChanged(int o, int n) override { return Add("OnStateChanged", {o, n}); }
    HRESULT OnOpenSucceeded() override { return Add("OnOpenSucceeded", {}); }
    HRESULT OnSeekCompleted(int position) override { return Add("OnSeekCompleted", {position}); }
    HRESULT OnBuffer(int percent) override { return Add("OnBuffer", {percent}); }
    HRESULT OnVideoSizeChanged() override { return Add("OnVideoSizeChanged", {}); }
    HRESULT OnDownloadCodec(const QString& path) override {
        calls.push_back("OnDownloadCodec(" + path.toStdString() + ")");
        return E_FAIL;
    }

private:
    HRESULT Add(std::string name, std::vector<int> args) {
        name += '(';
        for (std::size_t i = 0; i < args.size(); ++i)
            name += (i ? "," : "") + std::to_string(args[i]);
        calls.push_back(name + ')');
        return S_OK;
    }
};

HRESULT Send(CPlayerSink& sink, DISPID id, std::vector<Variant> args) {
    return sink.Invoke(id, DISPATCH_METHOD, DispParams::FromArgs(std::move(args)), nullptr);
}

TEST(PlayerSinkTest, EventsWithTheirOwnArgumentCountReachTheirCallbackInOrder) {
    RecordingHandler handler;
    CPlayerSink sink;
    EXPECT_EQ(Send(sink, 2, {0, 1}), S_OK);  // no handler yet: dropped
    sink.SetHandler(&handler);
    const std::vector<std::pair<DISPID, std::vector<Variant>>> events = {
        {1, {kWmLButtonUp, 1, (20 << 16) | 10}},
        {2, {1, 5}},
        {3, {}},
        {4, {4000}},
        {5, {37}},
        {6, {}},
        {7, {"/tmp/codec.so"}},  // refused by the handler, still S_OK to the engine
        // Wrong counts and unknown ids are dropped.
        {5, {}},
        {5, {10, 20}},
        {1, {kWmKeyUp, 0x20}},
        {3, {1}},
        {2, {0, 1, 2}},
        {7, {}},
        {0, {}},
        {8, {1}},
        {-1, {}},
    };
    for (const auto& [id, args] : events) EXPECT_EQ(Send(sink, id, args), S_OK) << id;
    EXPECT_EQ(handler.calls, (std::vector<std::string>{
                                 "OnMessage(514,1,1310730)", "OnStateChanged(1,5)",
                                 "OnOpenSucceeded()", "OnSeekCompleted(4000)", "OnBuffer(37)",
                                 "OnVideoSizeChanged()", "OnDownloadCodec(/tmp/codec.so)"}));
}

TEST(PlayerSinkTest, AdvisedOnAConnectionPointWithoutBeingOwnedByIt) {
    RecordingHandler handler;
    CPlayerSink sink;
    sink.SetHandler(&handler);
    void* out = nullptr;
    EXPECT_EQ(sink.QueryInterface(IConnectionPoint::kIid, &out), S_OK);
    EXPECT_EQ(out, static_cast<IDispatch*>(&sink));
    DISPID id = 0;
    EXPECT_EQ(sink.GetIDsOfNames("OnBuffer", &id), E_NOTIMPL);
    {
        Ptr<ConnectionPoint> point = MakeObject<ConnectionPoint>(aplayer::kPlayerEngineEventsIid);
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(&sink, &cookie), S_OK);
        EXPECT_EQ(point->Fire(aplayer::kDispidOnStateChanged, DispParams::FromArgs({0, 1})), 1);
        // The point goes while the sink is advised: letting go of the sink, which lives in its
        // view, must not end it.
    }
    EXPECT_EQ(Send(sink, 4, {1500}), S_OK);
    EXPECT_EQ(handler.calls,
              (std::vector<std::string>{"OnStateChanged(0,1)", "OnSeekCompleted(1500)"}));
}

}  // namespace
