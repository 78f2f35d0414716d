#include "DeviceBytes.h"
#include "StationFixture.h"
#include "TcpTap.h"
#include "link/DemoDevice.h"
#include "link/Poller.h"

#include <QDir>
#include <QTest>

// The station in Record mode against the device simulator's quake on loopback: the event file
// must hold, to its printed digits, the samples the simulator sent, with the trigger row at
// the pre-alarm time.
class TestEventFileDevsim : public QObject
{
    Q_OBJECT
private slots:
    void quakeRecordedAsSent();
};

using namespace DeviceBytes;

namespace
{

constexpr int PreAlarmSeconds = 10;
constexpr int PostAlarmSeconds = 20;

// The sample the device sent as stream sample n, printed as the event file prints a row.
QString sentRow(const QList<QByteArray> &packets, int n, int k)
{
    const QByteArray &packet = packets[n / 100];
    const int first = 100 + 5 * (n % 100);
    return QString::asprintf(
        "%10.2f,%10.3f,%10.3f,%10.3f,%10.3f,%10.3f", k * 0.01, littleWord(packet, first) * 0.0598,
        littleWord(packet, first + 1) * 0.0598, littleWord(packet, first + 2) * 0.0598,
        littleWord(packet, first + 3) / 1000.0, littleWord(packet, first + 4) / 1000.0);
}

// The trigger row moves with every change of the event flags to a non-zero value; the
// header is decoded before the samples, so it is the first sample of that packet.
int lastTriggerSample(const QList<QByteArray> &packets)
{
    int previous = 0;
    int trigger = -1;
    for (int p = 0; p < packets.size(); ++p) {
        const int flags = littleWord(packets[p], 1);
        if (flags != 0 && flags != previous)
            trigger = 100 * p;
        previous = flags;
    }
    return trigger;
}

} // namespace

void TestEventFileDevsim::quakeRecordedAsSent()
{
    DemoDevice sim;
    QString error;
    QVERIFY2(sim.start(QStringLiteral(DEVSIM_PROGRAM),
                       {"--tcp", "0", "--serial", "4321", "--scenario", "quake", "--speed", "10"},
                       &error),
             qPrintable(error));
    TcpTap tap(sim.port());
    StationFixture f(StationFixture::LinkKind::Real);
    f.station->Form_Load(QString());
    Form &form = f.station->form();
    f.useClientLinkTo(tap.port());
    form.Check4.setChecked(true);
    form.txtrecPrev.setText(QString::number(PreAlarmSeconds));
    form.txtrecafter.setText(QString::number(PostAlarmSeconds));
    // The test counts the post-alarm seconds itself, once the device has sent them.
    form.TmrRec.setInterval(24 * 3600 * 1000);
    f.station->cmdComset_Click();
    f.stopOneSecondTimers();
    QTRY_VERIFY(f.station->links().isClientConnected());
    if (!form.streamRequestSent)
        f.station->poller().tmr_Timer();

    // The quake triggers 11.5 s into the run and is over at 40 s (4 s here at ten times speed).
    QTRY_VERIFY_WITH_TIMEOUT(form.TmrRec.isActive(), 15000);
    QTRY_VERIFY_WITH_TIMEOUT(!form.eventInProgress(), 15000);
    const int eventIndex = form.ring.ringEventIndex;
    QTRY_VERIFY_WITH_TIMEOUT(form.ring.ringWriteIndex >= eventIndex + PostAlarmSeconds * 100,
                             15000);
    tap.hold();
    for (int second = 0; second < PostAlarmSeconds; ++second)
        f.station->eventFile().TmrRec_Timer();
    QVERIFY(!form.TmrRec.isActive());

    const QList<QByteArray> packets = streamPackets(tap.fromTarget);
    QCOMPARE(eventIndex, lastTriggerSample(packets));
    QFile file(QDir(form.Dir1.path()).filePath(f.station->eventFile().fileName()));
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(file.fileName()));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    const int rows = (PreAlarmSeconds + PostAlarmSeconds) * 100;
    QCOMPARE(lines.size(), 12 + rows + 1);
    QCOMPARE(lines[0], QStringLiteral("#StationCode:4321"));
    const int first = eventIndex - PreAlarmSeconds * 100;
    QVERIFY2(first >= 0, "the stream started too late for the pre-alarm time");
    for (int k = 0; k < rows; ++k) {
        const QString sent = sentRow(packets, first + k, k);
        if (lines[12 + k] != sent)
            QFAIL(
                qPrintable(QStringLiteral("row %1: %2, sent %3").arg(k).arg(lines[12 + k], sent)));
    }
    QCOMPARE(lines[12 + PreAlarmSeconds * 100].left(10), QStringLiteral("     10.00"));
}

QTEST_GUILESS_MAIN(TestEventFileDevsim)
#include "tst_eventfile_devsim.moc"
