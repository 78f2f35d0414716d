#include "LinkBench.h"
#include "LoopbackPeer.h"
#include "RecordingPrompter.h"

#include <QSignalSpy>
#include <QTest>

// The client link, the periodic send, forwarding and the mode switches, on loopback.
class TestClient : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void linkCaptions();
    void sendsHexAndText();
    void showsWhatArrives();
    void linkFirstStopsPeriodicSend();
    void periodicSendDeliversOneBlockPerPeriod();
    void periodRules_data();
    void periodRules();
    void badHexTokenStopsPeriodicSend();
    void closeResetsClientSide();
    void forwardInHexModeOnly();
    void forwardWithLinkDownKeepsServerSide();
    void modeSwitchesClearAndRefill();

private:
    void linkTo(const LoopbackPeer &peer);

    std::unique_ptr<RecordingPrompter> prompter;
    std::unique_ptr<LinkBench> bench;
};

void TestClient::init()
{
    prompter = std::make_unique<RecordingPrompter>();
    bench = std::make_unique<LinkBench>(*prompter);
}

void TestClient::cleanup()
{
    bench.reset();
    prompter.reset();
}

void TestClient::linkTo(const LoopbackPeer &peer)
{
    bench->Text3.setText(QStringLiteral("127.0.0.1"));
    bench->Text4.setText(QString::number(peer.port()));
    bench->Command2_Click();
    QTRY_VERIFY(bench->isLinked());
    QTRY_VERIFY(peer.isLinked());
}

void TestClient::linkCaptions()
{
    QCOMPARE(bench->Command2.text(), QStringLiteral("Link"));
    QVERIFY(bench->Timer1.isActive());
    LoopbackPeer peer;
    bench->Text3.setText(QStringLiteral("127.0.0.1"));
    bench->Text4.setText(QString::number(peer.port()));
    bench->Command2_Click();
    QCOMPARE(bench->Command2.text(), QStringLiteral("Linking"));
    QTRY_VERIFY(bench->isLinked());
    bench->Timer1_Timer();
    QCOMPARE(bench->Command2.text(), QStringLiteral("Linked"));

    bench->Text4.setText(QStringLiteral("port"));
    bench->Command2_Click();
    QCOMPARE(prompter->texts.size(), 1);
    QVERIFY2(bench->isLinked(), "a refused port must leave the link alone");
}

void TestClient::sendsHexAndText()
{
    LoopbackPeer peer;
    linkTo(peer);
    bench->Command5_Click();
    QTRY_COMPARE(peer.received, QByteArray::fromHex("010200000006010600C00001"));

    peer.received.clear();
    bench->Option1_Click();
    bench->Text6.setText(QStringLiteral("AT 測"));
    bench->Command5_Click();
    QTRY_COMPARE(peer.received, QByteArray("AT \xE6\xB8\xAC"));
    QVERIFY(prompter->texts.isEmpty());
}

void TestClient::showsWhatArrives()
{
    LoopbackPeer peer;
    linkTo(peer);
    peer.write(QByteArray::fromHex("010203"));
    QTRY_COMPARE(bench->Text8.text(), QStringLiteral("\r\n01 02 03"));

    bench->Option1_Click();
    peer.write("reply");
    QTRY_COMPARE(bench->Text8.text(), QStringLiteral("reply"));
    QVERIFY(bench->Text5.text().isEmpty());
}

void TestClient::linkFirstStopsPeriodicSend()
{
    bench->send_in_msec.setText(QStringLiteral("10"));
    bench->botton_interval_Click();
    QCOMPARE(bench->botton_interval.text(), QStringLiteral("Int. ON"));
    QVERIFY(bench->send_interval.isActive());

    QTRY_COMPARE(prompter->texts, QStringList(QStringLiteral("Link first!")));
    QCOMPARE(prompter->titles, QStringList(QStringLiteral("Message")));
    QCOMPARE(bench->botton_interval.text(), QStringLiteral("Int. OFF"));
    QVERIFY(!bench->send_interval.isActive());
    QVERIFY(!bench->isPeriodicSendOn());

    bench->Command5_Click();
    QCOMPARE(prompter->texts.size(), 2);
    QCOMPARE(bench->botton_interval.text(), QStringLiteral("Int. OFF"));
}

void TestClient::periodicSendDeliversOneBlockPerPeriod()
{
    LoopbackPeer peer;
    linkTo(peer);
    const QByteArray frame = QByteArray::fromHex("010200000006010600C00001");
    QSignalSpy ticks(&bench->send_interval, &QTimer::timeout);
    bench->send_in_msec.setText(QStringLiteral("20"));
    bench->botton_interval_Click();
    QCOMPARE(bench->send_interval.interval(), 20);
    QTRY_VERIFY(ticks.count() >= 3);

    bench->botton_interval_Click();
    QCOMPARE(bench->botton_interval.text(), QStringLiteral("Int. OFF"));
    QVERIFY(!bench->send_interval.isActive());
    QTRY_COMPARE(peer.received.size(), ticks.count() * frame.size());
    QCOMPARE(peer.received, frame.repeated(ticks.count()));
    QVERIFY(prompter->texts.isEmpty());
}

void TestClient::periodRules_data()
{
    QTest::addColumn<QString>("period");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("interval");
    QTest::addColumn<QString>("shownPeriod");
    QTest::newRow("design value") << "2000" << true << 2000 << "2000";
    QTest::newRow("rounded") << "50.5" << true << 50 << "50.5";
    QTest::newRow("below 10 raised") << "3" << true << 10 << "10";
    QTest::newRow("negative raised") << "-100" << true << 10 << "10";
    QTest::newRow("not a number") << "fast" << false << 0 << "fast";
    QTest::newRow("empty") << "" << false << 0 << "";
}

