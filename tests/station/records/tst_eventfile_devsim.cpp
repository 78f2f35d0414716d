#include "DeviceBytes.h"
#include "RecordFiles.h"
#include "StationFixture.h"
#include "TcpTap.h"
#include "link/DemoDevice.h"
#include "link/Poller.h"

#include <QDir>
#include <QTest>
#include <memory>

// The station in Record mode against the device simulator on loopback: an event file must hold,
// to its printed digits, the samples the simulator sent around its event's first trigger, and
// nothing else; events that follow each other each get their own file and summary.
class TestEventFileDevsim : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void twoQuakesRecordedAsSent();
    void streamStoppingEndsTheRecordEarly();
    void aftershockWhileTheFirstFileIsPending();

private:
    struct Event {
        qint64 triggerRow = 0;
        QString path;
    };
    void startSimulator(const QStringList &scenario);
    void startStation(int preAlarmSeconds, int postAlarmSeconds);
    Event nextEvent();
    // Ticks of the post-alarm clock, each once the device has sent that second; false when a
    // second did not come.
    bool runPostAlarmTicks(const Event &event, int ticks);
    void verifyFile(const Event &event, qint64 lastRow, int preAlarmSeconds);
    int recordedRows() const;

    std::unique_ptr<DemoDevice> sim_;
    std::unique_ptr<TcpTap> tap_;
    std::unique_ptr<StationFixture> f_;
};

using namespace DeviceBytes;

namespace
{

constexpr int PreAlarmSeconds = 5;
constexpr int PostAlarmSeconds = 30; // past the quake's last change of the flags
constexpr int Timeout = 20000;

// The sample the device sent as stream sample n, printed as the event file prints its row k.
QString sentRow(const QList<QByteArray> &packets, qint64 n, qint64 k)
{
    const QByteArray &packet = packets[int(n / 100)];
    const int first = 100 + 5 * int(n % 100);
    return QString::asprintf(
        "%10.2f,%10.3f,%10.3f,%10.3f,%10.3f,%10.3f", double(k) * 0.01,
        littleWord(packet, first) * 0.0598, littleWord(packet, first + 1) * 0.0598,
        littleWord(packet, first + 2) * 0.0598, littleWord(packet, first + 3) / 1000.0,
        littleWord(packet, first + 4) / 1000.0);
}

int flagsOf(const QList<QByteArray> &packets, int p)
{
    return p < 0 ? 0 : littleWord(packets[p], 1);
}

// A recorded sequence for the simulator to replay: quiet rows, and 60 gal on axis a for 5 s
// at each of `burstsAt` (seconds).
QByteArray sequenceRecording(int seconds, const QList<int> &burstsAt)
{
    QByteArray out;
    for (int n = 0; n < seconds * 100; ++n) {
        bool strong = false;
        for (int at : burstsAt)
            strong = strong || (n >= at * 100 && n < (at + 5) * 100);
        out += QByteArray::number(n * 0.01, 'f', 2) + (strong ? ",60,1,-1,0,0\n" : ",0,1,-1,0,0\n");
    }
    return out;
}

} // namespace

void TestEventFileDevsim::cleanup()
{
    f_.reset();
    tap_.reset();
    sim_.reset();
}

void TestEventFileDevsim::startSimulator(const QStringList &scenario)
{
    sim_ = std::make_unique<DemoDevice>();
    QString error;
    QVERIFY2(
        sim_->start(QStringLiteral(DEVSIM_PROGRAM),
                    QStringList{"--tcp", "0", "--serial", "4321", "--speed", "10", "--scenario"} +
                        scenario,
                    &error),
        qPrintable(error));
    tap_ = std::make_unique<TcpTap>(sim_->port());
}

void TestEventFileDevsim::startStation(int preAlarmSeconds, int postAlarmSeconds)
{
    f_ = std::make_unique<StationFixture>(StationFixture::LinkKind::Real);
    f_->station->start(QString());
    ConnectionPage &connection = f_->station->connectionPage();
    f_->useClientLinkTo(tap_->port());
    connection.recordModeBox.setChecked(true);
    connection.preEventField.setText(QString::number(preAlarmSeconds));
    connection.postEventField.setText(QString::number(postAlarmSeconds));
    // The test counts the post-alarm seconds itself, once the device has sent them.
    f_->station->eventFile().setTickInterval(24 * 3600 * 1000);
    f_->station->openLink();
    f_->stopOneSecondTimers();
    QTRY_VERIFY(f_->station->clientLink().isOpen());
    if (!f_->station->linkManager().pollState().streamRequested)
        f_->station->poller().onPollTick();
}

