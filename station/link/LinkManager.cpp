#include "LinkManager.h"

#include "Decoder.h"
#include "LinkLog.h"
#include "LinkStatus.h"
#include "RegisterMap.h"
#include "common/Clock.h"
#include "common/ExtensionSettings.h"
#include "common/FieldNumbers.h"
#include "common/Form.h"
#include "common/NumberText.h"
#include "common/SerialPortName.h"
#include "common/Waiter.h"

#include <QScopedValueRollback>
#include <utility>

namespace
{

constexpr int LiveRegisterFields = 101;

} // namespace

LinkManager::LinkManager(Form &form, LinkSettings &settings, LinkStatus &status, DeviceLink &serial,
                         DeviceLink &client, ServerLink &server, Waiter &waiter, const Clock &clock,
                         const ProgramFolder &folder, QObject *parent)
    : QObject(parent), form_(form), settings_(settings), status_(status), serial_(serial),
      client_(client), server_(server), waiter_(waiter), clock_(clock), folder_(folder),
      poller_(form.txtReal, pollState_, settings, serial, client, server, *this, clock)
{
    rateTimer_.setInterval(1000);
    serverWatchdog_.setInterval(1000);
    connect(&rateTimer_, &QTimer::timeout, this, &LinkManager::onRateTick);
    connect(&serverWatchdog_, &QTimer::timeout, this, &LinkManager::onServerWatchdogTick);
    // Until a link is opened, register writes follow the option as it stands; once one runs,
    // the page's choices wait for OK.
    for (Control *option : {&form_.optCom, &form_.optTCP, &form_.optTCP_svr})
        connect(option, &Control::checkedChanged, this, [this] {
            if (!status_.isOpen())
                readKindFromForm();
        });
    readKindFromForm();
    connect(&server_, &ServerLink::connectionRequested, this,
            &LinkManager::onServerConnectionRequest);
    connect(&server_, &DeviceLink::reset, this, &LinkManager::onServerLinkReset);
    loadAllowedPeers();
}

// The connection page's fields as they stand when a link is opened.
void LinkManager::readSettingsFromForm()
{
    settings_ = settingsFromForm();
}

LinkSettings LinkManager::settingsFromForm() const
{
    LinkSettings wanted = settings_;
    wanted.kind = form_.optCom.isChecked()   ? LinkKind::Rtu
                  : form_.optTCP.isChecked() ? LinkKind::TcpClient
                                             : LinkKind::TcpServer;
    wanted.host = form_.txtIP.text();
    wanted.port = form_.txtPort.text();
    wanted.serialPort = resolveSerialPort(form_.txtCom.text(), folder_);
    wanted.serialSettings = form_.txtBaud.text();
    return wanted;
}

bool LinkManager::sameDestination(const LinkSettings &a, const LinkSettings &b)
{
    return a.kind == b.kind && a.host == b.host && a.port == b.port &&
           a.serialPort == b.serialPort && a.serialSettings == b.serialSettings &&
           a.serverPort == b.serverPort;
}

void LinkManager::readKindFromForm()
{
    settings_.kind = settingsFromForm().kind;
}

void LinkManager::loadAllowedPeers()
{
    // Unquoted commas make QSettings read a list; joined again they are the text as written.
    const QString text = openExtensionSettings(folder_)
                             ->value(QStringLiteral("ServerLink/AllowedPeers"))
                             .toStringList()
                             .join(QLatin1Char(','));
    allowedPeers_ = PeerAllowList::parse(text);
    form_.lblAnyHost.setVisible(allowedPeers_.isOpen());
    const QStringList invalid = allowedPeers_.invalidEntries();
    if (invalid.isEmpty())
        return;
    const QString message =
        QStringLiteral("vorsa.ini AllowedPeers: \"%1\" is no address or network; it admits nobody")
            .arg(invalid.join(QStringLiteral("\", \"")));
    qCWarning(lcLink) << message;
    form_.statusLine.setText(message);
}

void LinkManager::selectLinkKind(LinkKind kind)
{
    form_.optCom.setChecked(kind == LinkKind::Rtu);
    form_.optTCP.setChecked(kind == LinkKind::TcpClient);
    form_.optTCP_svr.setChecked(kind == LinkKind::TcpServer);
    if (kind == LinkKind::TcpServer)
        form_.optTCP_svr.setEnabled(true);
}

