// The station without a window, for services: the same logic under QCoreApplication, with
// what happens told on standard output. It links no Widgets library.
#include "common/Clock.h"
#include "common/ProgramFolder.h"
#include "common/Waiter.h"
#include "link/DemoDevice.h"
#include "shell/ArchiveCommand.h"
#include "shell/CommandLine.h"
#include "shell/HeadlessPlatform.h"
#include "shell/HeadlessReport.h"
#include "shell/MiniSeedCommand.h"
#include "shell/ProgramStart.h"
#include "shell/ServiceNotifier.h"
#include "shell/Station.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    CommandLine cl = CommandLine::parse(args);
    if (const auto answered = ProgramStart::answerWithoutStarting(cl, " (headless)"))
        return *answered;
    QTextStream out(stdout);
    QCoreApplication app(argc, argv);
    if (cl.exportMseed) {
        QTextStream err(stderr);
        return MiniSeedCommand::run(cl.exportFiles, ProgramFolder::fromEnvironment(), out, err);
    }
    if (cl.archiveExtract) {
        QTextStream err(stderr);
        return ArchiveCommand::run(cl.extractWords, cl.extractMiniSeed,
                                   ProgramFolder::fromEnvironment(), QDir::currentPath(), out, err);
    }
    QCoreApplication::setApplicationName(QStringLiteral("vorsa"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VORSA_VERSION));
    DemoDevice demo; // declared before the station, so it stops after the station has ended
    if (cl.demo && !ProgramStart::startDemo(demo, cl))
        return 1;

    SystemClock clock;
    EventLoopWaiter waiter;
    HeadlessSound sound;
    NoDesktop shell;
    UnattendedPrompter prompter;
    NoChart strip1, strip2, strip3;
    Station station({ProgramFolder::fromEnvironment(), clock, waiter, sound, shell, prompter,
                     strip1, strip2, strip3});
    HeadlessReport report(station, clock, out);
    // Pings from here on, also while start-up waits for the link with the loop running.
    ServiceNotifier service;
    service.followLink(station.linkStatus());
    const auto warn = [&report](const QString &text) {
        report.report(QStringLiteral("warning"), text);
    };
    sound.setTeller(warn);
    shell.setTeller(warn);
    prompter.setTeller(warn);
    QObject::connect(&station, &Station::quitRequested, &app, [&report, &service] {
        service.notifyStopping();
        report.report(QStringLiteral("info"), QStringLiteral("stopped"));
        QCoreApplication::quit();
    });
    ProgramStart::onTerminationRequest(&app, [&station] { station.systemExit(); });
    report.report(QStringLiteral("info"),
                  QStringLiteral("program folder ") + station.folder().path());
    station.setStartLink(cl.link, cl.demo ? QString::number(demo.port()) : QString(), cl.record);
    station.setStartMode(cl.mode);
    station.setMqttBroker(cl.mqtt);
    station.start(cl.address);
    service.notifyReady();
    return QCoreApplication::exec();
}
