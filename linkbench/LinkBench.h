#pragma once

#include "Controls.h"
#include "ListeningSocket.h"

#include <QByteArray>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <QTimer>
#include <optional>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcLinkBench)

class Prompter;

// The TCP test tool's form without widgets: a server side that accepts any number of
// clients, a client side with one link, and the text boxes, captions and list rows that
// the window shows. Handlers are public so that tests press buttons and tick timers.
class LinkBench : public QObject
{
    Q_OBJECT
public:
    static const QString sampleFrame;

    explicit LinkBench(Prompter &userPrompter, QObject *parent = nullptr);

    // Server side.
    TextControl Text2{QStringLiteral("502")};
    ListControl List1;
    TextControl Text7;
    TextControl Text5;
    // Client side.
    TextControl Text3{QStringLiteral("192.168.1.100")};
    TextControl Text4{QStringLiteral("502")};
    TextControl Command2{QStringLiteral("Link")};
    TextControl Text6;
    TextControl send_in_msec{QStringLiteral("2000")};
    TextControl botton_interval{QStringLiteral("Send_Int.")};
    TextControl Text8;
    // Modes.
    CheckControl Option1{false};
    CheckControl Option2{true};
    CheckControl Check1{false};

    QTimer Timer1;
    QTimer send_interval;

    void Form_Load();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    void Command4_Click();
    void Command5_Click();
    void Command6_Click();
    void botton_interval_Click();
    void Option1_Click();
    void Option2_Click();
    void send_interval_Timer();
    void Timer1_Timer();
    void Winsock1_ConnectionRequest(qintptr requestID);
    void Winsock2_DataArrival(int Index);
    void Winsock2_Close(int Index);
    void Winsock3_DataArrival();

    bool isListening() const { return Winsock1.isListening(); }
    quint16 listeningPort() const { return Winsock1.serverPort(); }
    bool isLinked() const { return Winsock3.state() == QAbstractSocket::ConnectedState; }
    bool isPeriodicSendOn() const { return periodicSend != 0; }
    // Winsock2(index), or nothing when that socket has not been created yet.
    QTcpSocket *connectionSocket(int index) const;

signals:
    // The client link is up; the start options wait for it before they send.
    void linked();

private:
    static constexpr int maxConnectionIndex = 65535;
    static constexpr int minimumPeriod = 10;

    bool hexMode() const { return Option2.isChecked(); }
    TaggedSocket *createConnectionSocket(int index);
    void acceptOn(TaggedSocket &socket, int index, qintptr requestID);
    void refuseRequest(qintptr requestID);
    std::optional<QByteArray> outgoingBytes(const QString &text);
    void sendText(QTcpSocket &socket, const QString &text);
    QString shownText(const QByteArray &bytes) const;
    void switchPeriodicSendOff();
    void showIn(TextControl &log, const QString &block);

    Prompter &prompter;
    ListeningSocket Winsock1;
    std::vector<TaggedSocket *> Winsock2;
    QTcpSocket Winsock3;
    int connectionCount = 0;
    qint16 periodicSend = 0;
};
