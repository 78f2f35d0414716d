#include "common/Clock.h"
#include "common/ProgramFolder.h"
#include "common/Waiter.h"
#include "link/DemoDevice.h"
#include "monitor/StripChartWidget.h"
#include "monitor/WaveSoundPlayer.h"
#include "shell/MainWindow.h"
#include "shell/MiniSeedCommand.h"
#include "shell/QtPlatform.h"
#include "shell/Station.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTextStream>
#include <csignal>
#include <functional>
#include <sys/socket.h>
#include <unistd.h>

namespace
{

const char *const Usage =
    "Usage: vorsa [options] [device address]\n"
    "The device address (everything on the command line that is not an option) opens the\n"
    "link at start.\n"
    "Options:\n"
    "  --link KIND  the link to open: rtu (Modbus_RTU), tcp (Modbus_TCP) or server\n"
    "               (TCP/IP Server); it still opens at start only with a device address\n"
    "               or \"Auto Run\"\n"
    "  --demo       start the simulated device (vorsa-devsim, an earthquake over and over)\n"
    "               on a free loopback port and connect to it as the TCP client\n"
    "  --export-mseed FILE...\n"
    "               convert record files to miniSEED beside them (FILE.mseed) and end,\n"
    "               without a window; codes from vorsa.ini in the program folder\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "Environment: VORSA_HOME names the program folder (sys.txt, Vorsa.txt, Event/, RecCSV/);\n"
    "by default it is the folder of the executable.\n";

struct CommandLine {
    QString address;
    QStringList exportFiles;
    std::optional<LinkKind> link;
    bool demo = false;
    bool exportMseed = false; // the words that are not options are then files
    bool help = false;
    bool version = false;
    QString error;
};

// Words that begin with "--" are ours; the rest, joined, is the device address.
CommandLine parseCommandLine(const QStringList &args)
{
    CommandLine cl;
    QStringList address;
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--help")) {
            cl.help = true;
        } else if (arg == QLatin1String("--version")) {
            cl.version = true;
        } else if (arg == QLatin1String("--demo")) {
            cl.demo = true;
        } else if (arg == QLatin1String("--export-mseed")) {
            cl.exportMseed = true;
        } else if (arg == QLatin1String("--link")) {
            const QString kind = args.value(++i);
            cl.link = linkKindFromName(kind);
            if (!cl.link)
                cl.error = QStringLiteral("--link takes rtu, tcp or server, not \"%1\"").arg(kind);
        } else if (arg.startsWith(QLatin1String("--"))) {
            cl.error = QStringLiteral("unknown option ") + arg;
        } else {
            address << arg;
        }
    }
    cl.address = address.join(QLatin1Char(' '));
    if (cl.exportMseed)
        cl.exportFiles = address;
    if (cl.exportMseed && address.isEmpty())
        cl.error = QStringLiteral("--export-mseed needs at least one record file");
    if (cl.demo && cl.link && *cl.link != LinkKind::TcpClient)
        cl.error = QStringLiteral("--demo connects as the TCP client (--link tcp)");
    return cl;
}

// The demo's device: on success the station connects to it as the TCP client.
bool startDemo(DemoDevice &demo, CommandLine &cl)
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
    // Read before the window system is touched, so --help and --version work without one.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    CommandLine cl = parseCommandLine(args);
    QTextStream out(stdout);
    if (cl.help) {
        out << Usage;
        return 0;
    }
    if (cl.version) {
        out << "vorsa " VORSA_VERSION "\n";
        return 0;
    }
    if (!cl.error.isEmpty()) {
        QTextStream(stderr) << "vorsa: " << cl.error << "\n" << Usage;
        return 2;
    }
    if (cl.exportMseed) {
        QCoreApplication app(argc, argv);
        QTextStream err(stderr);
        return MiniSeedCommand::run(cl.exportFiles, ProgramFolder::fromEnvironment(), out, err);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorsa"));
    QApplication::setApplicationVersion(QStringLiteral(VORSA_VERSION));
    DemoDevice demo; // declared before the station, so it stops after the station has ended
    if (cl.demo && !startDemo(demo, cl))
        return 1;

    SystemClock clock;
    EventLoopWaiter waiter;
    WaveSoundPlayer sound;
    DesktopShell shell;
    DialogPrompter prompter;
    auto *strip1 = new StripChartWidget(QStringLiteral("3-axis Acceleration [gal]"),
                                        {"a", "b", "c", "Pd"}, {"gal", "gal", "gal", "Pd [cm]"});
    auto *strip2 =
        new StripChartWidget(QStringLiteral("3-axis Trend [gal]"), {"a", "b", "c", "Pd", "Disp"},
                             {"gal", "gal", "gal", "Pd [cm]", "Disp [cm]"});
    auto *strip3 = new StripChartWidget(QStringLiteral("Displacement"), {"Displacement", "Pd"},
                                        {"Displacement [cm]", "Pd [cm]"});
    Station station({ProgramFolder::fromEnvironment(), clock, waiter, sound, shell, prompter,
                     *strip1, *strip2, *strip3});
    MainWindow window(station, strip1, strip2, strip3);
    prompter.setParent(&window);
    shell.setParent(&window);
    QObject::connect(&station, &Station::quitRequested, &window, [&window] {
        window.closeForExit();
        QApplication::quit();
    });
    onTerminationRequest(&window, [&station] { station.systemExit(); });
    window.show();
    station.setStartLink(cl.link, cl.demo ? QString::number(demo.port()) : QString());
    station.Form_Load(cl.address);
    return QApplication::exec();
}
