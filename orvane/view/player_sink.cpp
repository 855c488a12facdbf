#include "player_sink.h"

#include "aplayer/player_engine.h"
#include "player_event_handler.h"

using namespace com;

HRESULT CPlayerSink::QueryInterface(const IID&, void** out) {
    if (!out) return E_POINTER;
    *out = static_cast<IDispatch*>(this);
    return S_OK;
}

HRESULT CPlayerSink::GetIDsOfNames(const std::string&, DISPID*) { return E_NOTIMPL; }

HRESULT CPlayerSink::Invoke(DISPID id, WORD, const DispParams& params, Variant*) {
    if (!handler_) return S_OK;
    const std::size_t count = params.Count();
    const auto arg = [&params](std::size_t i) { return params.Arg(i).IntValue(); };
    switch (id) {
        case aplayer::kDispidOnMessage:
            if (count == 3) handler_->OnMessage(arg(0), arg(1), arg(2));
            break;
        case aplayer::kDispidOnStateChanged:
            if (count == 2) handler_->OnStateChanged(arg(0), arg(1));
            break;
        case aplayer::kDispidOnOpenSucceeded:
            if (count == 0) handler_->OnOpenSucceeded();
            break;
        case aplayer::kDispidOnSeekCompleted:
            if (count == 1) handler_->OnSeekCompleted(arg(0));
            break;
        case aplayer::kDispidOnBuffer:
            if (count == 1) handler_->OnBuffer(arg(0));
            break;
        case aplayer::kDispidOnVideoSizeChanged:
            if (count == 0) handler_->OnVideoSizeChanged();
            break;
        case aplayer::kDispidOnDownloadCodec:
            if (count == 1)
                handler_->OnDownloadCodec(QString::fromStdString(params.Arg(0).TextValue()));
            break;
        default:
            break;
    }
    return S_OK;
}
