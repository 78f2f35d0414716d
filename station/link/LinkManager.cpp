#include "LinkManager.h"

#include "Decoder.h"
#include "LinkLog.h"
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

LinkManager::LinkManager(Form &form, LinkSettings &settings, DeviceLink &serial, DeviceLink &client,
                         ServerLink &server, Waiter &waiter, const Clock &clock,
                         const ProgramFolder &folder, QObject *parent)
    : QObject(parent), form_(form), settings_(settings), serial_(serial), client_(client),
      server_(server), waiter_(waiter), clock_(clock), folder_(folder),
      poller_(form, serial, client, server, *this, clock)
{
    connect(&server_, &ServerLink::connectionRequested, this,
            &LinkManager::onServerConnectionRequest);
    connect(&server_, &DeviceLink::reset, this, &LinkManager::onServerLinkReset);
    loadAllowedPeers();
}

// The connection page's fields as they stand when a link is opened.
void LinkManager::readSettingsFromForm()
{
    settings_.kind = form_.optCom.isChecked()   ? LinkKind::Rtu
                     : form_.optTCP.isChecked() ? LinkKind::TcpClient
                                                : LinkKind::TcpServer;
    settings_.host = form_.txtIP.text();
    settings_.port = form_.txtPort.text();
    settings_.serialPort = resolveSerialPort(form_.txtCom.text(), folder_);
    settings_.serialSettings = form_.txtBaud.text();
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
    if (form_.optCom.isChecked() && !address) {
        form_.statusLine.setText(
            QStringLiteral("Slave address \"%1\" is not a number from 0 to 255")
                .arg(form_.mbus_id.text()));
        return;
    }
    for (int k = 0; k < int(form_.voiceCommands.size()); ++k)
        form_.voiceCommands[k] = QStringLiteral("Play ") + form_.txtDegree[k].text();
    applyRecordMode();
    if (form_.optCom.isChecked())
        openSerialLink(*address);
    else
        openTcpLink();
    if (form_.chkVoice.isChecked())
        emit selfTestSoundDue();
    form_.fraHost.setVisible(false);
    form_.streamRxCount = 0;
    streamSilentSeconds_ = 0;
    form_.tmrResetRxcnt.start();
    poller_.onPollTick();
    emit settingsSaveDue();
    form_.lblIP.setText(form_.txtIP.text());
    if (form_.userMode == 1)
        showEngineeringControls();
    form_.pollRegisterCount = 101;
    form_.pollByteCount = 202;
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
    form_.recordMode = form_.Check4.isChecked();
    if (form_.recordMode) {
        for (int i = 0; i < LiveRegisterFields; ++i)
            form_.txtReal.setText(i, QStringLiteral("0"));
    }
    for (Control *button :
         {&form_.cmdDefault, &form_.cmdSet, &form_.cmdSet1, &form_.modify_KRT54,
          &form_.modify_KRT54_1, &form_.modify_svr_ip, &form_.setip, &form_.wrt_ip_setting,
          &form_.wrt_KRT54, &form_.wrt_KRT54_1, &form_.wrt_svr_ip})
        button->setEnabled(!form_.recordMode);
}

void LinkManager::openSerialLink(quint8 address)
{
    form_.slaveAddress = address;
    form_.tmr.stop();
    if (serial_.isOpen())
        serial_.close();
    readSettingsFromForm();
    serial_.open(settings_);
    form_.tmr.start();
}

void LinkManager::openTcpLink()
{
    form_.slaveAddress = 1;
    form_.tmr.stop();
    reconnectTcpLink();
    form_.tmr.start();
    if (form_.optTCP_svr.isChecked())
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
    form_.lblPeer.setText(text);
    logLinkChange(QStringLiteral(" Device connected from ") + text);
    if (form_.optTCP_svr.isChecked())
        form_.tmr_scksvr.start();
    form_.serverIdleSeconds = 0;
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
        form_.lblPeer.setText(QString());
}

void LinkManager::onServerWatchdogTick()
{
    ++form_.serverIdleSeconds;
    if (form_.serverIdleSeconds <= ServerSilenceLimit)
        return;
    if (server_.isOpen())
        logLinkChange(QStringLiteral(" Silent connection dropped from ") + form_.lblPeer.text());
    // The count stays: the next accepted connection resets it and restarts the timer.
    readSettingsFromForm();
    server_.open(settings_);
    form_.tmr_scksvr.stop();
}

void LinkManager::onRateTick()
{
    if (form_.optCom.isChecked())
        rateOfSerialLink();
    else if (form_.optTCP_svr.isChecked())
        form_.rxcnt.setText(QStringLiteral("100 data/sec"));
    else if (form_.recordMode)
        rateOfClientStream();
    else
        rateOfClientLink();
}

void LinkManager::rateOfSerialLink()
{
    const bool silent = form_.serialRxCount == 0;
    if (silent)
        form_.serialAnswerSeen = false;
    form_.formBackColor.setBackColor(silent ? silentColor() : liveColor());
    if (form_.serialRxCount < SerialRateShown)
        form_.rxcnt.setText(QString::number(form_.serialRxCount) + QStringLiteral(" data/sec"));
    form_.serialRxCount = 0;
}

void LinkManager::rateOfClientLink()
{
    if (form_.tcpRxCount == 0) {
        form_.tcpAnswerSeen = false;
        showOffline();
        return;
    }
    showOnline();
    if (form_.tcpRxCount < ClientRateShown)
        form_.rxcnt.setText(QString::number(form_.tcpRxCount) + QStringLiteral(" data/sec"));
    form_.tcpRxCount = 0;
}

// The device streams one packet a second: a second or two without one is jitter, three are
// a silent device or a dead link. The poll keeps its own rules for asking again.
void LinkManager::rateOfClientStream()
{
    const int packets = std::exchange(form_.streamRxCount, 0);
    if (packets == 0) {
        if (++streamSilentSeconds_ >= StreamSilenceLimit)
            showOffline();
        return;
    }
    streamSilentSeconds_ = 0;
    showOnline();
    form_.rxcnt.setText(QString::number(packets * Decoder::SamplesPerPacket) +
                        QStringLiteral(" data/sec"));
}

void LinkManager::showOffline()
{
    form_.formBackColor.setBackColor(silentColor());
    if (!offlineLogged_)
        logLinkChange(QStringLiteral(" Offline"));
    offlineLogged_ = true;
    onlineLogged_ = false;
    form_.rxcnt.setText(QStringLiteral("  0 data/sec"));
}

void LinkManager::showOnline()
{
    form_.formBackColor.setBackColor(liveColor());
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
    if (form_.optCom.isChecked()) {
        serial_.close();
    } else {
        client_.close();
        server_.close();
    }
    emit hostPageDue();
}
