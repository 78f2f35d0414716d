#include "LinkBench.h"

#include "DataText.h"
#include "Prompter.h"

#include <QHostAddress>

Q_LOGGING_CATEGORY(lcLinkBench, "linkbench", QtInfoMsg)

namespace
{

const QString messageTitle = QStringLiteral("Message");

std::optional<quint16> portIn(const TextControl &box, int lowest)
{
    const std::optional<int> port = roundedNumber(box.text());
    if (!port || *port < lowest || *port > 65535)
        return std::nullopt;
    return quint16(*port);
}

// Clients are listed by their dotted IPv4 address, also when the stack reports it mapped.
QString dottedAddress(const QHostAddress &address)
{
    bool isIPv4 = false;
    const quint32 ipv4 = address.toIPv4Address(&isIPv4);
    return isIPv4 ? QHostAddress(ipv4).toString() : address.toString();
}

} // namespace

// Modbus TCP: transaction 0x0102, protocol 0, length 6, unit 1, write single register 192 = 1,
// which starts the alert device's data stream.
const QString LinkBench::sampleFrame = QStringLiteral("1 2 0 0 0 6 1 6 0 c0 0 1");

LinkBench::LinkBench(Prompter &userPrompter, QObject *parent)
    : QObject(parent), prompter(userPrompter)
{
    connect(&Winsock1, &ListeningSocket::connectionRequest, this,
            &LinkBench::Winsock1_ConnectionRequest);
    Winsock2.push_back(createConnectionSocket(0));
    connect(&Winsock3, &QTcpSocket::readyRead, this, &LinkBench::Winsock3_DataArrival);
    connect(&Winsock3, &QTcpSocket::connected, this, &LinkBench::linked);
    Timer1.setInterval(1000);
    connect(&Timer1, &QTimer::timeout, this, &LinkBench::Timer1_Timer);
    connect(&send_interval, &QTimer::timeout, this, &LinkBench::send_interval_Timer);
    Timer1.start();
    Form_Load();
}

QTcpSocket *LinkBench::connectionSocket(int index) const
{
    return index >= 0 && index < int(Winsock2.size()) ? Winsock2[index] : nullptr;
}

void LinkBench::Form_Load()
{
    Text5.setText({});
    Text8.setText({});
    Text7.setText(sampleFrame);
    Text6.setText(sampleFrame);
}

void LinkBench::Option1_Click()
{
    Option1.setChecked(true);
    Option2.setChecked(false);
    Text5.setText({});
    Text7.setText({});
    Text6.setText({});
    Text8.setText({});
}

void LinkBench::Option2_Click()
{
    Option2.setChecked(true);
    Option1.setChecked(false);
    Form_Load();
}

// Server side.

void LinkBench::Command1_Click()
{
    const std::optional<quint16> port = portIn(Text2, 0);
    if (!port) {
        prompter.information(messageTitle,
                             QStringLiteral("The port must be a number from 0 to 65535."));
        return;
    }
    Winsock1.close();
    if (!Winsock1.listen(QHostAddress::AnyIPv4, *port)) {
        prompter.information(
            messageTitle,
            QStringLiteral("Cannot listen on port %1: %2").arg(*port).arg(Winsock1.errorString()));
        return;
    }
    qCDebug(lcLinkBench) << "listening on port" << Winsock1.serverPort();
}

TaggedSocket *LinkBench::createConnectionSocket(int index)
{
    auto *socket = new TaggedSocket(this);
    connect(socket, &QTcpSocket::readyRead, this, [this, index] { Winsock2_DataArrival(index); });
    connect(socket, &QTcpSocket::disconnected, this, [this, index] { Winsock2_Close(index); });
    return socket;
}

// A request takes the lowest-numbered socket that is not connected, creating one more socket
// only when all existing ones are in use.
void LinkBench::Winsock1_ConnectionRequest(qintptr requestID)
{
    for (int i = 0; i <= maxConnectionIndex; ++i) {
        if (i > connectionCount) {
            ++connectionCount;
            Winsock2.push_back(createConnectionSocket(connectionCount));
        }
        if (Winsock2[i]->state() == QAbstractSocket::ConnectedState)
            continue;
        acceptOn(*Winsock2[i], i, requestID);
        return;
    }
    refuseRequest(requestID);
}

void LinkBench::acceptOn(TaggedSocket &socket, int index, qintptr requestID)
{
    socket.close();
    if (!socket.setSocketDescriptor(requestID)) {
        refuseRequest(requestID);
        return;
    }
    socket.Tag = QStringLiteral("%1,%2,%3")
                     .arg(index)
                     .arg(dottedAddress(socket.peerAddress()))
                     .arg(socket.peerPort());
    List1.addItem(socket.Tag);
    qCDebug(lcLinkBench) << "accepted" << socket.Tag;
}

void LinkBench::refuseRequest(qintptr requestID)
{
    QTcpSocket refused;
    if (refused.setSocketDescriptor(requestID))
        refused.abort();
}

