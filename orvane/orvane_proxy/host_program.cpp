#include "host_program.h"

#include <cstdio>

#include "com/dispatch_call.h"
#include "player_control.h"
#include "web_requests.h"
#include "window/x11_window.h"

namespace {

constexpr int kPollIntervalMs = 1000;

bool IsTargetWindow(std::int32_t window) {
    return window > 0 &&
           platform::window::IsWindow(static_cast<platform::window::WindowHandle>(window));
}

}  // namespace

HostProgram::HostProgram(std::int32_t targetWindow, std::string url)
    : target_(targetWindow), url_(std::move(url)) {
    timer_.setInterval(kPollIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &HostProgram::Poll);
}

std::optional<int> HostProgram::Start() {
    std::string error;
    if (!CreatePlayerControl(host_, error)) {
        std::fprintf(stderr, "orvane_proxy: %s\n", error.c_str());
        return 1;
    }
    if (!host_.embedInto(static_cast<unsigned long>(target_))) {
        // Gone meanwhile: nothing to show in. Otherwise this display cannot embed at all.
        if (!IsTargetWindow(target_)) return 0;
        std::fprintf(stderr, "orvane_proxy: cannot place the player inside window %d\n", target_);
        return 1;
    }
    CallSetOvUrl();
    timer_.start();
    return std::nullopt;
}

void HostProgram::Poll() {
    if (!IsTargetWindow(target_)) {
        timer_.stop();
        lastState_ = com::Variant();
        host_.releaseControl();
        emit finished(0);
        return;
    }
    FollowUrl();
    ReportState();
}

void HostProgram::FollowUrl() {
    const std::optional<std::string> reply = PipeExchange(GetUrlRequest(target_));
    if (!reply || *reply == url_) return;
    url_ = *reply;
    CallSetOvUrl();
}

void HostProgram::ReportState() {
    com::Variant state;
    if (com::Ptr<com::IDispatch> control = Control())
        com::CallMethod(control.get(), "getState", {}, &state);
    // Type and value both count; the first answer differs from the empty start.
    if (state == lastState_) return;
    lastState_ = state;
    const std::int32_t number =
        state.Type() == com::VT_BSTR ? ReadLeadingInt(state.TextValue()) : 0;
    PipeExchange(SetStateRequest(target_, number));
}

com::Ptr<com::IDispatch> HostProgram::Control() const {
    com::Ptr<com::IDispatch> control;
    host_.queryInterface(com::IDispatch::kIid, control.PutVoid());
    return control;
}

void HostProgram::CallSetOvUrl() {
    if (com::Ptr<com::IDispatch> control = Control())
        com::CallMethod(control.get(), "setOvUrl", {com::Variant(url_)});
}
