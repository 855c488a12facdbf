#include "com/connection_point.h"

#include <algorithm>

namespace com {

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
    if (!iid) return E_POINTER;
    *iid = events_;
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    Ptr<IDispatch> dispatch;
    if (FAILED(sink->QueryInterface(IDispatch::kIid, dispatch.PutVoid())) || !dispatch)
        return CONNECT_E_CANNOTCONNECT;
    *cookie = nextCookie_++;
    if (nextCookie_ == 0) nextCookie_ = 1;  // 0 means "not advised" to every caller
    sinks_.emplace_back(*cookie, std::move(dispatch));
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD cookie) {
    auto it = std::find_if(sinks_.begin(), sinks_.end(),
                           [cookie](const auto& entry) { return entry.first == cookie; });
    if (cookie == 0 || it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    Ptr<IDispatch> sink = std::move(it->second);  // released after the list is consistent
    sinks_.erase(it);
    return S_OK;
}

int ConnectionPoint::Fire(DISPID id, const DispParams& params) {
    // A sink may advise or unadvise while it handles the event, so walk a copy and check that
    // each sink is still advised before calling it.
    const auto snapshot = sinks_;
    int called = 0;
    for (const auto& [cookie, sink] : snapshot) {
        const bool stillAdvised = std::any_of(sinks_.begin(), sinks_.end(),
                                              [&](const auto& e) { return e.first == cookie; });
        if (!stillAdvised) continue;
        Variant ignored;
        sink->Invoke(id, DISPATCH_METHOD, params, &ignored);
        ++called;
    }
    return called;
}

Ptr<ConnectionPoint> ConnectionPoints::Add(const IID& events) {
    Ptr<ConnectionPoint> point = MakeObject<ConnectionPoint>(events);
    points_.push_back(point);
    return point;
}

HRESULT ConnectionPoints::Find(const IID& events, IConnectionPoint** out) const {
    if (!out) return E_POINTER;
    *out = nullptr;
    for (const Ptr<ConnectionPoint>& point : points_) {
        IID iid;
        point->GetConnectionInterface(&iid);
        if (iid == events) {
            point->AddRef();
            *out = point.get();
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

}  // namespace com
