#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

// Two connected pseudo terminals made by socat, standing in for a serial cable: a device
// (or simulator) opens one end, the station the other.
class PtyPair
{
public:
    PtyPair()
    {
        socat_.setProgram(QStandardPaths::findExecutable(QStringLiteral("socat")));
        socat_.setArguments({"-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0"});
        socat_.setReadChannel(QProcess::StandardError);
        socat_.start();
        static const QRegularExpression ptyLine(QStringLiteral("PTY is (\\S+)"));
        QDeadlineTimer deadline(5000);
        QByteArray err;
        while (paths_.size() < 2 && !deadline.hasExpired() &&
               socat_.state() != QProcess::NotRunning) {
            socat_.waitForReadyRead(int(deadline.remainingTime()));
            err += socat_.readAllStandardError();
            paths_.clear();
            for (auto m = ptyLine.globalMatch(QString::fromUtf8(err)); m.hasNext();)
                paths_ << m.next().captured(1);
        }
    }
    ~PtyPair()
    {
        socat_.terminate();
        socat_.waitForFinished(3000);
    }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isReady() const { return paths_.size() == 2; }
    QString firstEnd() const { return paths_.value(0); }
    QString secondEnd() const { return paths_.value(1); }

private:
    QProcess socat_;
    QStringList paths_;
};
