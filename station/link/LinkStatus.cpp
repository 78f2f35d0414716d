#include "LinkStatus.h"

void LinkStatus::setOpen(bool open)
{
    if (open_ == open)
        return;
    open_ = open;
    emit openChanged(open);
}

void LinkStatus::setSilent(bool silent)
{
    if (silent_ == silent)
        return;
    silent_ = silent;
    emit silentChanged(silent);
}

void LinkStatus::setDataPerSecond(int rate)
{
    if (dataPerSecond_ == rate)
        return;
    dataPerSecond_ = rate;
    emit dataPerSecondChanged(rate);
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
}

void LinkStatus::reportError(const QString &message)
{
    lastError_ = message;
    emit errorReported(message);
}
