#include "engine_calls.h"

using namespace com;

void EngineCalls::Open(const QString& url) {
    if (engine_) engine_->Open(Bstr(url.toStdString()));
}

void EngineCalls::Close() {
    if (engine_) engine_->Close();
}

void EngineCalls::Play() {
    if (engine_) engine_->Play();
}

void EngineCalls::Pause() {
    if (engine_) engine_->Pause();
}

void EngineCalls::SetLogo(const void* logo) {
    if (engine_) engine_->SetLogo(logo);
}

int EngineCalls::GetState() const {
    LONG state = 0;
    if (!engine_ || FAILED(engine_->GetState(&state))) return 0;
    return state;
}

int EngineCalls::GetDuration() const {
    LONG ms = 0;
    if (!engine_ || FAILED(engine_->GetDuration(&ms))) return 0;
    return ms;
}

int EngineCalls::GetPosition() const {
    LONG ms = 0;
    if (!engine_ || FAILED(engine_->GetPosition(&ms))) return 0;
    return ms;
}

bool EngineCalls::SetPosition(int ms) {
    LONG accepted = 0;
    return engine_ && SUCCEEDED(engine_->SetPosition(ms, &accepted)) && accepted != 0;
}

bool EngineCalls::SetVolume(int volume) {
    LONG accepted = 0;
    return engine_ && SUCCEEDED(engine_->SetVolume(volume, &accepted)) && accepted != 0;
}

int EngineCalls::GetBufferState() const {
    LONG state = -1;
    if (!engine_ || FAILED(engine_->GetBufferState(&state))) return -1;
    return state;
}

QString EngineCalls::GetConfig(int id) const {
    Bstr value;
    if (!engine_ || FAILED(engine_->GetConfig(id, &value))) return QString();
    return QString::fromStdString(value.str());
}

bool EngineCalls::SetConfig(int id, const QString& value) {
    LONG accepted = 0;
    return engine_ && SUCCEEDED(engine_->SetConfig(id, Bstr(value.toStdString()), &accepted)) &&
           accepted != 0;
}
