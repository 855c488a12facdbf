#include "orvane_ax_control.h"

#include <QDebug>
#include <QPainter>
#include <cerrno>
#include <cstring>

#include "platform/paths.h"
#include "platform/process.h"
#include "web_requests.h"

namespace {

constexpr int kRetryTimer = 1;
constexpr int kRetryIntervalMs = 1000;
const char kVersion[] = "1.0.0.37";

// The empty dialog the control's window was laid out as: 186 x 95 dialog units of an
// 8-point dialog font, in pixels.
constexpr int kExtentX = 186 * 6 / 4;
constexpr int kExtentY = 95 * 13 / 8;

const char g_moduleAnchor = 0;  // any address inside this library tells where it lies

// A text argument of a call by name; a value that is no text (null) counts as empty.
com::Bstr TextOf(com::Variant value) {
    if (com::FAILED(value.ChangeTypeToText())) return com::Bstr("");
    return value.ToBstr();
}

}  // namespace

COrvaneAX::COrvaneAX() : Control({"_cx", "_cy", "Caption", "url"}, kExtentX, kExtentY) {
    DefineDispatch();
    EnsurePlayerRunning();
}

void COrvaneAX::DefineDispatch() {
    using com::Variant;
    Dispatch()
        .AddMethod("setOvUrl", kDispIdSetOvUrl, 1,
                   [this](const std::vector<Variant>& args, Variant*) {
                       return setOvUrl(TextOf(args[0]));
                   })
        .AddProperty(
            "url", kDispIdUrl,
            [this](Variant* value) {
                com::Bstr url;
                const com::HRESULT hr = get_url(&url);
                *value = Variant(url);
                return hr;
            },
            [this](const Variant& value) { return put_url(TextOf(value)); })
        .AddProperty(
            "PlayState", kDispIdPlayState,
            [this](Variant* value) {
                com::LONG state = 0;
                const com::HRESULT hr = get_PlayState(&state);
                *value = Variant(state);
                return hr;
            },
            [this](const Variant&) { return put_PlayState(0); })
        .AddProperty(
            "GetVer", kDispIdGetVer,
            [this](Variant* value) {
                com::Bstr version;
                const com::HRESULT hr = get_GetVer(&version);
                *value = Variant(version);
                return hr;
            },
            [this](const Variant& value) { return put_GetVer(TextOf(value)); });
}

void COrvaneAX::EnsurePlayerRunning() {
    if (PipeExchange("bturl::")) return;
    const std::string program = platform::PathAppend(platform::ModuleDirectory(&g_moduleAnchor),
                                                     platform::LinuxFileName("orvane.exe"));
    if (!platform::StartProcess(program, {"-startbt"}))
        qDebug() << "axorvane: cannot start" << QString::fromStdString(program) << ":"
                 << std::strerror(errno);
}

std::int32_t COrvaneAX::Win() const { return static_cast<std::int32_t>(WindowHandle()); }

com::HRESULT COrvaneAX::setOvUrl(const com::Bstr& ovUrl) {
    url_ = ovUrl.str();
    queue_.SendOrQueueSetUrl(Win(), SetUrlRequest(Win(), url_));
    return com::S_OK;
}

com::HRESULT COrvaneAX::get_url(com::Bstr* url) {
    if (!url) return com::E_POINTER;
    *url = com::Bstr(url_);
    return com::S_OK;
}

com::HRESULT COrvaneAX::put_url(const com::Bstr& url) { return setOvUrl(url); }

com::HRESULT COrvaneAX::get_PlayState(com::LONG* state) {
    if (!state) return com::E_POINTER;
    const std::optional<std::string> reply = PipeExchange(GetStateRequest(Win()));
    *state = reply ? ReadLeadingInt(*reply) : 0;
    return com::S_OK;
}

com::HRESULT COrvaneAX::put_PlayState(com::LONG) { return com::S_OK; }

com::HRESULT COrvaneAX::get_GetVer(com::Bstr* version) {
    if (!version) return com::E_POINTER;
    *version = com::Bstr(kVersion);
    return com::S_OK;
}

com::HRESULT COrvaneAX::put_GetVer(const com::Bstr&) { return com::S_OK; }

void COrvaneAX::OnCreate() {
    queue_.SendOrQueue(PlayRequest(Win(), url_));
    SetTimer(kRetryTimer, kRetryIntervalMs);
}

void COrvaneAX::OnTimer(int id) {
    if (id == kRetryTimer) queue_.SendOldest();
}

void COrvaneAX::OnPaint(QPainter& painter, const QRect& rect) { painter.fillRect(rect, Qt::black); }
