#include "update_watcher.h"

#include <dlfcn.h>

#include <QCoreApplication>
#include <QDebug>
#include <QThread>
#include <mutex>

#include "app_paths.h"
#include "main_widget_calls.h"

namespace {

std::mutex g_libraryMutex;
void* g_library = nullptr;

// On the user-interface thread: the main widget's answer, false without a main widget.
bool AskMainWidget() {
    QObject* main = MainWidgetObject();
    if (!main) return false;
    bool answer = false;
    if (!QMetaObject::invokeMethod(main, "IsUpdate", Qt::DirectConnection,
                                   Q_RETURN_ARG(bool, answer))) {
        qDebug() << "the main widget has no IsUpdate";
        return false;
    }
    qDebug() << "IsUpdate:" << answer;
    return answer;
}

}  // namespace

bool LoadUpdateWatcher() {
    std::lock_guard<std::mutex> lock(g_libraryMutex);
    if (!g_library) {
        const QString path = AppFilePath("Pellmond.dll");
        g_library = dlopen(path.toUtf8().constData(), RTLD_NOW | RTLD_LOCAL);
        if (!g_library) qDebug() << "cannot load the update watcher:" << dlerror();
    }
    return g_library != nullptr;
}

void* UpdateWatcherHandle() {
    std::lock_guard<std::mutex> lock(g_libraryMutex);
    return g_library;
}

StartWatcherFunction FindStartWatcher() {
    void* library = UpdateWatcherHandle();
    if (!library) return nullptr;
    return reinterpret_cast<StartWatcherFunction>(dlsym(library, "KvUpdateStartWatcher"));
}

int StartUpdateWatcher(UpdateCallback callback) {
    const StartWatcherFunction start = FindStartWatcher();
    return start ? start(callback) : -1;
}

bool UpdateNotify(int code) {
    qDebug() << "UpdateNotify:" << code;
    QCoreApplication* app = QCoreApplication::instance();
    if (code != 0 || !app) return false;
    // The main widget and its question belong to the user-interface thread: there the
    // question is asked at once (waiting for itself would never end); another thread waits.
    if (QThread::currentThread() == app->thread()) return AskMainWidget();
    bool answer = false;
    QMetaObject::invokeMethod(
        app, [&answer] { answer = AskMainWidget(); }, Qt::BlockingQueuedConnection);
    return answer;
}
