// pagehost: a web page in a window, as a browser shows it, for pages that embed controls.
//   pagehost <page file or URL>
// The window's title follows the page's title.
#include <QApplication>
#include <QDir>
#include <QUrl>
#include <QWebSettings>
#include <QWebView>
#include <cstdio>

#include "control_page.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QStringList arguments = QApplication::arguments().mid(1);
    if (arguments.size() != 1) {
        std::fprintf(stderr, "usage: pagehost <page file or URL>\n");
        return 2;
    }
    const QUrl page = QUrl::fromUserInput(arguments[0], QDir::currentPath(), QUrl::AssumeLocalFile);
    if (!page.isValid()) {
        std::fprintf(stderr, "pagehost: \"%s\" is no page address\n", qUtf8Printable(arguments[0]));
        return 2;
    }
    // Controls reach the page only through its own objects; plugins of the system stay off.
    QWebSettings::globalSettings()->setAttribute(QWebSettings::PluginsEnabled, false);

    QWebView view;
    view.setPage(new ControlPage(&view));
    QObject::connect(&view, &QWebView::titleChanged, &view, &QWidget::setWindowTitle);
    QObject::connect(&view, &QWebView::loadFinished, &view, [page](bool ok) {
        if (!ok)
            std::fprintf(stderr, "pagehost: %s did not load\n", qUtf8Printable(page.toString()));
    });
    view.resize(800, 600);
    view.load(page);
    view.show();
    return app.exec();
}
