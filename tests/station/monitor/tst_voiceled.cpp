#include "MonitorRig.h"
#include "PtyPair.h"
#include "StationFixture.h"
#include "common/FieldNumbers.h"
#include "monitor/LedPort.h"
#include "monitor/VoiceLed.h"

#include <QFile>
#include <QSerialPort>
#include <QTest>
#include <functional>

namespace
{

// Records every step of a transmission; "write" carries the bytes in hex.
class RecordingLedPort : public LedPort
{
public:
    bool open(const QString &portName) override
    {
        steps << QStringLiteral("open ") + portName;
        return opens;
    }
    void discardInput() override { steps << QStringLiteral("discard input"); }
    void write(const QByteArray &bytes) override
    {
        steps << QStringLiteral("write");
        messages << bytes;
    }
    void discardReceived() override { steps << QStringLiteral("discard received"); }
    void close() override { steps << QStringLiteral("close"); }

    bool opens = true;
    QStringList steps;
    QList<QByteArray> messages;
};

// A station with the voice and the sign on a recording port, LED sign on COM3.
struct VoiceRig {
    VoiceRig()
    {
        voice.setLedPort(3);
        voice.setVoiceOn(true);
        std::array<QString, VoiceLed::VoiceCount> files;
        for (size_t k = 0; k < files.size(); ++k)
            files[k] = QStringLiteral("/sounds/%1.wav").arg(k);
        voice.setVoiceFiles(files);
    }
    Readout &readout() { return f.readout; }
    void startEvent() { readout().liveFields.setText(Field::EventFlags, QStringLiteral("2")); }

    MonitorRig f;
    FakeWaiter waiter;
    RecordingSound sound;
    RecordingLedPort port;
    VoiceLed voice{f.readout.liveFields, f.events, f.folder, f.clock, waiter, sound, port};
};

// Runs `duringPause` inside the first pause, as a timer tick would inside the real wait.
class TickingWaiter : public Waiter
{
public:
    void pause(int ms) override
    {
        pauses << ms;
        if (auto tick = std::exchange(duringPause, nullptr))
            tick();
    }
    bool waitWhile(const std::function<bool()> &, int, int) override { return true; }

    std::function<void()> duringPause;
    QList<int> pauses;
};

const QByteArray TextHead = QByteArray::fromHex("FF807F010001FF07F8000520B56FA5CDA661BE5F20");
const QByteArray Level = QByteArray::fromHex("AFC5");
const QByteArray TextTail = QByteArray::fromHex("67616C20202020202020202020000000");

} // namespace

class TestVoiceLed : public QObject
{
    Q_OBJECT
private slots:
    void ledMessage_data();
    void ledMessage();
    void oneMessageOpensAndClosesThePort();
    void messageDueDuringAPauseFollows();
    void clockMessage_data();
    void clockMessage();
    void noSignConfigured();
    void voiceTick_data();
    void voiceTick();
    void changedIntensityIsToldAtOnce();
    void selfTest_data();
    void selfTest();
    void eventEndingBetweenTicks();
    void bytesLeaveThroughASerialPort();
};

void TestVoiceLed::ledMessage_data()
{
    QTest::addColumn<QString>("intensity"); // field 10
    QTest::addColumn<QString>("vectorMax"); // field 8
    QTest::addColumn<QByteArray>("byte21");
    QTest::addColumn<QByteArray>("value"); // bytes 24..28
    QTest::newRow("4 and 57.3") << "4"
                                << "57.3" << QByteArray("4") << QByteArray(" 57.3");
    QTest::newRow("value 0") << "0"
                             << "0" << QByteArray("0") << QByteArray("  0.0");
    QTest::newRow("intensity 10 shows its first digit")
        << "10"
        << "123.45" << QByteArray("1") << QByteArray("123.5");
    QTest::newRow("empty intensity leaves byte 21 at 0")
        << ""
        << "5" << QByteArray(1, '\0') << QByteArray("  5.0");
    QTest::newRow("1000 gal and more: first five characters")
        << "7"
        << "1234.56" << QByteArray("7") << QByteArray("1234.");
    QTest::newRow("negative maximum") << "1"
                                      << "-0.04" << QByteArray("1") << QByteArray("  0.0");
}

void TestVoiceLed::ledMessage()
{
    QFETCH(QString, intensity);
    QFETCH(QString, vectorMax);
    QFETCH(QByteArray, byte21);
    QFETCH(QByteArray, value);
    VoiceRig rig;
    rig.startEvent();
    rig.readout().liveFields.setText(Field::Intensity, intensity);
    rig.readout().liveFields.setText(Field::VectorMax, vectorMax);
    rig.voice.onVoiceTick();
    QCOMPARE(rig.port.messages.size(), 1);
    const QByteArray expected = TextHead + byte21 + Level + value + TextTail;
    QCOMPARE(expected.size(), VoiceLed::LedMessageSize);
    QCOMPARE(rig.port.messages[0].toHex(' '), expected.toHex(' '));
}

