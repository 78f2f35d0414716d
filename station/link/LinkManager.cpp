#include "LinkManager.h"

#include "Decoder.h"
#include "LinkLog.h"
#include "LinkStatus.h"
#include "RegisterMap.h"
#include "common/Clock.h"
#include "common/Control.h"
#include "common/ExtensionSettings.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
#include "common/NumberText.h"
#include "common/Waiter.h"

#include <QScopedValueRollback>
#include <utility>

namespace
{

constexpr int LiveRegisterFields = 101;

} // namespace

LinkManager::LinkManager(LiveFields &fields, Control &statusLine, LinkSettings &settings,
                         LinkStatus &status, DeviceLink &serial, DeviceLink &client,
                         ServerLink &server, Waiter &waiter, const Clock &clock,
                         const ProgramFolder &folder, QObject *parent)
    : QObject(parent), fields_(fields), statusLine_(statusLine), settings_(settings),
      status_(status), serial_(serial), client_(client), server_(server), waiter_(waiter),
      clock_(clock), folder_(folder),
      poller_(fields, pollState_, settings, serial, client, server, *this, clock)
{
    rateTimer_.setInterval(1000);
    serverWatchdog_.setInterval(1000);
    connect(&rateTimer_, &QTimer::timeout, this, &LinkManager::onRateTick);
    connect(&serverWatchdog_, &QTimer::timeout, this, &LinkManager::onServerWatchdogTick);
    connect(&server_, &ServerLink::connectionRequested, this,
            &LinkManager::onServerConnectionRequest);
    connect(&server_, &DeviceLink::reset, this, &LinkManager::onServerLinkReset);
    loadAllowedPeers();
}

void LinkManager::followPage(const LinkSettings &shown)
{
    if (!status_.isOpen())
        settings_ = shown;
}

bool LinkManager::sameDestination(const LinkSettings &a, const LinkSettings &b)
{
    return a.kind == b.kind && a.host == b.host && a.port == b.port &&
           a.serialPort == b.serialPort && a.serialSettings == b.serialSettings &&
           a.serverPort == b.serverPort;
}

void LinkManager::loadAllowedPeers()
{
    // Unquoted commas make QSettings read a list; joined again they are the text as written.
    const QString text = openExtensionSettings(folder_)
                             ->value(QStringLiteral("ServerLink/AllowedPeers"))
                             .toStringList()
                             .join(QLatin1Char(','));
    allowedPeers_ = PeerAllowList::parse(text);
    emit allowedPeersLoaded();
    const QStringList invalid = allowedPeers_.invalidEntries();
    if (invalid.isEmpty())
        return;
    const QString message =
        QStringLiteral("vorsa.ini AllowedPeers: \"%1\" is no address or network; it admits nobody")
            .arg(invalid.join(QStringLiteral("\", \"")));
    qCWarning(lcLink) << message;
    statusLine_.setText(message);
}

LinkManager::Opened LinkManager::openLink(const LinkSettings &wanted)
{
    // Connecting pauses with the window running: a second OK meanwhile is not a new request.
    if (opening_)
        return Opened::Busy;
    QScopedValueRollback<bool> guard(opening_, true);
    loadAllowedPeers();
    // Looking at the settings must not cost an outage: a running link is kept unless where
    // it goes changed.
    const bool reopen =
        !status_.isOpen() || !sameDestination(wanted, settings_) ||
        (wanted.kind == LinkKind::Rtu && wanted.unitAddress != pollState_.unitAddress);
    settings_ = wanted;
    if (reopen)
        reopenLink();
    else if (pollState_.recordMode != settings_.recordMode)
        applyRecordMode();
    showRoute();
    if (!reopen)
        return Opened::Kept;
    // Another device may answer now: the poll asks for the first firmware's length again.
    pollState_.pollRegisters = PollState::DefaultPollRegisters;
    fields_.setText(Field::FirmwareVersion, QStringLiteral("0"));
    return Opened::Reopened;
}

void LinkManager::showRoute()
{
    using Route = LinkStatus::Route;
    switch (settings_.kind) {
    case LinkKind::Rtu:
        status_.setRoute(Route::Serial, settings_.serialPort);
        break;
    case LinkKind::TcpClient:
        status_.setRoute(pollState_.recordMode ? Route::Stream : Route::Poll,
                         settings_.host.trimmed() + QLatin1Char(':') + settings_.port.trimmed());
        break;
    case LinkKind::TcpServer:
        status_.setRoute(Route::Server, QString::number(settings_.serverPort));
        break;
    }
}

void LinkManager::reopenLink()
{
    applyRecordMode();
    if (settings_.kind == LinkKind::Rtu)
        openSerialLink(settings_.unitAddress);
    else
        openTcpLink();
    status_.setOpen(true);
    pollState_.streamPackets = 0;
    streamSilentSeconds_ = 0;
    rateTimer_.start();
    poller_.onPollTick();
}

void LinkManager::applyRecordMode()
{
    pollState_.recordMode = settings_.recordMode;
    // What the stream refreshes starts from 0; what only a register read brings shows as not
    // read until the device pages read it.
    if (pollState_.recordMode) {
        for (int i = 0; i < LiveRegisterFields; ++i)
            fields_.setText(i, RegisterMap::streamCarries(i)
                                   ? QStringLiteral("0")
                                   : QString::fromLatin1(LiveFields::NotYetRead));
    }
    emit recordModeApplied(pollState_.recordMode);
}

