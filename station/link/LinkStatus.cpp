#include "LinkStatus.h"

void LinkStatus::setOpen(bool open)
{
    if (open_ == open)
        return;
    open_ = open;
    emit openChanged(open);
    emit summaryChanged();
}

void LinkStatus::setSilent(bool silent)
{
    if (silent_ == silent)
        return;
    silent_ = silent;
    if (!silent)
        lastError_.clear();
    emit silentChanged(silent);
    emit summaryChanged();
}

void LinkStatus::setDataPerSecond(int rate)
{
    if (dataPerSecond_ == rate)
        return;
    dataPerSecond_ = rate;
    emit dataPerSecondChanged(rate);
    emit summaryChanged();
}

void LinkStatus::countRejectedFrame()
{
    emit rejectedFramesChanged(++rejectedFrames_);
}

void LinkStatus::setPeer(const QString &peer)
{
    if (peer_ == peer)
        return;
    peer_ = peer;
    emit peerChanged(peer);
    emit summaryChanged();
}

void LinkStatus::reportError(const QString &message)
{
    lastError_ = message;
    emit errorReported(message);
    emit summaryChanged();
}

void LinkStatus::setRoute(Route route, const QString &target)
{
    route_ = route;
    target_ = target;
    emit summaryChanged();
}

QString LinkStatus::summary() const
{
    if (!open_)
        return lastError_.isEmpty() ? QStringLiteral("Link not open") : lastError_;
    if (silent_ && !lastError_.isEmpty())
        return lastError_;
    const QString rate = QStringLiteral(" \u2014 %1 answers/s").arg(dataPerSecond_);
    switch (route_) {
    case Route::Serial:
        return silent_ ? QStringLiteral("No answer on ") + target_
                       : QStringLiteral("Serial link on ") + target_ + rate;
    case Route::Poll:
        return silent_ ? QStringLiteral("No answer from ") + target_
                       : QStringLiteral("Connected to ") + target_ + rate;
    case Route::Stream:
        return silent_ ? QStringLiteral("Record mode: no data from ") + target_
                       : QStringLiteral("Record mode: streaming from ") + target_;
    case Route::Server:
        if (peer_.isEmpty())
            return QStringLiteral("Listening on port %1, no device connected").arg(target_);
        return silent_ ? QStringLiteral("No data from device ") + peer_
                       : QStringLiteral("Device %1 streaming to port %2").arg(peer_, target_);
    }
    return QString();
}
