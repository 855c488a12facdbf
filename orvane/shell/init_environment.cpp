#include "init_environment.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QMessageBox>
#include <QWebSettings>

#include "app_paths.h"
#include "app_values.h"
#include "http_server.h"

namespace {

// The server's sockets must go while Qt's event machinery still exists, not at library
// unload after the application object is gone.
void StopHttpServerWithApplication() {
    static bool registered = false;
    if (registered) return;
    registered = true;
    qAddPostRoutine([] { TheHttpServer().Stop(); });
}

}  // namespace

bool InitEnvironment() {
    const QString pluginPath = AppFilePath("plugins").replace('\\', '/');
    qputenv("QTWEBKIT_PLUGIN_PATH", pluginPath.toUtf8());
    QCoreApplication::addLibraryPath(pluginPath);
    MakePath(AppWritePath("ini"));

    const int port = TheHttpServer().Start(9001, 10000, AppFilePath("web"));
    StopHttpServerWithApplication();
    SetAppValue("weburl", QString("http://127.0.0.1:%1/index.html").arg(port));
    SetAppValue("btroot", QString("http://127.0.0.1:%1/btroot/").arg(port));

    QFile style(QStringLiteral(":/style/global.css"));
    if (!style.open(QIODevice::ReadOnly)) {
        QMessageBox::critical(nullptr, QObject::tr("Error"), QObject::tr("Style file load failed!"),
                              QMessageBox::Ok);
        return false;
    }
    qApp->setStyleSheet(QString::fromUtf8(style.readAll()));
    style.close();

    QWebSettings* settings = QWebSettings::globalSettings();
    for (const auto attribute :
         {QWebSettings::PluginsEnabled, QWebSettings::JavascriptEnabled,
          QWebSettings::JavascriptCanAccessClipboard, QWebSettings::JavascriptCanOpenWindows,
          QWebSettings::LocalContentCanAccessRemoteUrls,
          QWebSettings::LocalContentCanAccessFileUrls, QWebSettings::XSSAuditingEnabled})
        settings->setAttribute(attribute, true);
    return true;
}