void TestVoiceLed::oneMessageOpensAndClosesThePort()
{
    for (const bool opens : {true, false}) {
        VoiceRig rig;
        rig.port.opens = opens;
        QFile(rig.f.file(QStringLiteral("COM3"))).open(QIODevice::WriteOnly); // COM3's link
        rig.voice.showOnLed(QStringLiteral("4"), QStringLiteral(" 57.3"));
        // A port that fails to open changes nothing: each step runs and fails on its own.
        QCOMPARE(rig.port.steps,
                 (QStringList{"open " + rig.f.file(QStringLiteral("COM3")), "discard input",
                              "write", "discard received", "close"}));
        QCOMPARE(rig.waiter.pauses, QList<int>{100});
    }
}

void TestVoiceLed::messageDueDuringAPauseFollows()
{
    MonitorRig f;
    RecordingLedPort port;
    TickingWaiter waiter;
    RecordingSound sound;
    VoiceLed voice(f.readout.liveFields, f.events, f.folder, f.clock, waiter, sound, port);
    voice.setLedPort(3);
    waiter.duringPause = [&] { voice.setLedClock(); };
    voice.showOnLed(QStringLiteral("4"), QStringLiteral(" 57.3"));
    const QStringList one{"open /dev/ttyS2", "discard input", "write", "discard received", "close"};
    QCOMPARE(port.steps, one + one);
    QCOMPARE(port.messages.size(), 2);
    QCOMPARE(port.messages[0].size(), VoiceLed::LedMessageSize);
    QCOMPARE(port.messages[1].size(), VoiceLed::ClockMessageSize);
    QCOMPARE(waiter.pauses, (QList<int>{100, 100}));
}

void TestVoiceLed::clockMessage_data()
{
    QTest::addColumn<QDateTime>("when");
    QTest::addColumn<QByteArray>("fields"); // bytes 9..24 in hex
    QTest::newRow("Saturday 2024-03-09 07:05:42") << QDateTime(QDate(2024, 3, 9), QTime(7, 5, 42))
                                                  << QByteArray("0204050007000900030004020602000c");
    QTest::newRow("Sunday 2026-12-06 00:00:00") << QDateTime(QDate(2026, 12, 6), QTime(0, 0, 0))
                                                << QByteArray("00000000000006000201060200020003");
    QTest::newRow("Wednesday 2031-12-31 23:59:59")
        << QDateTime(QDate(2031, 12, 31), QTime(23, 59, 59))
        << QByteArray("09050905030201030201010303020003");
}

void TestVoiceLed::clockMessage()
{
    QFETCH(QDateTime, when);
    QFETCH(QByteArray, fields);
    VoiceRig rig;
    rig.f.clock.set(when);
    rig.voice.setLedClock();
    QCOMPARE(rig.port.messages.size(), 1);
    const QByteArray expected = QByteArray::fromHex("FF807F010001FF02FD" + fields + "FFF40B");
    QCOMPARE(expected.size(), VoiceLed::ClockMessageSize);
    QCOMPARE(rig.port.messages[0].toHex(' '), expected.toHex(' '));
}

void TestVoiceLed::noSignConfigured()
{
    VoiceRig rig;
    rig.voice.setLedPort(0);
    rig.readout().liveFields.setText(Field::Intensity, QStringLiteral("4"));
    rig.startEvent();
    rig.voice.setLedClock();
    rig.voice.showOnLed(QStringLiteral("4"), QStringLiteral(" 57.3"));
    rig.voice.onVoiceTick();
    QVERIFY(rig.port.steps.isEmpty());
    QVERIFY(rig.waiter.pauses.isEmpty());
    // The voice does not depend on the sign: told at the event's start and on the tick.
    QCOMPARE(rig.sound.played, (QStringList{"/sounds/4.wav", "/sounds/4.wav"}));
}

void TestVoiceLed::voiceTick_data()
{
    QTest::addColumn<QString>("intensity");
    QTest::addColumn<QStringList>("played");
    QTest::newRow("0: self-test sound") << "0" << QStringList{"/sounds/0.wav"};
    QTest::newRow("4") << "4" << QStringList{"/sounds/4.wav"};
    QTest::newRow("12") << "12" << QStringList{"/sounds/12.wav"};
    QTest::newRow("13") << "13" << QStringList{};
    QTest::newRow("-1") << "-1" << QStringList{};
    QTest::newRow("abc") << "abc" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("number then text") << "4x" << QStringList{};
}

