// The browser control loaded from its library, talking to a stub BT server over the real pipe.
#include <gtest/gtest.h>
#include <malloc.h>

#include <QImage>
#include <QWidget>
#include <filesystem>
#include <mutex>

#include "activex/host_window.h"
#include "com/create.h"
#include "com/dispatch_call.h"
#include "com/property_bag.h"
#include "iorvane_ax.h"
#include "support/private_folders.h"
#include "support/qt_pump.h"
#include "support/stub_pipe_server.h"
#include "testsupport/loopback.h"

using namespace com;
using webroadtest::PumpUntil;
using webroadtest::StubPipeServer;

namespace {

const char kRecordVariable[] = "ORVANE_TEST_STARTBT_RECORD";

// A copy of the library in a folder of its own, beside a desktop program that only records
// its arguments: the control starts the program it finds beside itself.
const std::string& InstalledLibrary() {
    static testsupport::TempDir folder;
    static const std::string library = [] {
        const std::string copy = folder.file("libaxorvane.so");
        std::filesystem::copy_file(AXORVANE_LIBRARY, copy);
        const std::string program = folder.file("orvane");
        testsupport::WriteFile(program, std::string("#!/bin/sh\nprintf '%s\\n' \"$@\" >> \"$") +
                                            kRecordVariable + "\"\n");
        std::filesystem::permissions(program, std::filesystem::perms::owner_all);
        return copy;
    }();
    return library;
}

class BrowserControl : public ::testing::Test {
protected:
    void SetUp() override { webroadtest::App(); }

    Ptr<IOrvaneAX> Create() {
        Ptr<IOrvaneAX> control;
        EXPECT_EQ(CreateInstanceFromLibrary(InstalledLibrary(), kClsidOrvaneAX, nullptr,
                                            IOrvaneAX::kIid, control.PutVoid()),
                  S_OK)
            << LastLoadError();
        return control;
    }
    // What a page does with its parameters before the window exists.
    static void LoadUrlParameter(const Ptr<IOrvaneAX>& control, const std::string& url) {
        auto bag = MakeObject<PropertyBag>();
        bag->Write("url", Variant(url));
        ASSERT_EQ(control.As<IPersistPropertyBag>()->Load(bag.get()), S_OK);
    }
    // Hosts the control in a shown window; answers the control window's handle.
    static std::int32_t ShowIn(ax::HostWindow& host, const Ptr<IOrvaneAX>& control) {
        host.setControl(control.get());
        host.resize(320, 200);
        host.show();
        return static_cast<std::int32_t>(host.controlWidget()->winId());
    }
    std::string StartRecord() const { return testsupport::ReadFile(record); }
    static std::string Win(std::int32_t handle) { return "win:" + std::to_string(handle); }

