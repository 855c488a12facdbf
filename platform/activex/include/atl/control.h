// Base of a small windowed control with a dual interface:
//
//   struct IThing : com::IDispatch { ...kIid, Base, the interface's own methods... };
//   class CThing final : public atl::Control<CThing, IThing> {
//   public:
//       CThing() : Control({"_cx", "_cy", "Caption", "url"}, 186, 95) {
//           Dispatch().AddMethod("setUrl", 1, 1, ...).AddProperty("url", 2, ..., ...);
//       }
//       void OnCreate() override;              // the window exists (WindowHandle() != 0)
//       void OnTimer(int id) override;
//       void OnPaint(QPainter&, const QRect&) override;
//   };
//
// The base answers IUnknown, the dual interface with IDispatch over Dispatch() (which also
// holds the stock "Caption", DISPID_CAPTION), IPersistPropertyBag over the persisted names
// ("_cx"/"_cy" are the extent, the others go through the property's put and get),
// IObjectSafety (safe for untrusted callers and data), IConnectionPointContainer over
// ConnectionPoints(), and ax::IWidgetObject (the window, made on first request and shown by
// the host). The control's window goes with its last reference.
#pragma once

#include <QPointer>
#include <string>
#include <vector>

#include "activex/widget_object.h"
#include "atl/control_window.h"
#include "com/connection_point.h"
#include "com/dispatch_map.h"
#include "com/object.h"

