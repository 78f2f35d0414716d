#include "LinkManager.h"

#include "Decoder.h"
#include "LinkLog.h"
#include "LinkStatus.h"
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
      poller_(form, pollState_, settings, serial, client, server, *this, clock)
{
    // The poll, the rate and register writes follow the option as it stands, also while the
    // connection page is open.
    for (Control *option : {&form_.optCom, &form_.optTCP, &form_.optTCP_svr})
        connect(option, &Control::checkedChanged, this, &LinkManager::readKindFromForm);
    readKindFromForm();
    connect(&server_, &ServerLink::connectionRequested, this,
            &LinkManager::onServerConnectionRequest);
    connect(&server_, &DeviceLink::reset, this, &LinkManager::onServerLinkReset);
    loadAllowedPeers();
}

// The connection page's fields as they stand when a link is opened.
void LinkManager::readSettingsFromForm()
{
    readKindFromForm();
    settings_.host = form_.txtIP.text();
    settings_.port = form_.txtPort.text();
    settings_.serialPort = resolveSerialPort(form_.txtCom.text(), folder_);
    settings_.serialSettings = form_.txtBaud.text();
}

void LinkManager::readKindFromForm()
{
    settings_.kind = form_.optCom.isChecked()   ? LinkKind::Rtu
                     : form_.optTCP.isChecked() ? LinkKind::TcpClient
                                                : LinkKind::TcpServer;
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
    const std::optional<quint8> address = serialAddress();
    if (settings_.kind == LinkKind::Rtu && !address) {
        form_.statusLine.setText(
            QStringLiteral("Slave address \"%1\" is not a number from 0 to 255")
                .arg(form_.mbus_id.text()));
        return;
    }
    for (int k = 0; k < int(form_.voiceCommands.size()); ++k)
        form_.voiceCommands[k] = QStringLiteral("Play ") + form_.txtDegree[k].text();
    applyRecordMode();
    if (settings_.kind == LinkKind::Rtu)
        openSerialLink(*address);
    else
        openTcpLink();
    if (form_.chkVoice.isChecked())
        emit selfTestSoundDue();
    form_.fraHost.setVisible(false);
    status_.setOpen(true);
    pollState_.streamPackets = 0;
    streamSilentSeconds_ = 0;
    form_.tmrResetRxcnt.start();
    poller_.onPollTick();
    emit settingsSaveDue();
    form_.lblIP.setText(form_.txtIP.text());
    if (form_.userMode == 1)
        showEngineeringControls();
    pollState_.pollRegisters = PollState::DefaultPollRegisters;
    resetLiveView();
    emit realTimeViewDue();
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
    if (pollState_.recordMode) {
        for (int i = 0; i < LiveRegisterFields; ++i)
            form_.txtReal.setText(i, QStringLiteral("0"));
    }
    for (Control *button :
         {&form_.cmdDefault, &form_.cmdSet, &form_.cmdSet1, &form_.modify_KRT54,
          &form_.modify_KRT54_1, &form_.modify_svr_ip, &form_.setip, &form_.wrt_ip_setting,
          &form_.wrt_KRT54, &form_.wrt_KRT54_1, &form_.wrt_svr_ip})
        button->setEnabled(!pollState_.recordMode);
}

void LinkManager::openSerialLink(quint8 address)
{
    pollState_.unitAddress = address;
    form_.tmr.stop();
    if (serial_.isOpen())
        serial_.close();
    readSettingsFromForm();
    serial_.open(settings_);
    form_.tmr.start();
}

void LinkManager::openTcpLink()
{
    pollState_.unitAddress = 1;
    form_.tmr.stop();
    reconnectTcpLink();
    form_.tmr.start();
    if (settings_.kind == LinkKind::TcpServer)
        form_.tmr_scksvr.start();
    else
        form_.tmr_scksvr.stop();
}

void LinkManager::showEngineeringControls()
{
    for (Control *c : {&form_.Command2, &form_.Frame1, &form_.Label86, &form_.Label87,
                       &form_.Label88, &form_.Label121, &form_.Label17, &form_.Label18,
                       &form_.Label19, &form_.rxcnt, &form_.chkMTC})
        c->setVisible(true);
    for (Control &c : form_.Label15_5to7)
        c.setVisible(true);
    for (int i : {5, 6, 7, 39, 65, 66, 67, 165, 166, 167, 199, 200, 205, 206, 207})
        form_.txtReal.setVisible(i, true);
    form_.optTCP_svr.setEnabled(true);
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
        form_.tmr_scksvr.start();
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
    readSettingsFromForm();
    server_.open(settings_);
    form_.tmr_scksvr.stop();
}

void LinkManager::onRateTick()
{
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

void LinkManager::closeLinkForSettings()
{
    form_.tmr.stop();
    if (settings_.kind == LinkKind::Rtu) {
        serial_.close();
    } else {
        client_.close();
        server_.close();
    }
    status_.setOpen(false);
    emit hostPageDue();
}