int TestEventFileDevsim::recordedRows() const
{
    return int(f_->station->sampleRing().rowsRecorded());
}

TestEventFileDevsim::Event TestEventFileDevsim::nextEvent()
{
    Event event;
    if (!QTest::qWaitFor([&] { return f_->station->eventFile().isPending(); }, Timeout))
        return event;
    event.triggerRow = f_->station->sampleRing().rowsRecordedAtEvent();
    event.path =
        QDir(f_->station->recordFolder().path()).filePath(f_->station->eventFile().fileName());
    return event;
}

bool TestEventFileDevsim::runPostAlarmTicks(const Event &event, int ticks)
{
    for (int second = 1; second <= ticks; ++second) {
        const qint64 due = event.triggerRow + second * 100;
        if (!QTest::qWaitFor([&] { return recordedRows() >= due; }, Timeout))
            return false;
        f_->station->eventFile().onPostAlarmTick();
    }
    return true;
}

void TestEventFileDevsim::verifyFile(const Event &event, qint64 lastRow, int preAlarmSeconds)
{
    const QList<QByteArray> packets = streamPackets(tap_->fromTarget);
    QFile file(event.path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(event.path));
    const QStringList lines = RecordFiles::crlfLines(file.readAll());
    const qint64 windowStart = event.triggerRow - preAlarmSeconds * 100;
    const qint64 first = qMax<qint64>(0, windowStart);
    QCOMPARE(lines.size(), 12 + int(lastRow + 1 - first));
    QCOMPARE(lines[0], QStringLiteral("#StationCode:4321"));
    for (qint64 n = first; n <= lastRow; ++n) {
        const int k = int(n - first);
        const QString sent = sentRow(packets, n, n - windowStart);
        if (lines[12 + k] != sent)
            QFAIL(qPrintable(QStringLiteral("%1 row %2: %3, sent %4")
                                 .arg(event.path)
                                 .arg(k)
                                 .arg(lines[12 + k], sent)));
    }
}

void TestEventFileDevsim::twoQuakesRecordedAsSent()
{
    startSimulator({"quake", "--repeat"});
    startStation(PreAlarmSeconds, PostAlarmSeconds);
    QList<Event> events;
    while (events.size() < 2) {
        const Event event = nextEvent();
        QVERIFY2(!event.path.isEmpty(), "no event started");
        QVERIFY(runPostAlarmTicks(event, PostAlarmSeconds));
        QVERIFY(!f_->station->eventFile().isPending());
        // A stream that began inside a quake shows its middle, not its onset.
        if (event.triggerRow > 0)
            events << event;
    }
    tap_->hold();

    const QList<QByteArray> packets = streamPackets(tap_->fromTarget);
    for (const Event &event : events) {
        // The file is anchored where the flags first left 0, however often they changed
        // within its post-alarm time.
        const int p = int(event.triggerRow / 100);
        QCOMPARE(flagsOf(packets, p - 1), 0);
        QVERIFY(flagsOf(packets, p) != 0);
        int changes = 0;
        for (int q = p + 1; q < p + PostAlarmSeconds; ++q)
            changes += flagsOf(packets, q) != flagsOf(packets, q - 1) ? 1 : 0;
        QVERIFY2(changes >= 2, "the flags did not change within the post-alarm time");
        verifyFile(event, event.triggerRow + PostAlarmSeconds * 100 - 1, PreAlarmSeconds);
    }
    // One quake every simulated minute: the two files hold the two onsets.
    QCOMPARE(events[1].triggerRow - events[0].triggerRow, qint64(6000));
    QVERIFY(events[0].path != events[1].path);
    QFile second(events[1].path);
    QVERIFY(second.open(QIODevice::ReadOnly));
    const QStringList lines = RecordFiles::crlfLines(second.readAll());
    QCOMPARE(lines.value(12 + PreAlarmSeconds * 100).left(10), QStringLiteral("      5.00"));
}

