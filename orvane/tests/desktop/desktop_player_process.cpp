#include "desktop_player_process.h"

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSet>
#include <QTemporaryFile>
#include <QUdpSocket>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "testsupport/loopback.h"

// Last: Xlib's macros clash with Qt's headers.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

DesktopPlayerProcess::DesktopPlayerProcess(const std::string& bin, const QStringList& arguments,
                                           const QProcessEnvironment& environment,
                                           const QString& workingDirectory,
                                           const QStringList& launcher) {
    QProcessEnvironment full = QProcessEnvironment::systemEnvironment();
    full.insert(environment);
    process_.setProcessEnvironment(full);
    if (!workingDirectory.isEmpty()) process_.setWorkingDirectory(workingDirectory);
    // The engine's complaints about a machine without sound are long; they are kept apart.
    QTemporaryFile errors(QDir::tempPath() + "/orvane-player-XXXXXX.log");
    errors.setAutoRemove(false);
    if (errors.open()) errorFile_ = errors.fileName();
    process_.setStandardErrorFile(errorFile_);
    QStringList command = launcher;
    command << QString::fromStdString(bin + "/orvane") << arguments;
    process_.start(command.takeFirst(), command);
    process_.waitForStarted(10000);
}

DesktopPlayerProcess::~DesktopPlayerProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(10000);
    }
    if (!errorFile_.isEmpty()) QFile::remove(errorFile_);
}

void DesktopPlayerProcess::ReadLines() {
    pending_ += QString::fromLocal8Bit(process_.readAllStandardOutput());
    int end;
    while ((end = pending_.indexOf('\n')) >= 0) {
        lines_ << pending_.left(end);
        pending_.remove(0, end + 1);
    }
}

std::optional<QRegularExpressionMatch> DesktopPlayerProcess::WaitForLine(
    const QString& pattern, std::chrono::milliseconds limit) {
    const QRegularExpression expression(pattern);
    const auto deadline = Clock::now() + limit;
    for (;;) {
        ReadLines();
        for (; next_ < lines_.size(); ++next_) {
            const QRegularExpressionMatch match = expression.match(lines_[next_]);
            if (match.hasMatch()) {
                ++next_;
                return match;
            }
        }
        if (Clock::now() >= deadline) return std::nullopt;
        // A program that has ended prints nothing more.
        if (process_.state() == QProcess::NotRunning) {
            ReadLines();
            if (next_ == lines_.size()) return std::nullopt;
            continue;
        }
        process_.waitForReadyRead(100);
    }
}

std::optional<int> DesktopPlayerProcess::WaitForExit(std::chrono::milliseconds limit) {
    if (process_.state() != QProcess::NotRunning &&
        !process_.waitForFinished(static_cast<int>(limit.count())))
        return std::nullopt;
    ReadLines();
    if (process_.exitStatus() != QProcess::NormalExit) return std::nullopt;
    return process_.exitCode();
}

QString DesktopPlayerProcess::ErrorTail() const {
    QFile file(errorFile_);
    if (!file.open(QIODevice::ReadOnly)) return QString();
    const QStringList lines = QString::fromLocal8Bit(file.readAll()).split('\n');
    return lines.mid(std::max(0, lines.size() - 40)).join('\n');
}

std::vector<pid_t> BtServersOf(const std::string& bin) {
    const fs::path program = fs::weakly_canonical(fs::path(bin) / "orvane");
    std::vector<pid_t> pids;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::error_code error;
        if (fs::read_symlink(entry.path() / "exe", error) != program) continue;
        std::ifstream in(entry.path() / "cmdline");
        std::stringstream command;
        command << in.rdbuf();
        if (command.str().find(std::string("\0-startbt\0", 10)) != std::string::npos)
            pids.push_back(static_cast<pid_t>(std::stol(name)));
    }
    return pids;
}

bool KillAndWait(pid_t pid) {
    ::kill(pid, SIGKILL);
    // Not a child of the test: whoever adopted it reaps it.
    return testsupport::WaitUntil([pid] {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string field;
        for (int i = 0; i < 3 && stat >> field; ++i) {
        }
        return !stat || field == "Z";
    });
}

namespace {

long PidOfWindow(Display* display, Window window, Atom pidAtom) {
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    long pid = -1;
    if (XGetWindowProperty(display, window, pidAtom, 0, 1, False, XA_CARDINAL, &type, &format,
                           &count, &after, &data) == Success &&
        data && format == 32 && count == 1)
        pid = static_cast<long>(*reinterpret_cast<unsigned long*>(data));
    if (data) XFree(data);
    return pid;
}

}  // namespace

unsigned long LargestWindowOf(qint64 pid) {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 0;
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    Window largest = 0;
    long largestArea = 0;
    if (XQueryTree(display, DefaultRootWindow(display), &root, &parent, &children, &count)) {
        for (unsigned int i = 0; i < count; ++i) {
            XWindowAttributes attributes;
            if (PidOfWindow(display, children[i], pidAtom) != pid ||
                !XGetWindowAttributes(display, children[i], &attributes) ||
                attributes.map_state != IsViewable)
                continue;
            const long area = long(attributes.width) * attributes.height;
            if (area > largestArea) {
                largest = children[i];
                largestArea = area;
            }
        }
        if (children) XFree(children);
    }
    XCloseDisplay(display);
    return largest;
}

bool AskToCloseWindowOf(qint64 pid) {
    const Window largest = LargestWindowOf(pid);
    if (!largest) return false;
    Display* display = XOpenDisplay(nullptr);
    if (!display) return false;
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = largest;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(display, largest, False, NoEventMask, &event);
    XFlush(display);
    XCloseDisplay(display);
    return true;
}

QImage GrabDisplay() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->grabWindow(0).toImage() : QImage();
}

bool ShowsColourfulPicture(const QImage& image) {
    const QImage small = image.scaled(160, 100).convertToFormat(QImage::Format_RGB32);
    QSet<int> hues;
    for (int y = 0; y < small.height(); ++y)
        for (int x = 0; x < small.width(); ++x) {
            const QColor colour(small.pixel(x, y));
            if (colour.hsvSaturation() > 150 && colour.value() > 100)
                hues.insert(colour.hsvHue() / 30);
        }
    return hues.size() >= 5;
}

quint16 FreeUdpPort() {
    QUdpSocket socket;
    socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
    return socket.localPort();
}
