// The updater's tests run inside one QApplication (the dialog needs it), on the offscreen
// platform unless told otherwise.
#include <gtest/gtest.h>

#include <QApplication>

// Qt's offscreen platform never frees its screen object; that is not ours to report.
extern "C" const char* __lsan_default_suppressions() { return "leak:libqoffscreen.so\n"; }

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