void LinkBench::Winsock2_DataArrival(int Index)
{
    TaggedSocket &socket = *Winsock2.at(Index);
    const QByteArray bytes = socket.readAll();
    if (bytes.isEmpty())
        return;
    qCDebug(lcLinkBench).noquote() << "from" << socket.Tag << ":" << bytes.toHex(' ');
    if (!hexMode()) {
        showIn(Text5, shownText(bytes));
        return;
    }
    // A forward with the client link down would only fail; the data is still shown here.
    const bool forwarding = Check1.isChecked() && isLinked();
    if (forwarding)
        Winsock3.write(bytes);
    const QString shown = shownText(bytes);
    showIn(Text5, shown);
    if (forwarding)
        showIn(Text8, shown);
}

// The socket stays open for reuse by a later request; only its row goes.
void LinkBench::Winsock2_Close(int Index)
{
    const QString &tag = Winsock2.at(Index)->Tag;
    qCDebug(lcLinkBench) << "client left" << tag;
    if (tag.isEmpty())
        return;
    // Clients are few: a row index fits the list's int.
    List1.removeItem(static_cast<int>(List1.rows().indexOf(tag)));
}

void LinkBench::Command6_Click()
{
    if (List1.listIndex() < 0)
        return;
    QTcpSocket *socket =
        connectionSocket(List1.selectedRow().section(QLatin1Char(','), 0, 0).toInt());
    if (socket && socket->state() == QAbstractSocket::ConnectedState) {
        sendText(*socket, Text7.text());
        return;
    }
    if (socket)
        socket->close();
    List1.removeItem(List1.listIndex());
    prompter.information(messageTitle, QStringLiteral("The Client is unlinked!"));
}

void LinkBench::Command3_Click()
{
    Winsock1.close();
    List1.clear();
    for (TaggedSocket *socket : Winsock2)
        socket->close();
}

// Client side.

void LinkBench::Command2_Click()
{
    const std::optional<quint16> port = portIn(Text4, 1);
    if (!port) {
        prompter.information(messageTitle,
                             QStringLiteral("The port must be a number from 1 to 65535."));
        return;
    }
    Winsock3.abort();
    Winsock3.connectToHost(Text3.text().trimmed(), *port);
    Command2.setText(QStringLiteral("Linking"));
    Timer1.start();
}

void LinkBench::Timer1_Timer()
{
    Command2.setText(isLinked() ? QStringLiteral("Linked") : QStringLiteral("Link"));
}

// The periodic send is switched off before any message box, so that its timer cannot stack
// further boxes while the first one waits for the operator.
void LinkBench::Command5_Click()
{
    if (!isLinked()) {
        switchPeriodicSendOff();
        prompter.information(messageTitle, QStringLiteral("Link first!"));
        return;
    }
    sendText(Winsock3, Text6.text());
}

void LinkBench::Winsock3_DataArrival()
{
    const QByteArray bytes = Winsock3.readAll();
    if (bytes.isEmpty())
        return;
    qCDebug(lcLinkBench).noquote() << "from the client link:" << bytes.toHex(' ');
    showIn(Text8, shownText(bytes));
}

void LinkBench::Command4_Click()
{
    Winsock3.abort();
    Command2.setText(QStringLiteral("Link"));
    Timer1.stop();
    send_interval.stop();
    periodicSend = 0;
    botton_interval.setText(QStringLiteral("Send_Int."));
}

void LinkBench::botton_interval_Click()
{
    if (periodicSend != 0) {
        switchPeriodicSendOff();
        return;
    }
    const std::optional<int> period = roundedNumber(send_in_msec.text());
    if (!period) {
        prompter.information(messageTitle,
                             QStringLiteral("The period must be a number of milliseconds."));
        return;
    }
    if (*period < minimumPeriod)
        send_in_msec.setText(QString::number(minimumPeriod));
    send_interval.setInterval(std::max(*period, minimumPeriod));
    periodicSend = 1;
    send_interval.start();
    botton_interval.setText(QStringLiteral("Int. ON"));
}

void LinkBench::send_interval_Timer()
{
    Command5_Click();
}

void LinkBench::switchPeriodicSendOff()
{
    if (periodicSend == 0)
        return;
    periodicSend = 0;
    send_interval.stop();
    botton_interval.setText(QStringLiteral("Int. OFF"));
}

// Sending and showing.

std::optional<QByteArray> LinkBench::outgoingBytes(const QString &text)
{
    if (!hexMode())
        return text.toUtf8();
    const HexEntry entry = parseHexEntry(text);
    if (entry.valid)
        return entry.bytes;
    switchPeriodicSendOff();
    prompter.information(
        messageTitle,
        QStringLiteral("\"%1\" is not a hexadecimal byte (00 to FF); nothing was sent.")
            .arg(entry.badToken));
    return std::nullopt;
}

void LinkBench::sendText(QTcpSocket &socket, const QString &text)
{
    const std::optional<QByteArray> bytes = outgoingBytes(text);
    if (bytes)
        socket.write(*bytes);
}

QString LinkBench::shownText(const QByteArray &bytes) const
{
    return hexMode() ? hexDisplay(bytes) : QString::fromUtf8(bytes);
}

void LinkBench::showIn(TextControl &log, const QString &block)
{
    log.setText(prependToLog(log.text(), block));
}