namespace atl {

template <class Derived, class DualInterface>
class Control
    : public com::Object<Derived, DualInterface, com::IPersistPropertyBag, com::IObjectSafety,
                         com::IConnectionPointContainer, ax::IWidgetObject>,
      private WindowEvents {
public:
    using HRESULT = com::HRESULT;

    // IDispatch
    HRESULT GetIDsOfNames(const std::string& name, com::DISPID* id) override {
        return dispatch_.GetIDsOfNames(name, id);
    }
    HRESULT Invoke(com::DISPID id, com::WORD flags, const com::DispParams& params,
                   com::Variant* result) override {
        return dispatch_.Invoke(id, flags, params, result);
    }

    // The stock Caption (also overrides the dual interface's, when it declares them).
    virtual HRESULT put_Caption(const com::Bstr& caption) {
        caption_ = caption;
        return com::S_OK;
    }
    virtual HRESULT get_Caption(com::Bstr* caption) {
        if (!caption) return com::E_POINTER;
        *caption = caption_;
        return com::S_OK;
    }

    // IPersistPropertyBag: absent names keep their values.
    HRESULT InitNew() override { return com::S_OK; }
    HRESULT Load(com::IPropertyBag* bag) override {
        if (!bag) return com::E_POINTER;
        for (const std::string& name : persisted_) {
            com::Variant value;
            if (com::FAILED(bag->Read(name, &value))) continue;
            if (name == "_cx" || name == "_cy") {
                if (com::FAILED(value.ChangeTypeToText())) continue;
                try {
                    (name == "_cx" ? cx_ : cy_) = std::stoi(value.TextValue());
                } catch (const std::exception&) {
                    // a malformed extent keeps the current one
                }
                continue;
            }
            com::DISPID id = com::DISPID_UNKNOWN;
            if (com::FAILED(dispatch_.GetIDsOfNames(name, &id))) continue;
            const HRESULT hr = dispatch_.Invoke(id, com::DISPATCH_PROPERTYPUT,
                                                com::DispParams::FromArgs({value}), nullptr);
            if (com::FAILED(hr)) return hr;
        }
        return com::S_OK;
    }
    HRESULT Save(com::IPropertyBag* bag, bool, bool) override {
        if (!bag) return com::E_POINTER;
        for (const std::string& name : persisted_) {
            com::Variant value;
            if (name == "_cx" || name == "_cy") {
                value = com::Variant(static_cast<std::int32_t>(name == "_cx" ? cx_ : cy_));
            } else {
                com::DISPID id = com::DISPID_UNKNOWN;
                if (com::FAILED(dispatch_.GetIDsOfNames(name, &id))) continue;
                const HRESULT hr = dispatch_.Invoke(id, com::DISPATCH_PROPERTYGET, {}, &value);
                if (com::FAILED(hr)) return hr;
            }
            const HRESULT hr = bag->Write(name, value);
            if (com::FAILED(hr)) return hr;
        }
        return com::S_OK;
    }

    // IObjectSafety, for the interfaces this object answers.
    HRESULT GetInterfaceSafetyOptions(const com::IID& iid, com::DWORD* supported,
                                      com::DWORD* enabled) override {
        if (!supported || !enabled) return com::E_POINTER;
        *supported = *enabled = 0;
        if (!Answers(iid)) return com::E_NOINTERFACE;
        *supported = kSafety;
        *enabled = safety_;
        return com::S_OK;
    }
    HRESULT SetInterfaceSafetyOptions(const com::IID& iid, com::DWORD mask,
                                      com::DWORD enabled) override {
        if (!Answers(iid)) return com::E_NOINTERFACE;
        if (mask & ~kSafety) return com::E_FAIL;
        safety_ = (safety_ & ~mask) | (enabled & mask);
        return com::S_OK;
    }

    // IConnectionPointContainer
    HRESULT FindConnectionPoint(const com::IID& events, com::IConnectionPoint** out) override {
        return points_.Find(events, out);
    }

    // ax::IWidgetObject
    QWidget* ControlWidget() override {
        if (!window_) {
            window_ = new ControlWindow(this);  // owned by this control or by its host parent
            window_->resize(cx_, cy_);
        }
        return window_;
    }

    int ExtentX() const { return cx_; }
    int ExtentY() const { return cy_; }

protected:
    Control(std::vector<std::string> persisted, int cx, int cy)
        : persisted_(std::move(persisted)), cx_(cx), cy_(cy) {
        dispatch_.AddProperty(
            "Caption", com::DISPID_CAPTION,
            [this](com::Variant* v) {
                com::Bstr text;
                const HRESULT hr = get_Caption(&text);
                *v = com::Variant(text);
                return hr;
            },
            [this](const com::Variant& v) {
                com::Variant text = v;
                if (com::FAILED(text.ChangeTypeToText())) return com::DISP_E_TYPEMISMATCH;
                return put_Caption(text.ToBstr());
            });
    }
    ~Control() override {
        if (window_) {
            window_->Detach();
            delete window_.data();
        }
    }

    com::DispatchMap& Dispatch() { return dispatch_; }
    com::ConnectionPoints& ConnectionPoints() { return points_; }

    // 0 until the window has been created.
    unsigned long WindowHandle() const { return window_ ? window_->Handle() : 0; }
    bool SetTimer(int id, int milliseconds) {
        return window_ && window_->SetTimer(id, milliseconds);
    }
    bool KillTimer(int id) { return window_ && window_->KillTimer(id); }

    virtual void OnCreate() {}
    virtual void OnTimer(int) {}
    virtual void OnPaint(QPainter&, const QRect&) {}
    virtual void OnDestroy() {}

private:
    static constexpr com::DWORD kSafety =
        com::INTERFACESAFE_FOR_UNTRUSTED_CALLER | com::INTERFACESAFE_FOR_UNTRUSTED_DATA;

    bool Answers(const com::IID& iid) {
        void* p = nullptr;
        if (com::FAILED(this->QueryInterface(iid, &p)) || !p) return false;
        static_cast<com::IUnknown*>(p)->Release();
        return true;
    }

    void OnWindowCreated() override { OnCreate(); }
    void OnWindowTimer(int id) override { OnTimer(id); }
    void OnWindowPaint(QPainter& painter, const QRect& rect) override { OnPaint(painter, rect); }
    void OnWindowDestroyed() override { OnDestroy(); }

    std::vector<std::string> persisted_;
    int cx_;
    int cy_;
    com::Bstr caption_;
    com::DWORD safety_ = kSafety;
    com::DispatchMap dispatch_;
    com::ConnectionPoints points_;
    QPointer<ControlWindow> window_;
};

}  // namespace atl