void LinkManager::openLink()
{
    // Connecting pauses with the window running: a second OK meanwhile is not a new request.
    if (opening_)
        return;
    QScopedValueRollback<bool> guard(opening_, true);
    loadAllowedPeers();
    const LinkSettings wanted = settingsFromForm();
    const std::optional<quint8> address = serialAddress();
    if (wanted.kind == LinkKind::Rtu && !address) {
        form_.statusLine.setText(
            QStringLiteral("Slave address \"%1\" is not a number from 0 to 255")
                .arg(form_.mbus_id.text()));
        return;
    }
    emit settingsConfirmed();
    // Looking at the settings must not cost an outage: a running link is kept unless where
    // it goes changed.
    const bool reopen = !status_.isOpen() || !sameDestination(wanted, settings_) ||
                        (wanted.kind == LinkKind::Rtu && *address != pollState_.unitAddress);
    settings_ = wanted;
    if (reopen)
        reopenLink(address);
    else if (pollState_.recordMode != settings_.recordMode)
        applyRecordMode();
    showRoute();
    if (form_.chkVoice.isChecked())
        emit selfTestSoundDue();
    form_.fraHost.setVisible(false);
    emit settingsSaveDue();
    form_.lblIP.setText(form_.txtIP.text());
    if (form_.userMode == 1)
        showEngineeringControls();
    if (reopen) {
        pollState_.pollRegisters = PollState::DefaultPollRegisters;
        resetLiveView();
    }
    emit realTimeViewDue();
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

void LinkManager::reopenLink(std::optional<quint8> address)
{
    applyRecordMode();
    if (settings_.kind == LinkKind::Rtu)
        openSerialLink(*address);
    else
        openTcpLink();
    status_.setOpen(true);
    pollState_.streamPackets = 0;
    streamSilentSeconds_ = 0;
    rateTimer_.start();
    poller_.onPollTick();
}

std::optional<quint8> LinkManager::serialAddress() const
{
    const qint64 address =
        NumberText::roundHalfEven(NumberText::leadingNumber(form_.mbus_id.text()));
    if (address < 0 || address > 255)
        return std::nullopt;
    return quint8(address);
}

void LinkManager::applyRecordMode()
{
    pollState_.recordMode = settings_.recordMode;
    // What the stream refreshes starts from 0; what only a register read brings shows as not
    // read until the device pages read it.
    if (pollState_.recordMode) {
        for (int i = 0; i < LiveRegisterFields; ++i)
            form_.txtReal.setText(i, RegisterMap::streamCarries(i)
                                         ? QStringLiteral("0")
                                         : QString::fromLatin1(LiveFields::NotYetRead));
    }
    for (Control *button : recordModeLocks(form_))
        button->setEnabled(!pollState_.recordMode);
}

QList<Control *> LinkManager::recordModeLocks(Form &form)
{
    return {&form.cmdDefault,     &form.cmdSet,        &form.cmdSet1,   &form.modify_KRT54,
            &form.modify_KRT54_1, &form.modify_svr_ip, &form.setip,     &form.wrt_ip_setting,
            &form.wrt_KRT54,      &form.wrt_KRT54_1,   &form.wrt_svr_ip};
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

void LinkManager::showEngineeringControls(bool shown)
{
    for (Control *c : {&form_.Command2, &form_.Frame1, &form_.Label86, &form_.Label87,
                       &form_.Label88, &form_.Label121, &form_.Label17, &form_.Label18,
                       &form_.Label19, &form_.rxcnt, &form_.chkMTC})
        c->setVisible(shown);
    for (Control &c : form_.Label15_5to7)
        c.setVisible(shown);
    for (int i : {5, 6, 7, 39, 65, 66, 67, 165, 166, 167, 199, 200, 205, 206, 207})
        form_.txtReal.setVisible(i, shown);
    form_.optTCP_svr.setEnabled(shown || form_.optTCP_svr.isChecked());
}

void LinkManager::resetLiveView()
{
    form_.txtReal.setText(Field::FirmwareVersion, QStringLiteral("0"));
    form_.Label21.setVisible(false);
    form_.Label22.setVisible(false);
    for (int i = 235; i <= 238; ++i)
        form_.txtReal.setVisible(i, false);
}

void LinkManager::reconnectTcpLink()
{
    // The pause below lets timers and receive handlers run, and they call this again when
    // they find the link down; the attempt already under way serves them.
    if (connecting_)
        return;
    QScopedValueRollback<bool> guard(connecting_, true);
    if (!status_.isOpen())
        readSettingsFromForm();
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
        form_.rxcnt.setText(QStringLiteral("100 data/sec"));
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
    if (answers < SerialRateShown)
        form_.rxcnt.setText(QString::number(answers) + QStringLiteral(" data/sec"));
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
    if (answers < ClientRateShown)
        form_.rxcnt.setText(QString::number(answers) + QStringLiteral(" data/sec"));
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
    form_.rxcnt.setText(QString::number(samples) + QStringLiteral(" data/sec"));
}

void LinkManager::showOffline()
{
    status_.setSilent(true);
    if (!offlineLogged_)
        logLinkChange(QStringLiteral(" Offline"));
    offlineLogged_ = true;
    onlineLogged_ = false;
    status_.setDataPerSecond(0);
    form_.rxcnt.setText(QStringLiteral("  0 data/sec"));
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
