// The playback engine's operations as the player view uses them. The view may have no engine
// (its library is missing or would not start); then every call does nothing and every
// question gets the answer of an engine with nothing open.
#pragma once

#include <QString>

#include "aplayer/player_engine.h"
#include "com/ptr.h"

class EngineCalls {
public:
    // Holds `engine` (a reference of its own); null lets the current engine go.
    void Reset(aplayer::IPlayerEngine* engine = nullptr) { engine_ = engine; }
    aplayer::IPlayerEngine* get() const { return engine_.get(); }
    explicit operator bool() const { return static_cast<bool>(engine_); }

    void Open(const QString& url);
    void Close();
    void Play();
    void Pause();
    void SetLogo(const void* logo);
    // 0 (nothing open) without an engine.
    int GetState() const;
    int GetDuration() const;
    int GetPosition() const;
    // True when the engine took the value.
    bool SetPosition(int ms);
    bool SetVolume(int volume);
    // -1 (not waiting for the network) without an engine.
    int GetBufferState() const;
    // "" without an engine.
    QString GetConfig(int id) const;
    bool SetConfig(int id, const QString& value);

private:
    com::Ptr<aplayer::IPlayerEngine> engine_;
};
