#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

// Two connected pseudo terminals made by socat, standing in for a serial cable: a device
// (or simulator) opens one end, the station the other. Given two link names, the ends are
// reached through those names, which stay the same when the pair is stopped and started
// again (an adapter unplugged and plugged back in).
class PtyPair
{
public:
    PtyPair() { start(); }
    PtyPair(const QString &firstLink, const QString &secondLink) : links_{firstLink, secondLink}
    {
        start();
    }
    ~PtyPair() { stop(); }
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool start()
    {
        socat_.setProgram(QStandardPaths::findExecutable(QStringLiteral("socat")));
        socat_.setArguments({"-d", "-d", end(0), end(1)});
        socat_.setReadChannel(QProcess::StandardError);
        socat_.start();
        static const QRegularExpression ptyLine(QStringLiteral("PTY is (\\S+)"));
        QDeadlineTimer deadline(5000);
        QByteArray err;
        paths_.clear();
        while (paths_.size() < 2 && !deadline.hasExpired() &&
               socat_.state() != QProcess::NotRunning) {
            socat_.waitForReadyRead(int(deadline.remainingTime()));
            err += socat_.readAllStandardError();
            paths_.clear();
            for (auto m = ptyLine.globalMatch(QString::fromUtf8(err)); m.hasNext();)
                paths_ << m.next().captured(1);
        }
        return isReady();
    }
    // Both ends vanish, as a USB adapter does when it is pulled out.
    void stop()
    {
        if (socat_.state() == QProcess::NotRunning)
            return;
        socat_.terminate();
        socat_.waitForFinished(3000);
    }

    bool isReady() const { return paths_.size() == 2; }
    QString firstEnd() const { return links_.isEmpty() ? paths_.value(0) : links_[0]; }
    QString secondEnd() const { return links_.isEmpty() ? paths_.value(1) : links_[1]; }

private:
    QString end(int i) const
    {
        QString address = QStringLiteral("pty,raw,echo=0");
        if (!links_.isEmpty())
            address += QStringLiteral(",link=") + links_[i];
        return address;
    }

    QProcess socat_;
    QStringList links_;
    QStringList paths_;
};
