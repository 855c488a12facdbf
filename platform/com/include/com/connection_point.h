// Event delivery: a connection point keeps advised IDispatch sinks and calls them in the order
// in which they were advised. ConnectionPoints gives an object its FindConnectionPoint.
#pragma once

#include <utility>
#include <vector>

#include "com/object.h"

namespace com {

class ConnectionPoint final : public Object<ConnectionPoint, IConnectionPoint> {
public:
    explicit ConnectionPoint(const IID& events) : events_(events) {}

    HRESULT GetConnectionInterface(IID* iid) override;
    // A sink that does not answer IDispatch: CONNECT_E_CANNOTCONNECT.
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
    // A cookie that is not advised: CONNECT_E_NOCONNECTION.
    HRESULT Unadvise(DWORD cookie) override;

    // Invokes `id` as a method on every sink advised now, oldest first; a sink unadvised by an
    // earlier sink during the same event is skipped. Answers how many sinks were called.
    int Fire(DISPID id, const DispParams& params);
    std::size_t SinkCount() const { return sinks_.size(); }

private:
    IID events_;
    DWORD nextCookie_ = 1;
    std::vector<std::pair<DWORD, Ptr<IDispatch>>> sinks_;
};

class ConnectionPoints {
public:
    // Adds the point for an event interface and answers it (to fire through).
    Ptr<ConnectionPoint> Add(const IID& events);
    // For IConnectionPointContainer::FindConnectionPoint; unknown: CONNECT_E_NOCONNECTION.
    HRESULT Find(const IID& events, IConnectionPoint** out) const;

private:
    std::vector<Ptr<ConnectionPoint>> points_;
};

}  // namespace com