void TestEventFileDevsim::streamStoppingEndsTheRecordEarly()
{
    startSimulator({"quake", "--repeat"});
    startStation(PreAlarmSeconds, PostAlarmSeconds);
    const Event event = nextEvent();
    QVERIFY2(!event.path.isEmpty(), "no event started");
    QVERIFY(runPostAlarmTicks(event, 2));
    tap_->hold();
    // What was passed on before the hold is all the station gets.
    QTRY_COMPARE(recordedRows(), int(streamPackets(tap_->fromTarget).size()) * 100);
    const qint64 lastRow = recordedRows() - 1;
    QVERIFY(lastRow < event.triggerRow + PostAlarmSeconds * 100 - 1);

    EventFile &eventFile = f_->station->eventFile();
    for (int tick = 3; tick <= PostAlarmSeconds + 2; ++tick)
        eventFile.onPostAlarmTick();
    QVERIFY2(!QFile::exists(event.path), "written before the rows were waited for");
    eventFile.onPostAlarmTick();
    QVERIFY(!f_->station->eventFile().isPending());
    verifyFile(event, lastRow, PreAlarmSeconds);
    const QStringList log = f_->logLines();
    QVERIFY(!log.isEmpty());
    QVERIFY2(log.last().contains(QStringLiteral(" ends early at ")), qPrintable(log.last()));
}

// The simulator holds its flags 10 s after the last strong sample: bursts at 30 s and 55 s make
// two events, the second starting 25 s after the first while the first one's file still waits
// for its post-alarm time. The lead-in leaves the station time to connect.
void TestEventFileDevsim::aftershockWhileTheFirstFileIsPending()
{
    constexpr int Pre = 10;
    constexpr int Post = 40;
    QTemporaryDir replayDir;
    const QString replay = replayDir.filePath(QStringLiteral("sequence.csv"));
    QFile replayFile(replay);
    QVERIFY(replayFile.open(QIODevice::WriteOnly));
    replayFile.write(sequenceRecording(120, {30, 55}));
    replayFile.close();
    startSimulator({replay});
    startStation(Pre, Post);

    EventFile &eventFile = f_->station->eventFile();
    const Event first = nextEvent();
    QVERIFY2(!first.path.isEmpty(), "no event started");
    QList<Event> events{first};
    // One tick per second the device has sent since the first trigger.
    for (int second = 1; !QFile::exists(first.path) || eventFile.isPending(); ++second) {
        QVERIFY2(second <= 2 * Post, "the files were not written");
        QVERIFY(QTest::qWaitFor([&] { return recordedRows() >= first.triggerRow + second * 100; },
                                Timeout));
        const qint64 trigger = f_->station->sampleRing().rowsRecordedAtEvent();
        if (trigger != events.last().triggerRow)
            events << Event{
                trigger, QDir(f_->station->recordFolder().path()).filePath(eventFile.fileName())};
        eventFile.onPostAlarmTick();
    }
    tap_->hold();

    QCOMPARE(events.size(), 2);
    QVERIFY(events[0].path != events[1].path);
    QCOMPARE(events[1].triggerRow - events[0].triggerRow, qint64(2500));
    for (const Event &event : events)
        verifyFile(event, event.triggerRow + Post * 100 - 1, Pre);
    QTRY_COMPARE(f_->readFile(QStringLiteral("Vorsa.txt")).count("\r\n"), 2);
    const QStringList summaries = RecordFiles::crlfLines(f_->readFile(QStringLiteral("Vorsa.txt")));
    const auto start = [](const QString &summary) {
        return QDateTime::fromString(summary.left(19), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    };
    QCOMPARE(start(summaries[0]).secsTo(start(summaries[1])), 25);
    QVERIFY(QFileInfo(events[1].path)
                .fileName()
                .startsWith(start(summaries[1]).toString(QStringLiteral("yyMMddHHmmss"))));
}

QTEST_GUILESS_MAIN(TestEventFileDevsim)
#include "tst_eventfile_devsim.moc"
