// The second process of the embedding test:
//   window_test_child <parent handle> <report file>
// Embeds a window of its own into the parent, writes "<own handle>" to the report file, and
// when the parent is destroyed appends " gone" and exits 0. Exits 3 after 120 s without that
// (only so that a test that broke off leaves no process behind).
#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include "window/destroy_watcher.h"
#include "window/embed.h"
#include "window/handle.h"
#include "window/x11_window.h"

namespace {

void Report(const QString& path, const QByteArray& text, QIODevice::OpenMode mode) {
    QFile file(path + ".part");
    if (mode & QIODevice::Append) file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | mode)) return;
    file.write(text);
    file.close();
    if (!(mode & QIODevice::Append)) QFile::rename(path + ".part", path);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 3) return 2;
    const auto parent = platform::window::ParseHandle(argv[1]);
    const QString reportPath = QString::fromLocal8Bit(argv[2]);
    if (!parent) return 2;

    QWidget embedded;
    embedded.setStyleSheet("background: #2050a0");
    if (!platform::window::EmbedWidget(&embedded, *parent)) return 4;

    platform::window::DestroyWatcher watcher(*parent);
    QObject::connect(&watcher, &platform::window::DestroyWatcher::windowDestroyed, [&] {
        const bool stillThere = platform::window::IsWindow(*parent);
        Report(reportPath, stillThere ? " still-a-window" : " gone", QIODevice::Append);
        app.exit(0);
    });
    QTimer::singleShot(120000, [&] { app.exit(3); });
    app.processEvents();
    Report(reportPath, QByteArray::fromStdString(platform::window::FormatHandle(embedded.winId())),
           QIODevice::Truncate);
    return app.exec();
}
