#include "helpers_together.h"

#include <QProcess>
#include <memory>

std::vector<int> RunHelpersTogether(const std::vector<QStringList>& arguments) {
    std::vector<std::unique_ptr<QProcess>> helpers;
    bool ready = true;
    for (const QStringList& list : arguments) {
        helpers.push_back(std::make_unique<QProcess>());
        QProcess& helper = *helpers.back();
        helper.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        helper.start(ORVANE_TEST_HELPER, list);
        ready = ready && helper.waitForStarted(30000);
    }
    for (auto& helper : helpers) {
        while (ready && !helper->canReadLine()) ready = helper->waitForReadyRead(60000);
        ready = ready && helper->readLine() == "ready\n";
    }
    // A helper that is not ready gets no line: stdin closes and it ends. QProcess writes only
    // when asked to wait for it, so the lines go out one right after the other here.
    for (auto& helper : helpers) {
        if (ready) helper->write("go\n");
        helper->closeWriteChannel();
        helper->waitForBytesWritten(10000);
    }
    std::vector<int> codes;
    for (auto& helper : helpers) {
        const bool ended = helper->waitForFinished(120000);
        if (!ended) {
            helper->kill();
            helper->waitForFinished(10000);
        }
        codes.push_back(ended && ready && helper->exitStatus() == QProcess::NormalExit
                            ? helper->exitCode()
                            : -1);
    }
    return codes;
}
