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

QTEST_GUILESS_MAIN(TestLinkStatus)
#include "tst_linkstatus.moc"
