#include "link/LinkStatus.h"

#include <QSignalSpy>
#include <QTest>

class TestLinkStatus : public QObject
{
    Q_OBJECT
private slots:
    void openAndSilentEdges();
    void rateAndPeerToldOnChange();
    void rejectedFramesAndErrorsToldEachTime();
    void summaryTellsWhereAndHow_data();
    void summaryTellsWhereAndHow();
};

// A station starts closed and not silent; each edge is told once, however often the watchdog
// finds the same state.
void TestLinkStatus::openAndSilentEdges()
{
    LinkStatus status;
    QSignalSpy open(&status, &LinkStatus::openChanged);
    QSignalSpy silent(&status, &LinkStatus::silentChanged);
    status.setOpen(false);
    status.setSilent(false);
    QCOMPARE(open.count() + silent.count(), 0);

    status.setOpen(true);
    status.setOpen(true);
    for (int second = 0; second < 3; ++second)
        status.setSilent(true);
    QCOMPARE(open.count(), 1);
    QCOMPARE(silent.count(), 1);
    QVERIFY(status.isOpen() && status.isSilent());

    status.setSilent(false);
    status.setOpen(false);
    QCOMPARE(silent.count(), 2);
    QCOMPARE(silent.last().first().toBool(), false);
    QCOMPARE(open.count(), 2);
    QCOMPARE(open.last().first().toBool(), false);
}

void TestLinkStatus::rateAndPeerToldOnChange()
{
    LinkStatus status;
    QSignalSpy rate(&status, &LinkStatus::dataPerSecondChanged);
    QSignalSpy peer(&status, &LinkStatus::peerChanged);
    status.setDataPerSecond(0);
    status.setDataPerSecond(37);
    status.setDataPerSecond(37);
    status.setPeer(QStringLiteral("10.0.0.5:40001"));
    status.setPeer(QStringLiteral("10.0.0.5:40001"));
    status.setPeer(QString());
    QCOMPARE(rate.count(), 1);
    QCOMPARE(status.dataPerSecond(), 37);
    QCOMPARE(peer.count(), 2);
    QVERIFY(status.peer().isEmpty());
}

// A counter changes with every frame; a failure reported twice is told twice, since another
// message may have taken its place on the status line meanwhile.
void TestLinkStatus::rejectedFramesAndErrorsToldEachTime()
{
    LinkStatus status;
    QSignalSpy rejected(&status, &LinkStatus::rejectedFramesChanged);
    QSignalSpy errors(&status, &LinkStatus::errorReported);
    status.countRejectedFrame();
    status.countRejectedFrame();
    const QString lost = QStringLiteral("Serial port /dev/ttyUSB0 lost");
    status.reportError(lost);
    status.reportError(lost);
    QCOMPARE(rejected.count(), 2);
    QCOMPARE(rejected.last().first().toLongLong(), 2);
    QCOMPARE(status.rejectedFrames(), qint64(2));
    QCOMPARE(errors.count(), 2);
    QCOMPARE(status.lastError(), lost);
}

void TestLinkStatus::summaryTellsWhereAndHow_data()
{
    using Route = LinkStatus::Route;
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("route");
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("peer");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("summary");
    const QString refused = "Link to 127.0.0.1:502: Connection refused";
    QTest::newRow("never opened") << false << int(Route::Poll) << "" << false << ""
                                  << ""
                                  << "Link not open";
    QTest::newRow("polling") << true << int(Route::Poll) << "127.0.0.1:502" << false << ""
                             << ""
                             << "Connected to 127.0.0.1:502 \u2014 98 answers/s";
    QTest::newRow("refused, the error stands")
        << true << int(Route::Poll) << "127.0.0.1:502" << true << "" << refused << refused;
    QTest::newRow("data again clears the error")
        << true << int(Route::Poll) << "127.0.0.1:502" << false << "" << refused
        << "Connected to 127.0.0.1:502 \u2014 98 answers/s";
    QTest::newRow("silent without an error")
        << true << int(Route::Serial) << "/dev/ttyUSB0" << true << ""
        << ""
        << "No answer on /dev/ttyUSB0";
    QTest::newRow("streaming") << true << int(Route::Stream) << "10.0.0.7:502" << false << ""
                               << ""
                               << "Record mode: streaming from 10.0.0.7:502";
    QTest::newRow("server, nobody yet") << true << int(Route::Server) << "502" << false << ""
                                        << ""
                                        << "Listening on port 502, no device connected";
    QTest::newRow("server, device")
        << true << int(Route::Server) << "502" << false << "10.0.0.5:40001"
        << ""
        << "Device 10.0.0.5:40001 streaming to port 502";
}

void TestLinkStatus::summaryTellsWhereAndHow()
{
    QFETCH(bool, open);
    QFETCH(int, route);
    QFETCH(QString, target);
    QFETCH(bool, silent);
    QFETCH(QString, peer);
    QFETCH(QString, error);
    QFETCH(QString, summary);
    LinkStatus status;
    QSignalSpy changed(&status, &LinkStatus::summaryChanged);
    status.setRoute(LinkStatus::Route(route), target);
    status.setOpen(open);
    status.setPeer(peer);
    status.setDataPerSecond(98);
    status.setSilent(true);
    if (!error.isEmpty())
        status.reportError(error);
    status.setSilent(silent);
    QCOMPARE(status.summary(), summary);
    QVERIFY(changed.count() >= 3);
}

QTEST_GUILESS_MAIN(TestLinkStatus)
#include "tst_linkstatus.moc"
