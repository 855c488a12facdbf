// Another player's advertisement, as the desktop sees it: a process that shows one window
// titled with its first argument until it is killed (or its parent, the test, ends).
#include <signal.h>
#include <sys/prctl.h>

#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    QWidget window;
    window.setWindowTitle(QString::fromUtf8(argv[1]));
    window.resize(302, 287);
    window.show();
    return app.exec();
}
