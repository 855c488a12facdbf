#include "com/connection_point.h"

#include <gtest/gtest.h>

using namespace com;

namespace {

using Log = std::vector<std::string>;

class Sink final : public Object<Sink, IDispatch> {
public:
    Sink(std::string name, Log& log, bool* destroyed = nullptr)
        : name_(std::move(name)), log_(log), destroyed_(destroyed) {}
    ~Sink() override {
        if (destroyed_) *destroyed_ = true;
    }
    HRESULT GetIDsOfNames(const std::string&, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, WORD, const DispParams& p, Variant*) override {
        std::string entry = name_ + ":" + std::to_string(id);
        for (const Variant& a : p.Args()) {
            Variant t = a;
            t.ChangeTypeToText();
            entry += "," + t.TextValue();
        }
        log_.push_back(entry);
        if (onEvent) onEvent();
        return S_OK;
    }
    std::function<void()> onEvent;

private:
    std::string name_;
    Log& log_;
    bool* destroyed_;
};

class NotASink final : public Object<NotASink, IConnectionPointContainer> {
public:
    HRESULT FindConnectionPoint(const IID&, IConnectionPoint**) override { return E_NOTIMPL; }
};

constexpr IID kEvents = MakeGuid("{31D6469C-1DA7-47C0-91F9-38F0C39F9B89}");

TEST(ConnectionPoint, DeliversEventsToEverySinkInAdviseOrder) {
    Log log;
    auto point = MakeObject<ConnectionPoint>(kEvents);
    DWORD a = 0, b = 0;
    ASSERT_EQ(point->Advise(MakeObject<Sink>("a", log)->Unknown(), &a), S_OK);
    ASSERT_EQ(point->Advise(MakeObject<Sink>("b", log)->Unknown(), &b), S_OK);
    EXPECT_NE(a, 0u);
    EXPECT_NE(b, 0u);
    EXPECT_NE(a, b);
    EXPECT_EQ(
        point->Fire(2, DispParams::FromArgs({Variant(std::int32_t{0}), Variant(std::int32_t{5})})),
        2);
    EXPECT_EQ(point->Fire(3, {}), 2);
    EXPECT_EQ(log, (Log{"a:2,0,5", "b:2,0,5", "a:3", "b:3"}));
}

TEST(ConnectionPoint, UnadviseStopsEventsAndReleasesTheSink) {
    Log log;
    bool destroyed = false;
    auto point = MakeObject<ConnectionPoint>(kEvents);
    DWORD cookie = 0;
    point->Advise(MakeObject<Sink>("a", log, &destroyed)->Unknown(), &cookie);
    point->Fire(1, {});
    EXPECT_FALSE(destroyed);  // the point holds the only reference
    ASSERT_EQ(point->Unadvise(cookie), S_OK);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(point->Fire(1, {}), 0);
    EXPECT_EQ(log, Log{"a:1"});
    EXPECT_EQ(point->Unadvise(cookie), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);
}

TEST(ConnectionPoint, SinkUnadvisedDuringAnEventMissesIt) {
    Log log;
    auto point = MakeObject<ConnectionPoint>(kEvents);
    auto first = MakeObject<Sink>("a", log);
    DWORD a = 0, b = 0;
    point->Advise(first->Unknown(), &a);
    point->Advise(MakeObject<Sink>("b", log)->Unknown(), &b);
    first->onEvent = [&] { point->Unadvise(b); };
    EXPECT_EQ(point->Fire(7, {}), 1);
    EXPECT_EQ(log, Log{"a:7"});
}

TEST(ConnectionPoint, RefusesSinksWithoutDispatchAndBadPointers) {
    auto point = MakeObject<ConnectionPoint>(kEvents);
    DWORD cookie = 99;
    EXPECT_EQ(point->Advise(MakeObject<NotASink>()->Unknown(), &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(point->Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(point->SinkCount(), 0u);
}

TEST(ConnectionPoints, FindsPointsByEventInterface) {
    ConnectionPoints points;
    points.Add(kEvents);
    Ptr<IConnectionPoint> found;
    ASSERT_EQ(points.Find(kEvents, found.Put()), S_OK);
    IID iid;
    found->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, kEvents);
    Ptr<IConnectionPoint> missing;
    EXPECT_EQ(points.Find(IDispatch::kIid, missing.Put()), CONNECT_E_NOCONNECTION);
    EXPECT_FALSE(missing);
}

}  // namespace
