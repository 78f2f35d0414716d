#include "LinkBench.h"
#include "LoopbackPeer.h"
#include "RecordingPrompter.h"

#include <QSignalBlocker>
#include <QTest>

// The server side on loopback: accepting, listing, reusing sockets, showing and sending.
class TestServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void lowestFreeSocketIsReused();
    void receivedBlocksShowNewestOnTop();
    void asciiModeShowsText();
    void sendsToSelectedRowOnly();
    void noSelectionSendsNothing();
    void badHexTokenSendsNothing();
    void goneClientIsUnlinked();
    void closeEndsListeningAndConnections();
    void refusedPorts_data();
    void refusedPorts();
    void portInUseIsReported();

private:
    std::unique_ptr<QTcpSocket> join();
    QString rowOf(int index, const QTcpSocket &client) const;

    std::unique_ptr<RecordingPrompter> prompter;
    std::unique_ptr<LinkBench> bench;
};

void TestServer::init()
{
    prompter = std::make_unique<RecordingPrompter>();
    bench = std::make_unique<LinkBench>(*prompter);
    bench->Text2.setText(QStringLiteral("0"));
    bench->Command1_Click();
    QVERIFY(bench->isListening());
    QVERIFY(prompter->texts.isEmpty());
}

void TestServer::cleanup()
{
    bench.reset();
    prompter.reset();
}

// A client that connects and waits until the tool has listed it.
std::unique_ptr<QTcpSocket> TestServer::join()
{
    const int rowsBefore = bench->List1.count();
    auto client = connectedClient(bench->listeningPort());
    if (!QTest::qWaitFor([&] { return bench->List1.count() == rowsBefore + 1; }))
        qWarning("the tool did not list the new client");
    return client;
}

QString TestServer::rowOf(int index, const QTcpSocket &client) const
{
    return QStringLiteral("%1,127.0.0.1,%2").arg(index).arg(client.localPort());
}

void TestServer::lowestFreeSocketIsReused()
{
    auto first = join();
    auto second = join();
    QCOMPARE(bench->List1.rows(), QStringList({rowOf(0, *first), rowOf(1, *second)}));

    first->disconnectFromHost();
    QTRY_COMPARE(bench->List1.rows(), QStringList({rowOf(1, *second)}));

    auto third = join();
    QCOMPARE(bench->List1.rows(), QStringList({rowOf(1, *second), rowOf(0, *third)}));
    QVERIFY2(!bench->connectionSocket(2), "no socket beyond the two in use may be created");

    third->disconnectFromHost();
    QTRY_COMPARE(bench->List1.rows(), QStringList({rowOf(1, *second)}));
}

void TestServer::receivedBlocksShowNewestOnTop()
{
    auto client = join();
    QByteArray counting;
    for (int i = 0; i < 25; ++i)
        counting.append(char(i));
    client->write(counting);
    const QString first = "\r\n00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 "
                          "\r\n14 15 16 17 18";
    QTRY_COMPARE(bench->Text5.text(), first);

    client->write(QByteArray::fromHex("C0FF"));
    QTRY_COMPARE(bench->Text5.text(), QStringLiteral("\r\nC0 FF\r\n") + first);
    QVERIFY2(bench->Text8.text().isEmpty(), "without forward nothing goes to the client log");
}

void TestServer::asciiModeShowsText()
{
    bench->Option1_Click();
    auto client = join();
    client->write("hello");
    QTRY_COMPARE(bench->Text5.text(), QStringLiteral("hello"));
    client->write("\xE6\xB8\xAC");
    QTRY_COMPARE(bench->Text5.text(), QStringLiteral("測\r\nhello"));
}

void TestServer::sendsToSelectedRowOnly()
{
    auto first = join();
    auto second = join();
    bench->List1.setListIndex(1);
    bench->Text7.setText(QStringLiteral("F0 FF"));
    bench->Command6_Click();
    QTRY_COMPARE(second->bytesAvailable(), 2);
    QCOMPARE(second->readAll(), QByteArray::fromHex("F0FF"));

    bench->Option1_Click();
    bench->Text7.setText(QStringLiteral("ping"));
    bench->List1.setListIndex(0);
    bench->Command6_Click();
    QTRY_COMPARE(first->bytesAvailable(), 4);
    QCOMPARE(first->readAll(), QByteArray("ping"));
    QCOMPARE(second->bytesAvailable(), 0);
    QVERIFY(prompter->texts.isEmpty());
}