void TestVoiceLed::voiceTick()
{
    QFETCH(QString, intensity);
    QFETCH(QStringList, played);
    VoiceRig rig;
    rig.readout().liveFields.setText(Field::Intensity, intensity);
    rig.startEvent();
    rig.sound.played.clear(); // what the event's start told
    rig.voice.onVoiceTick();
    QCOMPARE(rig.sound.played, played);
    QCOMPARE(rig.port.messages.size(), 1); // the sign is refreshed whatever the voice did

    rig.voice.setVoiceOn(false);
    rig.voice.onVoiceTick();
    QCOMPARE(rig.sound.played, played);
}

void TestVoiceLed::changedIntensityIsToldAtOnce()
{
    VoiceRig rig;
    rig.readout().liveFields.setText(Field::Intensity, QStringLiteral("3")); // no event: nothing
    QVERIFY(rig.sound.played.isEmpty());
    rig.startEvent(); // the level standing when the event starts
    for (const char *level : {"3", "0", "abc", "0", "5"})
        rig.readout().liveFields.setText(Field::Intensity, QString::fromLatin1(level));
    QCOMPARE(rig.sound.played, (QStringList{"/sounds/3.wav", "/sounds/0.wav", "/sounds/5.wav"}));

    rig.voice.setVoiceOn(false);
    rig.readout().liveFields.setText(Field::Intensity, QStringLiteral("6"));
    rig.voice.setVoiceOn(true);
    rig.readout().liveFields.setText(Field::Intensity,
                                     QStringLiteral("6")); // taken while off: not spoken late
    QCOMPARE(rig.sound.played.size(), 3);
    QVERIFY(rig.port.steps.isEmpty());
}

void TestVoiceLed::selfTest_data()
{
    QTest::addColumn<bool>("voice");
    QTest::addColumn<QStringList>("played");
    QTest::newRow("voice enabled") << true << QStringList{"/sounds/0.wav"};
    QTest::newRow("voice disabled") << false << QStringList{};
}

void TestVoiceLed::selfTest()
{
    QFETCH(bool, voice);
    QFETCH(QStringList, played);
    VoiceRig rig;
    rig.voice.setVoiceOn(voice);
    rig.voice.playSelfTest();
    QCOMPARE(rig.sound.played, played);
}

void TestVoiceLed::eventEndingBetweenTicks()
{
    VoiceRig rig;
    rig.readout().liveFields.setText(Field::Intensity, QStringLiteral("4"));
    rig.startEvent();
    QVERIFY(rig.voice.voiceTimer().isActive());
    rig.voice.onVoiceTick();
    QCOMPARE(rig.sound.played.size(), 2); // at the start and on the tick
    QCOMPARE(rig.port.messages.size(), 1);

    rig.readout().liveFields.setText(Field::EventFlags, QStringLiteral("0"));
    QVERIFY(!rig.voice.voiceTimer().isActive());
    rig.voice.onVoiceTick(); // a tick already queued when the event ended
    QCOMPARE(rig.sound.played.size(), 2);
    QCOMPARE(rig.port.messages.size(), 1);
}

void TestVoiceLed::bytesLeaveThroughASerialPort()
{
    PtyPair pty;
    QVERIFY2(pty.isReady(), "socat made no pty pair");
    StationFixture f;
    QVERIFY(QFile::link(pty.firstEnd(), f.file(QStringLiteral("COM7"))));
    QSerialPort sign;
    sign.setPortName(pty.secondEnd());
    QVERIFY2(sign.open(QIODevice::ReadWrite), qPrintable(sign.errorString()));

    f.station->voiceLed().setLedPort(7);
    f.clock.set(QDateTime(QDate(2024, 3, 9), QTime(7, 5, 42)));
    f.station->voiceLed().setLedClock();
    f.station->voiceLed().showOnLed(QStringLiteral("4"), QStringLiteral(" 57.3"));

    QByteArray received;
    const int total = VoiceLed::ClockMessageSize + VoiceLed::LedMessageSize;
    QTRY_VERIFY_WITH_TIMEOUT((received += sign.readAll()).size() >= total, 5000);
    QCOMPARE(received.size(), total);
    QCOMPARE(
        received.left(VoiceLed::ClockMessageSize).toHex(' '),
        QByteArray::fromHex("FF807F010001FF02FD0204050007000900030004020602000CFFF40B").toHex(' '));
    QCOMPARE(received.mid(VoiceLed::ClockMessageSize).toHex(' '),
             (TextHead + "4" + Level + " 57.3" + TextTail).toHex(' '));
}

QTEST_GUILESS_MAIN(TestVoiceLed)
#include "tst_voiceled.moc"