void LinkManager::openSerialLink(quint8 address)
{
    pollState_.unitAddress = address;
    poller_.stop();
    if (serial_.isOpen())
        serial_.close();
    serial_.open(settings_);
    poller_.start();
}

void LinkManager::openTcpLink()
{
    pollState_.unitAddress = 1;
    poller_.stop();
    reconnectTcpLink();
    poller_.start();
    if (settings_.kind == LinkKind::TcpServer)
        serverWatchdog_.start();
    else
        serverWatchdog_.stop();
}

void LinkManager::reconnectTcpLink()
{
    // The pause below lets timers and receive handlers run, and they call this again when
    // they find the link down; the attempt already under way serves them.
    if (connecting_)
        return;
    QScopedValueRollback<bool> guard(connecting_, true);
    if (settings_.kind == LinkKind::TcpClient) {
        client_.open(settings_);
        server_.close();
    } else {
        server_.open(settings_);
        client_.close();
    }
    waiter_.pause(ConnectPauseMs);
}

void LinkManager::onServerConnectionRequest()
{
    const ServerLink::Peer peer = server_.pendingPeer();
    if (peer.address.isNull())
        return;
    // A host not on the list is closed before a byte of it is read.
    if (!allowedPeers_.allows(peer.address) || server_.isOpen()) {
        refuse(peer);
        return;
    }
    server_.accept();
    const QString text = peerText(peer.address, peer.port);
    status_.setPeer(text);
    logLinkChange(QStringLiteral(" Device connected from ") + text);
    if (settings_.kind == LinkKind::TcpServer)
        serverWatchdog_.start();
    pollState_.serverIdleSeconds = 0;
}

// A host that keeps trying is named once an hour, so it cannot fill the log.
void LinkManager::refuse(const ServerLink::Peer &peer)
{
    server_.refuse();
    const QString address = plainPeerAddress(peer.address).toString();
    const QDateTime now = clock_.now();
    const auto last = refusalLogged_.constFind(address);
    if (last != refusalLogged_.constEnd() && last->secsTo(now) < RefusalLogSeconds)
        return;
    refusalLogged_.insert(address, now);
    logLinkChange(QStringLiteral(" Connection refused from ") + peerText(peer.address, peer.port));
}

void LinkManager::onServerLinkReset()
{
    if (!server_.isOpen())
        status_.setPeer(QString());
}

void LinkManager::onServerWatchdogTick()
{
    ++pollState_.serverIdleSeconds;
    if (pollState_.serverIdleSeconds <= ServerSilenceLimit)
        return;
    if (server_.isOpen())
        logLinkChange(QStringLiteral(" Silent connection dropped from ") + status_.peer());
    // The count stays: the next accepted connection resets it and restarts the timer.
    server_.open(settings_);
    serverWatchdog_.stop();
}

void LinkManager::onRateTick()
{
    // A command's writes hold what arrives meanwhile; their silence is not the device's, and
    // the command's own status line says what happens. Its seconds are judged afterwards.
    if (pollState_.commandInProgress)
        return;
    if (settings_.kind == LinkKind::Rtu) {
        rateOfSerialLink();
    } else if (settings_.kind == LinkKind::TcpServer) {
        status_.setDataPerSecond(ServerRateShown);
    } else if (pollState_.recordMode) {
        rateOfClientStream();
    } else {
        rateOfClientLink();
    }
}

void LinkManager::rateOfSerialLink()
{
    const int answers = std::exchange(pollState_.serialAnswers, 0);
    const bool silent = answers == 0;
    if (silent)
        pollState_.serialAnswerSeen = false;
    status_.setSilent(silent);
    status_.setDataPerSecond(answers);
}

void LinkManager::rateOfClientLink()
{
    const qint64 answers = pollState_.clientAnswers;
    if (answers == 0) {
        pollState_.clientAnswerSeen = false;
        showOffline();
        return;
    }
    showOnline();
    status_.setDataPerSecond(int(answers));
    pollState_.clientAnswers = 0;
}

// The device streams one packet a second: a second or two without one is jitter, three are
// a silent device or a dead link. The poll keeps its own rules for asking again.
void LinkManager::rateOfClientStream()
{
    const int packets = std::exchange(pollState_.streamPackets, 0);
    if (packets == 0) {
        if (++streamSilentSeconds_ >= StreamSilenceLimit)
            showOffline();
        return;
    }
    streamSilentSeconds_ = 0;
    showOnline();
    const int samples = packets * Decoder::SamplesPerPacket;
    status_.setDataPerSecond(samples);
}

void LinkManager::showOffline()
{
    status_.setSilent(true);
    if (!offlineLogged_)
        logLinkChange(QStringLiteral(" Offline"));
    offlineLogged_ = true;
    onlineLogged_ = false;
    status_.setDataPerSecond(0);
}

void LinkManager::showOnline()
{
    status_.setSilent(false);
    if (!onlineLogged_)
        logLinkChange(QStringLiteral(" Online"));
    onlineLogged_ = true;
    offlineLogged_ = false;
}

void LinkManager::logLinkChange(const QString &change)
{
    emit eventLogDue(NumberText::generalDateTime(clock_.now()) + change);
}
