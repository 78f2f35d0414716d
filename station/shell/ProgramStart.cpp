#include "ProgramStart.h"

#include "CommandLine.h"
#include "UserManual.h"
#include "link/DemoDevice.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

} // namespace

void ProgramStart::onTerminationRequest(QObject *context, const std::function<void()> &finish)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [finish] {
        char byte = 0;
        [[maybe_unused]] const ssize_t got = ::read(signalPipe[1], &byte, 1);
        finish();
    });
    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
}

bool ProgramStart::startDemo(DemoDevice &demo, CommandLine &cl)
{
    const QString program = DemoDevice::locate(QCoreApplication::applicationDirPath());
    QString error = QStringLiteral("%1 was found neither next to vorsa nor in ../devsim")
                        .arg(QLatin1String(DemoDevice::ProgramName));
    if (program.isEmpty() || !demo.start(program, &error)) {
        QTextStream(stderr) << "vorsa: cannot start the simulated device: " << error << "\n";
        return false;
    }
    cl.address = QStringLiteral("127.0.0.1");
    cl.link = LinkKind::TcpClient;
    return true;
}

std::optional<int> ProgramStart::answerWithoutStarting(const CommandLine &cl,
                                                       const char *versionSuffix)
{
    QTextStream out(stdout);
    if (cl.help) {
        out << CommandLine::Usage;
        return 0;
    }
    if (cl.version) {
        out << "vorsa " VORSA_VERSION << versionSuffix << "\n";
        return 0;
    }
    if (!cl.error.isEmpty()) {
        QTextStream(stderr) << "vorsa: " << cl.error << "\n" << CommandLine::Usage;
        return 2;
    }
    if (cl.manual) {
        const QString page =
            QDir(UserManual::installedFolder()).filePath(QLatin1String(UserManual::ContentsPage));
        out << page << "\n";
        if (QFileInfo(page).isFile())
            return 0;
        QTextStream(stderr) << "vorsa: the manual is not installed there\n";
        return 1;
    }
    return std::nullopt;
}
