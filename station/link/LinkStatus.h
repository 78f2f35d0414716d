#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

// What can be observed of the device link: whether one is open, whether it has gone silent,
// the data rate, the frames that failed the checks, the server link's device and the last
// failure. The link layer sets it; the window and the headless consumers follow the signals.
class LinkStatus : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    // A link was opened with OK and not closed for its settings since.
    bool isOpen() const { return open_; }
    // Nothing arrived within the watchdog's limits. The rate keeps being watched after the
    // link is closed, so a closed link may stay silent.
    bool isSilent() const { return silent_; }
    // What the rate display shows as "n data/sec".
    int dataPerSecond() const { return dataPerSecond_; }
    qint64 rejectedFrames() const { return rejectedFrames_; }
    // The server link's device as "address:port"; empty without one.
    QString peer() const { return peer_; }
    // The last failure, until data arrives again.
    QString lastError() const { return lastError_; }
    // When the device's last answer or packet was decoded; invalid before the first.
    QDateTime lastDataTime() const
    {
        return lastDataMs_ ? QDateTime::fromMSecsSinceEpoch(lastDataMs_) : QDateTime();
    }
    // Noted for every answer, so kept as a count: a local time would reread the time zone.
    void noteData(qint64 msecsSinceEpoch) { lastDataMs_ = msecsSinceEpoch; }

    // How the open link reaches the device; the target is "host:port", a serial port or the
    // server link's listening port.
    enum class Route { Serial, Poll, Stream, Server };
    void setRoute(Route route, const QString &target);
    // One line for the operator: where the link goes and how it fares, or why it does not.
    QString summary() const;

    void setOpen(bool open);
    void setSilent(bool silent);
    void setDataPerSecond(int rate);
    void countRejectedFrame();
    void setPeer(const QString &peer);
    // A failure of the link, told to the operator. Each report is told, also a repeated one:
    // another message may have taken its place on the status line meanwhile.
    void reportError(const QString &message);

signals:
    void openChanged(bool open);
    void silentChanged(bool silent);
    void dataPerSecondChanged(int rate);
    void rejectedFramesChanged(qint64 count);
    void peerChanged(const QString &peer);
    void errorReported(const QString &message);
    void summaryChanged();

private:
    bool open_ = false;
    bool silent_ = false;
    int dataPerSecond_ = 0;
    qint64 rejectedFrames_ = 0;
    QString peer_;
    QString lastError_;
    qint64 lastDataMs_ = 0;
    Route route_ = Route::Poll;
    QString target_;
};