void TestServer::noSelectionSendsNothing()
{
    auto client = join();
    bench->Text7.setText(QStringLiteral("01"));
    bench->Command6_Click();
    bench->List1.setListIndex(0);
    bench->Text7.setText(QStringLiteral("02"));
    bench->Command6_Click();
    QTRY_COMPARE(client->bytesAvailable(), 1);
    QCOMPARE(client->readAll(), QByteArray::fromHex("02"));
    QVERIFY(prompter->texts.isEmpty());
}

void TestServer::badHexTokenSendsNothing()
{
    auto client = join();
    bench->List1.setListIndex(0);
    bench->Text7.setText(QStringLiteral("01 1FF 02"));
    bench->Command6_Click();
    QCOMPARE(prompter->texts.size(), 1);
    QVERIFY2(prompter->texts.first().contains(QStringLiteral("\"1FF\"")),
             qPrintable(prompter->texts.first()));

    // TCP keeps order: if the bad text had sent anything, it would arrive before this.
    bench->Text7.setText(QStringLiteral("07"));
    bench->Command6_Click();
    QTRY_COMPARE(client->bytesAvailable(), 1);
    QCOMPARE(client->readAll(), QByteArray::fromHex("07"));
    QCOMPARE(bench->List1.count(), 1);
}

// A connection that went away without its close being noticed keeps its row until a send
// finds it gone.
void TestServer::goneClientIsUnlinked()
{
    auto first = join();
    auto second = join();
    QTcpSocket *lost = bench->connectionSocket(0);
    {
        const QSignalBlocker unnoticed(lost);
        first->disconnectFromHost();
        QTRY_COMPARE(lost->state(), QAbstractSocket::UnconnectedState);
    }
    QCOMPARE(bench->List1.count(), 2);
    bench->List1.setListIndex(0);
    bench->Command6_Click();
    QCOMPARE(prompter->texts, QStringList(QStringLiteral("The Client is unlinked!")));
    QCOMPARE(prompter->titles, QStringList(QStringLiteral("Message")));
    QCOMPARE(bench->List1.rows(), QStringList({rowOf(1, *second)}));
    QCOMPARE(bench->List1.listIndex(), -1);

    auto third = join();
    QCOMPARE(bench->List1.rows().last(), rowOf(0, *third));
}

void TestServer::closeEndsListeningAndConnections()
{
    auto first = join();
    auto second = join();
    bench->Command3_Click();
    QVERIFY(!bench->isListening());
    QVERIFY(bench->List1.rows().isEmpty());
    QTRY_COMPARE(first->state(), QAbstractSocket::UnconnectedState);
    QTRY_COMPARE(second->state(), QAbstractSocket::UnconnectedState);

    bench->Command1_Click();
    QVERIFY(bench->isListening());
    auto third = join();
    QCOMPARE(bench->List1.rows(), QStringList({rowOf(0, *third)}));
    QVERIFY2(bench->connectionSocket(1), "sockets created before stay available");
}

void TestServer::refusedPorts_data()
{
    QTest::addColumn<QString>("port");
    QTest::newRow("not a number") << "abc";
    QTest::newRow("empty") << "";
    QTest::newRow("negative") << "-1";
    QTest::newRow("beyond 65535") << "65536";
}

void TestServer::refusedPorts()
{
    QFETCH(QString, port);
    const quint16 listening = bench->listeningPort();
    bench->Text2.setText(port);
    bench->Command1_Click();
    QCOMPARE(prompter->texts.size(), 1);
    QVERIFY2(bench->isListening() && bench->listeningPort() == listening,
             "a refused port must leave the running listener alone");
}

void TestServer::portInUseIsReported()
{
    QTcpServer occupant;
    QVERIFY(occupant.listen(QHostAddress::AnyIPv4, 0));
    bench->Text2.setText(QString::number(occupant.serverPort()));
    bench->Command1_Click();
    QCOMPARE(prompter->texts.size(), 1);
    QVERIFY2(prompter->texts.first().startsWith(QStringLiteral("Cannot listen on port")),
             qPrintable(prompter->texts.first()));
    QVERIFY(!bench->isListening());
}

QTEST_GUILESS_MAIN(TestServer)
#include "tst_server.moc"
