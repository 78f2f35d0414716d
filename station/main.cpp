#include "common/Clock.h"
#include "common/ProgramFolder.h"
#include "common/Waiter.h"
#include "link/DemoDevice.h"
#include "monitor/WaveSoundPlayer.h"
#include "shell/ArchiveCommand.h"
#include "shell/CommandLine.h"
#include "shell/MiniSeedCommand.h"
#include "shell/ProgramStart.h"
#include "shell/Station.h"
#include "ui/MainWindow.h"
#include "ui/QtPlatform.h"
#include "ui/StripChartWidget.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace
{

// The headless program stands beside this one in the build tree, and in the installed
// program's libexec folder.
QString headlessProgram()
{
    const QString self = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    const QDir dir = QFileInfo(self).dir();
    for (const QString &candidate :
         {dir.filePath(QStringLiteral("vorsa-headless")),
          dir.filePath(QStringLiteral("../libexec/vorsa/vorsa-headless"))}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return {};
}

// Replaces this process by the headless program with the same arguments, so a service
// manager keeps watching the same process.
int runHeadless(char *argv[])
{
    const QByteArray program = QFile::encodeName(headlessProgram());
    if (program.isEmpty()) {
        QTextStream(stderr) << "vorsa: the headless program vorsa-headless is not installed\n";
        return 1;
    }
    ::execv(program.constData(), argv);
    QTextStream(stderr) << "vorsa: cannot start " << program << ": " << ::strerror(errno) << "\n";
    return 1;
}

// Qt ends the program when its window system cannot be reached. With none named at all (a
// server, a container, an SSH session) the same station runs without a window instead; a
// platform the user chose (QT_QPA_PLATFORM) is theirs to keep.
bool hasNoDisplay()
{
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(name))
            return false;
    }
    return true;
}

} // namespace

int main(int argc, char *argv[])
{
    // Read before the window system is touched, so --help and --version work without one.
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    CommandLine cl = CommandLine::parse(args);
    if (cl.headless)
        return runHeadless(argv);
    if (const auto answered = ProgramStart::answerWithoutStarting(cl, ""))
        return *answered;
    if (!cl.exportMseed && !cl.archiveExtract && hasNoDisplay()) {
        QTextStream(stderr) << "vorsa: no display (DISPLAY and WAYLAND_DISPLAY are not set): "
                               "running without a window, as vorsa --headless\n";
        return runHeadless(argv);
    }
    QTextStream out(stdout);
    if (cl.exportMseed) {
        QCoreApplication app(argc, argv);
        QTextStream err(stderr);
        return MiniSeedCommand::run(cl.exportFiles, ProgramFolder::fromEnvironment(), out, err);
    }
    if (cl.archiveExtract) {
        QCoreApplication app(argc, argv);
        QTextStream err(stderr);
        return ArchiveCommand::run(cl.extractWords, cl.extractMiniSeed,
                                   ProgramFolder::fromEnvironment(), QDir::currentPath(), out, err);
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorsa"));
    QApplication::setApplicationVersion(QStringLiteral(VORSA_VERSION));
    DemoDevice demo; // declared before the station, so it stops after the station has ended
    if (cl.demo && !ProgramStart::startDemo(demo, cl))
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
    ProgramStart::onTerminationRequest(&window, [&station] { station.systemExit(); });
    window.show();
    station.setStartLink(cl.link, cl.demo ? QString::number(demo.port()) : QString(), cl.record);
    station.setStartMode(cl.mode);
    station.setMqttBroker(cl.mqtt);
    station.start(cl.address);
    return QApplication::exec();
}
