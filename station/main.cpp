#include "common/Clock.h"
#include "common/ProgramFolder.h"
#include "common/Waiter.h"
#include "monitor/StripChartWidget.h"
#include "monitor/WaveSoundPlayer.h"
#include "shell/MainWindow.h"
#include "shell/QtPlatform.h"
#include "shell/Station.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <functional>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const char *const Usage =
    "Usage: vorsa [options] [device address]\n"
    "The device address (everything on the command line that is not an option) opens the\n"
    "link at start.\n"
    "Options:\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "Environment: VORSA_HOME names the program folder (sys.txt, Vorsa.txt, Event/, RecCSV/);\n"
    "by default it is the folder of the executable.\n";

struct CommandLine {
    QString address;
    bool help = false;
    bool version = false;
    QString unknown;
};

// Words that begin with "--" are ours; the rest, joined, is the device address.
CommandLine parseCommandLine(const QStringList &args)
{
    CommandLine cl;
    QStringList address;
    for (const QString &arg : args.mid(1)) {
        if (arg == QLatin1String("--help"))
            cl.help = true;
        else if (arg == QLatin1String("--version"))
            cl.version = true;
        else if (arg.startsWith(QLatin1String("--")))
            cl.unknown = arg;
        else
            address << arg;
    }
    cl.address = address.join(QLatin1Char(' '));
    return cl;
}

int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[0], &byte, 1);
}

// SIGTERM and SIGINT arrive through a socket pair on the window thread, where the station
// can finish its recordings before it quits, as "&Exit" does.
void onTerminationRequest(QObject *context, const std::function<void()> &finish)
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

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorsa"));
    QApplication::setApplicationVersion(QStringLiteral("1.22"));
    const CommandLine cl = parseCommandLine(QApplication::arguments());
    QTextStream out(stdout);
    if (cl.help) {
        out << Usage;
        return 0;
    }
    if (cl.version) {
        out << "vorsa 1.22\n";
        return 0;
    }
    if (!cl.unknown.isEmpty()) {
        QTextStream(stderr) << "vorsa: unknown option " << cl.unknown << "\n" << Usage;
        return 2;
    }

    SystemClock clock;
    EventLoopWaiter waiter;
    WaveSoundPlayer sound;
    DesktopShell shell;
    DialogPrompter prompter;
    auto *strip1 = new StripChartWidget(QStringLiteral("3-axis Acceleration [gal]"),
                                        {"a", "b", "c", "Pd"});
    auto *strip2 = new StripChartWidget(QStringLiteral("3-axis Trend [gal]"),
                                        {"a", "b", "c", "Pd", "Disp"});
    auto *strip3 = new StripChartWidget(QStringLiteral("Displacement"), {"Displacement", "Pd"});
    Station station({ProgramFolder::fromEnvironment(), clock, waiter, sound, shell, prompter,
                     *strip1, *strip2, *strip3});
    MainWindow window(station, strip1, strip2, strip3);
    prompter.setParent(&window);
    QObject::connect(&station, &Station::quitRequested, &window, [&window] {
        window.closeForExit();
        QApplication::quit();
    });
    onTerminationRequest(&window, [&station] { station.endSession(); });
    window.show();
    station.Form_Load(cl.address);
    return QApplication::exec();
}
