// The BT server's pipe thread: serves the pipe one client at a time and executes each
// command.
#pragma once

#include <QByteArray>
#include <QString>
#include <QThread>
#include <climits>
#include <memory>
#include <mutex>

#include "host_programs.h"
#include "window_values.h"

class PipeServerHandle;

class QMsgThread : public QThread {
    Q_OBJECT

public:
    // Takes the value "bturl", which the BT server routine sets before it makes the thread;
    // the pipe thread never touches the value map itself, which has no lock.
    explicit QMsgThread(QObject* parent = nullptr);
    // Stops the thread and waits for it (see Stop).
    ~QMsgThread() override;

    // Executes one request and fills its reply. False only for "quit", which ends the loop.
    bool HandleCommand(const QByteArray& request, QByteArray& reply);

    // Closes the pipe so that the loop ends once the exchange in progress (if any) is done,
    // and waits up to `timeoutMs` for the thread. True when it is not running any more.
    bool Stop(unsigned long timeoutMs = ULONG_MAX);

protected:
    void run() override;

private:
    QByteArray m_btUrl;
    WindowValues urls;    // "win" text -> URL last set for that window
    WindowValues states;  // "win" text -> state text last set for that window
    HostPrograms hostPrograms;

    std::mutex m_pipeLock;  // guards m_pipe and m_stopping against Stop() on another thread
    std::unique_ptr<PipeServerHandle> m_pipe;
    bool m_stopping = false;
};