    webroadtest::PrivateFolders folders;
    std::string record = folders.file("startbt.txt");
    testsupport::ScopedEnv recordEnv{kRecordVariable, record};
};

TEST_F(BrowserControl, SendsItsRequestsAsUtf8WithWindowZeroUntilTheWindowExists) {
    StubPipeServer server(
        webroadtest::WebRoadAnswer([](auto&) { return ""; }, [](auto&) { return ""; }));
    ASSERT_TRUE(server.Listening());
    const std::string url = "http://página.example/视频 1?a=b";
    Ptr<IOrvaneAX> control = Create();
    ASSERT_TRUE(control);
    LoadUrlParameter(control, url);
    EXPECT_EQ(server.Texts(), (std::vector<std::string>{"bturl::", "seturl::win:0,url:" + url}));

    ax::HostWindow host;
    const std::int32_t win = ShowIn(host, control);
    ASSERT_NE(win, 0);
    ASSERT_TRUE(PumpUntil([&] { return server.Texts().size() == 3; }));
    EXPECT_EQ(server.Texts()[2], "play::" + Win(win) + ",url:" + url);

    Ptr<IDispatch> script = control.As<IDispatch>();
    ASSERT_EQ(CallMethod(script.get(), "setOvUrl", {Variant("magnet:?xt=second")}), S_OK);
    ASSERT_EQ(PutProperty(script.get(), "url", Variant("third")), S_OK);
    Variant value;
    ASSERT_EQ(GetProperty(script.get(), "url", &value), S_OK);
    EXPECT_EQ(value, Variant("third"));  // the url get answers the URL
    ASSERT_EQ(GetProperty(script.get(), "GetVer", &value), S_OK);
    EXPECT_EQ(value, Variant("1.0.0.37"));
    // Writing the read-only members changes nothing and sends nothing.
    EXPECT_EQ(PutProperty(script.get(), "GetVer", Variant("9")), S_OK);
    EXPECT_EQ(PutProperty(script.get(), "PlayState", Variant(std::int32_t{4})), S_OK);
    ASSERT_EQ(GetProperty(script.get(), "GetVer", &value), S_OK);
    EXPECT_EQ(value, Variant("1.0.0.37"));
    EXPECT_EQ(server.TextsStartingWith("seturl::" + Win(win)),
              (std::vector<std::string>{"seturl::" + Win(win) + ",url:magnet:?xt=second",
                                        "seturl::" + Win(win) + ",url:third"}));
    EXPECT_EQ(server.Texts().size(), 5u);
    EXPECT_EQ(StartRecord(), "");  // the server answered: nothing was started
}

TEST_F(BrowserControl, PlayStateIsTheLeadingNumberOfTheReply) {
    std::mutex lock;
    std::optional<std::string> reply;
    StubPipeServer server([&](const std::string& request) -> std::optional<std::string> {
        if (request.rfind("getstate::", 0) != 0) return std::string("0");
        std::lock_guard<std::mutex> guard(lock);
        return reply;
    });
    Ptr<IOrvaneAX> control = Create();
    const struct {
        std::optional<std::string> reply;
        LONG state;
    } cases[] = {{" 12", 12}, {"-3x", -3}, {"", 0}, {"+7", 7}, {"x5", 0}, {std::nullopt, 0}};
    for (const auto& c : cases) {
        {
            std::lock_guard<std::mutex> guard(lock);
            reply = c.reply;
        }
        LONG state = -100;
        ASSERT_EQ(control->get_PlayState(&state), S_OK);
        EXPECT_EQ(state, c.state) << c.reply.value_or("<no reply>");
    }
    EXPECT_EQ(server.TextsStartingWith("getstate::win:0").size(), std::size(cases));
    EXPECT_EQ(control->put_PlayState(5), S_OK);
}

TEST_F(BrowserControl, UnansweredRequestsLeaveOnePerTickWithTheNewestUrlOfEachWindow) {
    Ptr<IOrvaneAX> control = Create();  // no server: the desktop program is started
    ASSERT_TRUE(control);
    ASSERT_TRUE(PumpUntil([&] { return StartRecord() == "-startbt\n"; }));

    LoadUrlParameter(control, "first");
    ax::HostWindow host;
    const std::int32_t win = ShowIn(host, control);
    ASSERT_TRUE(PumpUntil([&] { return host.controlWidget()->isVisible(); }));
    // A window's newer URL takes the place of its older one. The longest request that fits one
    // message does so; one byte more can never be sent and leaves what waits as it was.
    const std::string prefix = "seturl::" + Win(win) + ",url:";
    const std::string longest(65534 - prefix.size(), 'L');
    control->setOvUrl(Bstr("second"));
    control->setOvUrl(Bstr(longest));
    control->setOvUrl(Bstr(longest + "X"));

    StubPipeServer server(
        webroadtest::WebRoadAnswer([](auto&) { return ""; }, [](auto&) { return ""; }));
    ASSERT_TRUE(server.Listening());
    ASSERT_TRUE(PumpUntil([&] { return server.Texts().size() == 3; }, 30000));
    EXPECT_EQ(server.Texts(),
              (std::vector<std::string>{"seturl::win:0,url:first",
                                        "play::" + Win(win) + ",url:first", prefix + longest}));
    // One request per tick: deliveries lie a tick apart, never in a burst.
    const auto requests = server.Requests();
    for (std::size_t i = 1; i < requests.size(); ++i)
        EXPECT_GE(requests[i].at - requests[i - 1].at, std::chrono::milliseconds(500)) << i;
}

// Heap bytes in use by this process.
std::size_t HeapInUse() { return mallinfo2().uordblks; }

// A page that sets its URL in a loop while no BT server answers: only the newest URL of the
// window waits (5,000 URLs of 60 KB would hold some 300 MB, and take 83 minutes to deliver at
// one a second).
TEST_F(BrowserControl, AFloodOfUrlsWithoutAServerLeavesOnlyTheNewestWaiting) {
    Ptr<IOrvaneAX> control = Create();
    ASSERT_TRUE(control);
    ax::HostWindow host;
    const std::int32_t win = ShowIn(host, control);
    const std::string filler(60 * 1024, 'u');
    const std::size_t before = HeapInUse();
    for (int i = 0; i < 5000; ++i)
        ASSERT_EQ(control->setOvUrl(Bstr(std::to_string(i) + filler)), S_OK);
    const std::size_t after = HeapInUse();
    EXPECT_LT(after > before ? after - before : 0, 16u * 1024 * 1024);

    StubPipeServer server(
        webroadtest::WebRoadAnswer([](auto&) { return ""; }, [](auto&) { return ""; }));
    ASSERT_TRUE(server.Listening());
    ASSERT_TRUE(PumpUntil([&] { return server.Texts().size() == 2; }, 30000));
    EXPECT_FALSE(PumpUntil([&] { return server.Texts().size() > 2; }, 2500));
    EXPECT_EQ(server.Texts(),
              (std::vector<std::string>{"play::" + Win(win) + ",url:",
                                        "seturl::" + Win(win) + ",url:4999" + filler}));
}

TEST_F(BrowserControl, PaintsItsWindowBlack) {
    StubPipeServer server(
        webroadtest::WebRoadAnswer([](auto&) { return ""; }, [](auto&) { return ""; }));
    Ptr<IOrvaneAX> control = Create();
    ax::HostWindow host;
    ShowIn(host, control);
    ASSERT_TRUE(PumpUntil([&] { return server.TextsStartingWith("play::").size() == 1; }));
    const QImage picture = host.controlWidget()->grab().toImage();
    ASSERT_FALSE(picture.isNull());
    for (const QPoint p : {QPoint(0, 0), QPoint(picture.width() / 2, picture.height() / 2),
                           QPoint(picture.width() - 1, picture.height() - 1)})
        EXPECT_EQ(picture.pixelColor(p), QColor(Qt::black)) << p.x() << "," << p.y();
}

}  // namespace
