#include "ServiceNotifier.h"

#include "link/LinkStatus.h"

#include <QLoggingCategory>
#include <algorithm>
#include <chrono>
#include <systemd/sd-daemon.h>

Q_LOGGING_CATEGORY(lcService, "vorsa.service")

ServiceNotifier::ServiceNotifier(QObject *parent) : QObject(parent)
{
    uint64_t usec = 0;
    if (sd_watchdog_enabled(0, &usec) <= 0 || usec == 0)
        return;
    // Half the interval leaves a whole half for a busy loop before systemd gives up on it.
    const auto half =
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::microseconds(usec / 2));
    pingTimer_.setInterval(std::max(half, std::chrono::milliseconds(1)));
    connect(&pingTimer_, &QTimer::timeout, this, [this] { send("WATCHDOG=1"); });
    pingTimer_.start();
}

void ServiceNotifier::followLink(const LinkStatus &link)
{
    link_ = &link;
    connect(&link, &LinkStatus::openChanged, this, &ServiceNotifier::sendLinkState);
    connect(&link, &LinkStatus::silentChanged, this, &ServiceNotifier::sendLinkState);
    connect(&link, &LinkStatus::dataPerSecondChanged, this, &ServiceNotifier::sendLinkState);
    connect(&link, &LinkStatus::peerChanged, this, &ServiceNotifier::sendLinkState);
}

void ServiceNotifier::notifyReady()
{
    QByteArray state = "READY=1";
    if (link_) {
        sentLinkState_ = linkStateText(*link_);
        state += "\nSTATUS=" + sentLinkState_.toUtf8();
    }
    send(state);
}

void ServiceNotifier::notifyStopping()
{
    pingTimer_.stop();
    send("STOPPING=1");
}

QString ServiceNotifier::linkStateText(const LinkStatus &link)
{
    if (!link.isOpen())
        return QStringLiteral("link closed");
    QString text = link.isSilent() ? QStringLiteral("link open, no data from the device")
                   : link.dataPerSecond() == 0 ? QStringLiteral("link open, waiting for data")
                                               : QStringLiteral("link open, data from the device");
    if (!link.peer().isEmpty())
        text += QStringLiteral(" at ") + link.peer();
    return text;
}

// The rate changes every second; the status only when what it says changes.
void ServiceNotifier::sendLinkState()
{
    const QString text = linkStateText(*link_);
    if (text == sentLinkState_)
        return;
    sentLinkState_ = text;
    send("STATUS=" + text.toUtf8());
}

void ServiceNotifier::send(const QByteArray &state)
{
    const int result = sd_notify(0, state.constData());
    // Told once: the pings would repeat it twice a watchdog interval.
    if (result < 0 && !failureTold_) {
        failureTold_ = true;
        qCWarning(lcService).noquote()
            << "cannot notify the service manager:" << qt_error_string(-result);
    }
}
