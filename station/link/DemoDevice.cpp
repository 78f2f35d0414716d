#include "DemoDevice.h"

#include "LinkLog.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

DemoDevice::~DemoDevice()
{
    stop();
}

QString DemoDevice::locate(const QString &stationDir)
{
    const QDir dir(stationDir);
    for (const QString &candidate :
         {dir.filePath(QLatin1String(ProgramName)),
          dir.filePath(QStringLiteral("../devsim/") + QLatin1String(ProgramName)),
          dir.filePath(QStringLiteral("../../bin/") + QLatin1String(ProgramName))}) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable())
            return info.canonicalFilePath();
    }
    return {};
}

bool DemoDevice::start(const QString &program, QString *error)
{
    // A real device takes a few milliseconds to answer; without that pause the back-to-back
    // poll would run thousands of times a second on loopback.
    return start(program,
                 {QStringLiteral("--tcp"), QStringLiteral("0"), QStringLiteral("--scenario"),
                  QStringLiteral("quake"), QStringLiteral("--repeat"), QStringLiteral("--latency"),
                  QStringLiteral("10")},
                 error);
}

bool DemoDevice::start(const QString &program, const QStringList &arguments, QString *error)
{
    process_.setProgram(program);
    process_.setArguments(arguments);
    process_.setProcessChannelMode(QProcess::SeparateChannels);
    // Ctrl-C in a terminal reaches the whole process group: kept out of it, the simulator
    // stays up until the station has finished and stops it, and dies with the station.
    process_.setChildProcessModifier([] {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    });
    process_.start();
    if (!process_.waitForStarted(StartTimeoutMs)) {
        *error = process_.errorString();
        return false;
    }
    if (awaitListening(error))
        return true;
    stop();
    return false;
}

bool DemoDevice::awaitListening(QString *error)
{
    static const QRegularExpression listening(QStringLiteral("listening on (\\d+)"));
    QDeadlineTimer deadline(StartTimeoutMs);
    QByteArray out;
    while (!deadline.hasExpired() && process_.state() == QProcess::Running) {
        process_.waitForReadyRead(int(deadline.remainingTime()));
        out += process_.readAllStandardOutput();
        const QRegularExpressionMatch m = listening.match(QString::fromUtf8(out));
        if (m.hasMatch()) {
            port_ = quint16(m.captured(1).toUInt());
            qCInfo(lcLink) << "simulated device listening on port" << port_;
            return true;
        }
    }
    const QString said = QString::fromUtf8(process_.readAllStandardError()).trimmed();
    *error = said.isEmpty() ? QStringLiteral("it did not report a listening port") : said;
    return false;
}

void DemoDevice::stop()
{
    if (process_.state() == QProcess::NotRunning)
        return;
    process_.terminate();
    if (!process_.waitForFinished(3000)) {
        process_.kill();
        process_.waitForFinished(1000);
    }
}
