#include "DeviceBytes.h"
#include "TcpTap.h"
#include "link/DemoDevice.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>
#include <unistd.h>

// `vorsa --headless` as a service runs it: no display, no platform plugin named, Record mode
// against the simulated quake on loopback, ended by SIGTERM. And `vorsa --demo` where no
// display is, ended by Ctrl-C.
class TestHeadlessDevsim : public QObject
{
    Q_OBJECT
private slots:
    void recordsQuakeAndEndsOnSigterm();
    void demoWithoutDisplayRunsHeadless();
    void killedMidPostAlarmRecoveredOnRestart();
};

namespace
{

constexpr int PreAlarmSeconds = 2;
constexpr int PostAlarmSeconds = 3;

QStringList fileLines(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

bool hasLineContaining(const QStringList &lines, const QString &level, const QString &text)
{
    for (const QString &line : lines) {
        if (line.mid(20).startsWith(level + QLatin1Char(' ')) && line.contains(text))
            return true;
    }
    return false;
}

// The headless station's environment: the test's own, without any window system.
QProcessEnvironment serviceEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("VORSA_HOME"), home);
    return env;
}

} // namespace

void TestHeadlessDevsim::recordsQuakeAndEndsOnSigterm()
{
    // At twice the device's pace the quake triggers about 6 s after the simulator starts,
    // well after the station has connected, and is over about 20 s after.
    DemoDevice sim;
    QString error;
    QVERIFY2(sim.start(QStringLiteral(DEVSIM_PROGRAM),
                       {"--tcp", "0", "--serial", "77", "--scenario", "quake", "--speed", "2",
                        "--latency", "10"},
                       &error),
             qPrintable(error));
    QTemporaryDir home;
    QFile settings(home.filePath(QStringLiteral("sys.txt")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("Port:%1\r\nPre-alarm time:%2\r\n"
                                  "Post-alarm time:%3\r\n")
                       .arg(sim.port())
                       .arg(PreAlarmSeconds)
                       .arg(PostAlarmSeconds)
                       .toUtf8());
    settings.close();

    QProcess station;
    station.setProcessEnvironment(serviceEnvironment(home.path()));
    station.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // Record mode comes from the command line, as the service gives it.
    station.start(QStringLiteral(VORSA_PROGRAM), {"--headless", "--record", "127.0.0.1"});
    QVERIFY(station.waitForStarted());
    QStringList out;
    const auto readLines = [&] {
        while (station.canReadLine())
            out << QString::fromUtf8(station.readLine()).chopped(1);
    };
    const auto seen = [&](const QString &level, const QString &text) {
        readLines();
        return hasLineContaining(out, level, text);
    };
    QTRY_VERIFY_WITH_TIMEOUT(seen("info", "event file "), 40000);
    QTRY_VERIFY_WITH_TIMEOUT(seen("info", "summary "), 40000);
    QTRY_VERIFY_WITH_TIMEOUT(seen("log", "Max Intensity---"), 5000);

    station.terminate(); // SIGTERM
    QVERIFY(station.waitForFinished(10000));
    readLines();
    out << QString::fromUtf8(station.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(station.exitStatus(), QProcess::NormalExit);
    QCOMPARE(station.exitCode(), 0);
    const QString transcript = out.join(QLatin1Char('\n'));

    const QRegularExpression form(
        QStringLiteral("^\\d{4}/\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d (info|warning|alarm|log) .+$"));
    for (const QString &line : out)
        QVERIFY2(form.match(line).hasMatch(), qPrintable(line));
    QVERIFY2(
        seen("info", "link opened: Modbus_TCP to 127.0.0.1 port " + QString::number(sim.port())),
        qPrintable(transcript));
    QVERIFY2(seen("alarm", "event started"), qPrintable(transcript));
    QVERIFY2(seen("info", "event over"), qPrintable(transcript));
    QVERIFY2(out.last().endsWith(QLatin1String(" info stopped")), qPrintable(transcript));

    // A trigger during the post-alarm time records the event again; every write is a whole
    // window with its header.
    const QStringList recordings =
        QDir(home.filePath(QStringLiteral("RecCSV"))).entryList({"*.CSV"}, QDir::Files);
    QVERIFY(!recordings.isEmpty());
    const int windowLines = 12 + (PreAlarmSeconds + PostAlarmSeconds) * 100;
    for (const QString &name : recordings) {
        const QString recording = home.filePath(QStringLiteral("RecCSV/") + name);
        QVERIFY2(seen("info", "event file " + recording), qPrintable(transcript));
        const QStringList rows = fileLines(recording);
        QCOMPARE(rows.value(0), QStringLiteral("#StationCode:77"));
        QVERIFY2(!rows.isEmpty() && rows.size() % windowLines == 0,
                 qPrintable(QString::number(rows.size())));
    }

    const QStringList summaries = fileLines(home.filePath(QStringLiteral("Vorsa.txt")));
    QCOMPARE(summaries.size(), 1);
    QVERIFY2(seen("info", "summary " + summaries.first()), qPrintable(transcript));

    // Every log entry is on standard output, its station code as a field once read; the
    // lines' times only go forward.
    const QStringList logs = QDir(home.filePath(QStringLiteral("Event"))).entryList(QDir::Files);
    QCOMPARE(logs.size(), 1);
    const QStringList entries = fileLines(home.filePath(QStringLiteral("Event/") + logs.first()));
    QVERIFY(entries.first().endsWith(QLatin1String(" Application Start_88888")));
    QVERIFY(entries.filter(QStringLiteral("Max Intensity---")).size() == 1);
    QVERIFY(entries.last().endsWith(QLatin1String(" System Exit Application_77")));
    for (const QString &entry : entries) {
        const qsizetype glued = entry.lastIndexOf(QLatin1Char('_'));
        const QString code = entry.mid(glued + 1);
        const QString expected =
            entry.mid(20, glued - 20) +
            (code == QLatin1String("88888") ? QString() : " [station " + code + "]");
        QVERIFY2(out.filter(QStringLiteral(" log ")).filter(expected).size() == 1,
                 qPrintable(expected + "\n" + transcript));
    }
    for (qsizetype i = 1; i < out.size(); ++i)
        QVERIFY2(out[i - 1].left(19) <= out[i].left(19), qPrintable(out[i]));
}

// The window's program with no display and no platform named: one line says so, then the
// headless station runs the demo until Ctrl-C, which ends it without a warning and leaves
// sys.txt's port as it was.
void TestHeadlessDevsim::demoWithoutDisplayRunsHeadless()
{
    QTemporaryDir home;
    QFile settings(home.filePath(QStringLiteral("sys.txt")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write("Port:1502\r\n");
    settings.close();

    QProcess station;
    station.setProcessEnvironment(serviceEnvironment(home.path()));
    station.setProcessChannelMode(QProcess::MergedChannels);
    // A process group of its own, as a terminal gives: Ctrl-C signals the whole group.
    station.setChildProcessModifier([] { ::setpgid(0, 0); });
    station.start(QStringLiteral(VORSA_PROGRAM), {"--demo"});
    QVERIFY(station.waitForStarted());
    QStringList out;
    const auto online = [&] {
        while (station.canReadLine())
            out << QString::fromUtf8(station.readLine()).chopped(1);
        return hasLineContaining(out, QStringLiteral("log"), QStringLiteral("Online"));
    };
    QTRY_VERIFY_WITH_TIMEOUT(online(), 20000);
    QCOMPARE(::kill(-pid_t(station.processId()), SIGINT), 0);
    QVERIFY(station.waitForFinished(10000));
    out << QString::fromUtf8(station.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    const QString transcript = out.join(QLatin1Char('\n'));
    QCOMPARE(station.exitStatus(), QProcess::NormalExit);
    QCOMPARE(station.exitCode(), 0);
    QVERIFY2(out.first().startsWith(QLatin1String("vorsa: no display")), qPrintable(transcript));
    QVERIFY2(out.filter(QStringLiteral(" warning ")).isEmpty(), qPrintable(transcript));
    QVERIFY2(out.last().endsWith(QLatin1String(" info stopped")), qPrintable(transcript));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QVERIFY(settings.readAll().contains("\r\nPort:1502\r\n"));
}

// A power cut 3 s into the post-alarm time: the restarted station writes the event file from
// its journal, with every row it had received but the last second's at most, and its summary;
// a second restart finds nothing more to recover.
void TestHeadlessDevsim::killedMidPostAlarmRecoveredOnRestart()
{
    QTemporaryDir home;
    const QString replay = home.filePath(QStringLiteral("burst.csv"));
    QFile replayFile(replay);
    QVERIFY(replayFile.open(QIODevice::WriteOnly));
    for (int n = 0; n < 6000; ++n)
        replayFile.write(QByteArray::number(n * 0.01, 'f', 2) +
                         (n >= 600 && n < 900 ? ",60,1,-1,0,0\n" : ",0,1,-1,0,0\n"));
    replayFile.close();
    auto sim = std::make_unique<DemoDevice>();
    QString error;
    QVERIFY2(sim->start(QStringLiteral(DEVSIM_PROGRAM),
                        {"--tcp", "0", "--serial", "77", "--scenario", replay}, &error),
             qPrintable(error));
    auto tap = std::make_unique<TcpTap>(sim->port());
    QFile settings(home.filePath(QStringLiteral("sys.txt")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("Port:%1\r\nPre-alarm time:2\r\nPost-alarm time:30\r\n")
                       .arg(tap->port())
                       .toUtf8());
    settings.close();

    QStringList out;
    QProcess station;
    // The restarts open no link: the device is gone with the power.
    const auto run = [&](const QStringList &link = {}) {
        out.clear();
        station.setProcessEnvironment(serviceEnvironment(home.path()));
        station.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        station.start(QStringLiteral(VORSA_PROGRAM), QStringList{"--headless"} + link);
        return station.waitForStarted();
    };
    const auto seen = [&](const QString &level, const QString &text) {
        while (station.canReadLine())
            out << QString::fromUtf8(station.readLine()).chopped(1);
        return hasLineContaining(out, level, text);
    };
    QVERIFY(run({"--record", "127.0.0.1"}));
    QTRY_VERIFY_WITH_TIMEOUT(seen("info", "recording the event"), 20000);
    QTest::qWait(3000);
    const QList<QByteArray> sent = DeviceBytes::streamPackets(tap->fromTarget);
    QCOMPARE(::kill(pid_t(station.processId()), SIGKILL), 0);
    QVERIFY(station.waitForFinished(5000));
    tap.reset();
    sim.reset();
    const QString recCsv = home.filePath(QStringLiteral("RecCSV"));
    QCOMPARE(QDir(recCsv).entryList({QStringLiteral("*.CSV")}, QDir::Files).size(), 0);
    QCOMPARE(
        QDir(recCsv).entryList({QStringLiteral(".*.journal")}, QDir::Files | QDir::Hidden).size(),
        1);

    QVERIFY(run());
    QTRY_VERIFY_WITH_TIMEOUT(seen("log", "recovered after an unclean stop"), 10000);
    station.terminate();
    QVERIFY(station.waitForFinished(10000));
    const QStringList recordings = QDir(recCsv).entryList({QStringLiteral("*.CSV")}, QDir::Files);
    QCOMPARE(recordings.size(), 1);
    QVERIFY(QDir(recCsv).entryList({QStringLiteral(".*")}, QDir::Files | QDir::Hidden).isEmpty());
    const QStringList lines = fileLines(recCsv + QLatin1Char('/') + recordings.first());
    int trigger = 0;
    while (trigger < sent.size() && DeviceBytes::littleWord(sent[trigger], 1) == 0)
        ++trigger;
    const qint64 windowStart = trigger * 100 - 200;
    const qint64 first = qMax<qint64>(0, windowStart);
    const int rows = int(lines.size()) - 12;
    // Every row received, but the last packet's at most; none that never came.
    QVERIFY2(rows >= (sent.size() - 1) * 100 - first && rows <= sent.size() * 100 - first,
             qPrintable(QStringLiteral("%1 rows of %2 packets").arg(rows).arg(sent.size())));
    for (int k = 0; k < rows; ++k) {
        const qint64 n = first + k;
        const QByteArray &packet = sent[int(n / 100)];
        const int w = 100 + 5 * int(n % 100);
        const QString row = QString::asprintf("%10.2f,%10.3f,%10.3f,%10.3f,%10.3f,%10.3f",
                                              double(n - windowStart) * 0.01,
                                              DeviceBytes::littleWord(packet, w) * 0.0598,
                                              DeviceBytes::littleWord(packet, w + 1) * 0.0598,
                                              DeviceBytes::littleWord(packet, w + 2) * 0.0598,
                                              DeviceBytes::littleWord(packet, w + 3) / 1000.0,
                                              DeviceBytes::littleWord(packet, w + 4) / 1000.0);
        QCOMPARE(lines[12 + k], row);
    }
    const QStringList summaries = fileLines(home.filePath(QStringLiteral("Vorsa.txt")));
    QCOMPARE(summaries.size(), 1);
    QVERIFY2(summaries[0].contains(QStringLiteral(",77, Max Intensity : ")),
             qPrintable(summaries[0]));

    QVERIFY(run());
    QTRY_VERIFY_WITH_TIMEOUT(seen("log", "Application Start"), 10000);
    station.terminate();
    QVERIFY(station.waitForFinished(10000));
    seen("log", "");
    QVERIFY(!seen("log", "recovered after an unclean stop"));
    QCOMPARE(fileLines(home.filePath(QStringLiteral("Vorsa.txt"))).size(), 1);
    QCOMPARE(QDir(recCsv).entryList({QStringLiteral("*.CSV")}, QDir::Files).size(), 1);
}

QTEST_GUILESS_MAIN(TestHeadlessDevsim)
#include "tst_headless_devsim.moc"