void TestClient::periodRules()
{
    QFETCH(QString, period);
    QFETCH(bool, accepted);
    QFETCH(int, interval);
    QFETCH(QString, shownPeriod);
    bench->send_in_msec.setText(period);
    bench->botton_interval_Click();
    QCOMPARE(bench->isPeriodicSendOn(), accepted);
    QCOMPARE(bench->send_interval.isActive(), accepted);
    QCOMPARE(bench->send_in_msec.text(), shownPeriod);
    QCOMPARE(prompter->texts.size(), accepted ? 0 : 1);
    if (accepted) {
        QCOMPARE(bench->send_interval.interval(), interval);
        QCOMPARE(bench->botton_interval.text(), QStringLiteral("Int. ON"));
    } else {
        QCOMPARE(bench->botton_interval.text(), QStringLiteral("Send_Int."));
    }
}

void TestClient::badHexTokenStopsPeriodicSend()
{
    LoopbackPeer peer;
    linkTo(peer);
    bench->Text6.setText(QStringLiteral("01 ZZ"));
    bench->botton_interval_Click();
    bench->send_interval_Timer();
    QCOMPARE(prompter->texts.size(), 1);
    QVERIFY2(prompter->texts.first().contains(QStringLiteral("\"ZZ\"")),
             qPrintable(prompter->texts.first()));
    QCOMPARE(bench->botton_interval.text(), QStringLiteral("Int. OFF"));
    QVERIFY(!bench->send_interval.isActive());

    bench->Text6.setText(QStringLiteral("05"));
    bench->Command5_Click();
    QTRY_COMPARE(peer.received, QByteArray::fromHex("05"));
}

void TestClient::closeResetsClientSide()
{
    LoopbackPeer peer;
    linkTo(peer);
    bench->botton_interval_Click();
    bench->Command4_Click();
    QVERIFY(!bench->isLinked());
    QCOMPARE(bench->Command2.text(), QStringLiteral("Link"));
    QCOMPARE(bench->botton_interval.text(), QStringLiteral("Send_Int."));
    QVERIFY(!bench->isPeriodicSendOn());
    QVERIFY(!bench->send_interval.isActive());
    QVERIFY(!bench->Timer1.isActive());
    QTRY_VERIFY(!peer.isLinked());
}

void TestClient::forwardInHexModeOnly()
{
    LoopbackPeer peer;
    linkTo(peer);
    bench->Text2.setText(QStringLiteral("0"));
    bench->Command1_Click();
    bench->Check1.setChecked(true);
    auto client = connectedClient(bench->listeningPort());
    QTRY_COMPARE(bench->List1.count(), 1);

    client->write(QByteArray::fromHex("0001000000060103006300"));
    QTRY_COMPARE(peer.received, QByteArray::fromHex("0001000000060103006300"));
    const QString shown = QStringLiteral("\r\n00 01 00 00 00 06 01 03 00 63 00");
    QCOMPARE(bench->Text5.text(), shown);
    QCOMPARE(bench->Text8.text(), shown);

    bench->Option1_Click();
    client->write("text");
    QTRY_COMPARE(bench->Text5.text(), QStringLiteral("text"));
    bench->Option2_Click();
    // The link keeps order: text forwarded in "ASCII" mode would arrive before these bytes.
    client->write(QByteArray::fromHex("AA"));
    QTRY_COMPARE(peer.received.size(), 12);
    QCOMPARE(peer.received, QByteArray::fromHex("0001000000060103006300AA"));
    QCOMPARE(bench->Text8.text(), QStringLiteral("\r\nAA"));
}

void TestClient::forwardWithLinkDownKeepsServerSide()
{
    bench->Text2.setText(QStringLiteral("0"));
    bench->Command1_Click();
    bench->Check1.setChecked(true);
    auto client = connectedClient(bench->listeningPort());
    client->write(QByteArray::fromHex("01"));
    QTRY_COMPARE(bench->Text5.text(), QStringLiteral("\r\n01"));
    QVERIFY(bench->Text8.text().isEmpty());
    QVERIFY(prompter->texts.isEmpty());
}

void TestClient::modeSwitchesClearAndRefill()
{
    QCOMPARE(bench->Text6.text(), LinkBench::sampleFrame);
    QCOMPARE(bench->Text7.text(), LinkBench::sampleFrame);
    bench->Text5.setText(QStringLiteral("\r\n01"));
    bench->Text8.setText(QStringLiteral("\r\n02"));

    bench->Option1_Click();
    QVERIFY(bench->Option1.isChecked() && !bench->Option2.isChecked());
    for (const TextControl *box : {&bench->Text5, &bench->Text6, &bench->Text7, &bench->Text8})
        QVERIFY(box->text().isEmpty());

    bench->Text6.setText(QStringLiteral("typed"));
    bench->Text5.setText(QStringLiteral("log"));
    bench->Option2_Click();
    QVERIFY(bench->Option2.isChecked() && !bench->Option1.isChecked());
    QCOMPARE(bench->Text6.text(), QStringLiteral("1 2 0 0 0 6 1 6 0 c0 0 1"));
    QCOMPARE(bench->Text7.text(), QStringLiteral("1 2 0 0 0 6 1 6 0 c0 0 1"));
    QVERIFY(bench->Text5.text().isEmpty());
    QVERIFY(bench->Text8.text().isEmpty());
}

QTEST_GUILESS_MAIN(TestClient)
#include "tst_client.moc"
