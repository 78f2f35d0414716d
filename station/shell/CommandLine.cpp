#include "CommandLine.h"

#include "ArchiveCommand.h"
#include "MqttPublisher.h"

const char *const CommandLine::Usage =
    "Usage: vorsa [options] [device address]\n"
    "The device address (everything on the command line that is not an option) opens the\n"
    "link at start.\n"
    "Options:\n"
    "  --link KIND  the link to open: rtu (Modbus_RTU), tcp (Modbus_TCP) or server\n"
    "               (TCP/IP Server); it still opens at start only with a device address\n"
    "               or \"Auto Run\"\n"
    "  --record     tick \"Record mode\" before the link opens, so events are written to\n"
    "               the record folder (kept in sys.txt like the other link settings)\n"
    "  --mode MODE  the user mode for this run: general, engineer (the engineering\n"
    "               controls, firmware version and serial number written) or educate (the\n"
    "               device pages and the link settings locked); sys.txt keeps its own\n"
    "               (its first line, \"engineer Mode:\" 0, 1 or 2); the Mode menu switches\n"
    "  --demo       start the simulated device (vorsa-devsim, an earthquake over and over)\n"
    "               on a free loopback port and connect to it as the TCP client (for this\n"
    "               run only: sys.txt keeps its address and port)\n"
    "  --mqtt HOST[:PORT]\n"
    "               publish status, live values, alarms and events to this MQTT broker\n"
    "               (port 1883 unless given; more settings in vorsa.ini)\n"
    "  --export-mseed FILE...\n"
    "               convert record files to miniSEED beside them (FILE.mseed) and end,\n"
    "               without a window; codes from vorsa.ini in the program folder\n"
    "  --archive-extract START END [CHANNELS]\n"
    "               write the archive's samples from START to END into the current folder\n"
    "               as a record file (M<MMddHHmmss>.csv, a, b and c, as the history page\n"
    "               loads it) and end, without a window; times as 2026-03-01T12:00:00\n"
    "               (local time; append Z for UTC)\n"
    "  --mseed      with --archive-extract: write miniSEED of CHANNELS (a comma list of\n"
    "               channel codes, all three when none) instead\n"
    "  --headless   run without a window (for a service): one line per state change and\n"
    "               per log entry on standard output; SIGTERM or SIGINT end it. Without a\n"
    "               display (no DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM) vorsa runs so\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "  --manual     print where the manual that Help > Doc opens is installed\n"
    "Environment: VORSA_HOME names the program folder (sys.txt, Vorsa.txt, Event/, RecCSV/);\n"
    "by default it is the folder of the executable, or ~/.local/share/vorsa when that folder\n"
    "cannot be written.\n";

QStringList CommandLine::modeNames()
{
    return {QStringLiteral("general"), QStringLiteral("engineer"), QStringLiteral("educate")};
}

CommandLine CommandLine::parse(const QStringList &args)
{
    CommandLine cl;
    QStringList address;
    for (int i = 1; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == QLatin1String("--help")) {
            cl.help = true;
        } else if (arg == QLatin1String("--version")) {
            cl.version = true;
        } else if (arg == QLatin1String("--manual")) {
            cl.manual = true;
        } else if (arg == QLatin1String("--demo")) {
            cl.demo = true;
        } else if (arg == QLatin1String("--mqtt")) {
            cl.mqtt = args.value(++i);
            if (MqttOptions options; !options.setBroker(cl.mqtt))
                cl.error =
                    QStringLiteral("--mqtt takes HOST or HOST:PORT, not \"%1\"").arg(cl.mqtt);
        } else if (arg == QLatin1String("--export-mseed")) {
            cl.exportMseed = true;
        } else if (arg == QLatin1String("--archive-extract")) {
            cl.archiveExtract = true;
        } else if (arg == QLatin1String("--mseed")) {
            cl.extractMiniSeed = true;
        } else if (arg == QLatin1String("--headless")) {
            cl.headless = true;
        } else if (arg == QLatin1String("--record")) {
            cl.record = true;
        } else if (arg == QLatin1String("--mode")) {
            const QString name = args.value(++i);
            const int mode = int(modeNames().indexOf(name));
            if (mode < 0)
                cl.error = QStringLiteral("--mode takes general, engineer or educate, not \"%1\"")
                               .arg(name);
            else
                cl.mode = mode;
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
    if (cl.archiveExtract) {
        cl.extractWords = address;
        if (const QString problem = ArchiveCommand::problem(address); !problem.isEmpty())
            cl.error = problem;
    }
    if (cl.extractMiniSeed && !cl.archiveExtract)
        cl.error = QStringLiteral("--mseed goes with --archive-extract");
    if (cl.exportMseed && address.isEmpty())
        cl.error = QStringLiteral("--export-mseed needs at least one record file");
    if (cl.demo && cl.link && *cl.link != LinkKind::TcpClient)
        cl.error = QStringLiteral("--demo connects as the TCP client (--link tcp)");
    return cl;
}
