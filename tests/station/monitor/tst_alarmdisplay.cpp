#include "FieldScript.h"
#include "MonitorRig.h"
#include "common/FieldNumbers.h"

#include <QTest>

namespace
{
const QString Now = QStringLiteral("2026/12/07 10:00:00");
const QString Hidden = QStringLiteral("-");
} // namespace

class TestAlarmDisplay : public QObject
{
    Q_OBJECT
private slots:
    void responses_data();
    void responses();
    void watchLatchClearedWhenTriggerEnds();
    void lastCaptionOfAResponseStays();
    void lamps_data();
    void lamps();
    void intensityAndScale_data();
    void intensityAndScale();
};

// Each response writes its fields, then runs the alarm evaluation and the intensity display
// as the decoders do. `shown` is the caption after each response, "-" while it is hidden;
// `logged` the number of log lines so far.
void TestAlarmDisplay::responses_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("lampGate");
    QTest::addColumn<QStringList>("responses");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QList<int>>("logged");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("trigger gate, displacement Watch 1.0: 0.4, 1.3, 1.1")
        << "97=1.0 59=0 11=1" << false << QStringList{"59=0.4", "59=1.3", "59=1.1"}
        << QStringList{Hidden, "Displacement Watch 1.3 cm", "Displacement Watch 1.3 cm"}
        << QList<int>{1, 2, 2} << QStringList{"Displacement trig", "Displacement Watch 1.3 cm"};

    QTest::newRow("lamp gate: Pd Watch only while DO 0 was lit")
        << "63=2 64=0.3 37=0.5" << true << QStringList{"19=1", "", "19=0", "", "37=0.6"}
        << QStringList{Hidden, "P Watch Pd 0.5 cm", "P Watch Pd 0.5 cm", Hidden, Hidden}
        << QList<int>{0, 1, 1, 1, 1} << QStringList{"P Watch Pd 0.5 cm"};

    QTest::newRow("lamp gate: DO 0 lit but Pd trigger not enabled")
        << "63=1 97=1.0 59=0.5 64=0.3 37=0.5" << true << QStringList{"19=1", ""}
        << QStringList{Hidden, Hidden} << QList<int>{0, 0} << QStringList{};

    QTest::newRow("displacement Warning 2.0 logged below 0.8 of the peak")
        << "60=2.0 59=0 11=1" << false
        << QStringList{"59=2.0", "59=1.7", "59=1.6", "59=1.59", "59=0.5"}
        << QStringList{"Displacement Warning 2 cm", "Displacement Warning 2 cm",
                       "Displacement Warning 2 cm", "Displacement Warning 2 cm",
                       "Displacement Warning 2 cm"}
        << QList<int>{1, 1, 1, 2, 2}
        << QStringList{"Displacement trig", "Displacement Warning 2 cm"};

    QTest::newRow("Pd Warning logged only at 0")
        << "62=0.5 37=0 11=2" << false << QStringList{"37=0.6", "37=0.3", "37=0.001", "37=0"}
        << QStringList{"P Warning Pd 0.6 cm", "P Warning Pd 0.6 cm", "P Warning Pd 0.6 cm",
                       "P Warning Pd 0.6 cm"}
        << QList<int>{1, 1, 1, 2} << QStringList{"Pd trig", "P Warning Pd 0.6 cm"};

    QTest::newRow("PGA Warning 80 on the b-axis: 60.0, 95.5, 120.0, 110.0")
        << "61=80.0 35=2 96=0.0 11=4" << false
        << QStringList{"96=60.0", "96=95.5", "96=120.0", "96=110.0"}
        << QStringList{Hidden, "PGA Warning 95.5gal b-axis", "PGA Warning 120gal b-axis",
                       "PGA Warning 120gal b-axis"}
        << QList<int>{1, 1, 1, 2} << QStringList{"Pga trig", "PGA Warning 120gal b-axis"};

    QTest::newRow("PGA Watch units by axis")
        << "21=25.0 96=0.0 11=4" << false
        << QStringList{"35=0 96=30.5", "96=0 11=0", "35=1 96=31 11=4", "96=0 11=0",
                       "35=3 96=40 11=4"}
        << QStringList{"PGA Watch 30.5gal", Hidden, "PGA Watch 31gal a-axis", Hidden,
                       "PGA Watch 40gal c-axis"}
        // The second event's end brings the first one's summary, which had not come yet.
        << QList<int>{2, 3, 5, 7, 9}
        << QStringList{"Pga trig",
                       "PGA Watch 30.5gal",
                       "PGA End",
                       "Pga trig",
                       "PGA Watch 31gal a-axis",
                       "PGA End",
                       "Max Intensity---88888",
                       "Pga trig",
                       "PGA Watch 40gal c-axis"};

    QTest::newRow("PGA Watch on axis 5 shows and logs the previous caption")
        << "39=32 21=25.0 35=5 96=0.0 11=4" << false << QStringList{"96=30"}
        << QStringList{"P Wave"} << QList<int>{3} << QStringList{"P Wave", "Pga trig", "P Wave"};

    QTest::newRow("Warning after Watch: the later block's caption stays")
        << "97=1.0 60=1.2 59=0 11=1" << false << QStringList{"59=1.5", "59=1.1"}
        << QStringList{"Displacement Warning 1.5 cm", "Displacement Warning 1.5 cm"}
        << QList<int>{2, 3}
        << QStringList{"Displacement trig", "Displacement Watch 1.5 cm",
                       "Displacement Warning 1.5 cm"};
}

void TestAlarmDisplay::responses()
{
    QFETCH(QString, setup);
    QFETCH(bool, lampGate);
    QFETCH(QStringList, responses);
    QFETCH(QStringList, shown);
    QFETCH(QList<int>, logged);
    QFETCH(QStringList, log);
    MonitorRig f;
    writeFields(f.fields(), setup);
    for (int r = 0; r < responses.size(); ++r) {
        writeFields(f.fields(), responses[r]);
        f.display.evaluateAlarms(lampGate ? AlarmGate::Lamp : AlarmGate::Trigger);
        f.display.updateIntensityDisplay();
        const QString caption = f.panel.caption.isVisible() ? f.panel.caption.text() : Hidden;
        const auto lines = f.logLines().size();
        QVERIFY2(
            caption == shown[r] && lines == logged[r],
            qPrintable(QStringLiteral("response %1: %2, %3 lines").arg(r).arg(caption).arg(lines)));
    }
    QCOMPARE(f.logLines(), expectedLog(Now, log));
}

void TestAlarmDisplay::watchLatchClearedWhenTriggerEnds()
{
    MonitorRig f;
    writeFields(f.fields(), "97=1.0 59=0 11=1 59=1.3");
    const bool &watchShown = f.events.alarm(AlarmKind::Displacement).watchShown;
    f.display.evaluateAlarms(AlarmGate::Trigger);
    QVERIFY(watchShown);
    f.fields().setText(Field::EventFlags, QStringLiteral("0"));
    QVERIFY(watchShown);
    f.display.evaluateAlarms(AlarmGate::Trigger);
    QVERIFY(!watchShown);
    QVERIFY(!f.panel.caption.isVisible());
    // A new trigger starts from the seeded peak and shows the Watch again.
    writeFields(f.fields(), "59=1.2 11=1");
    f.display.evaluateAlarms(AlarmGate::Trigger);
    QCOMPARE(f.panel.caption.text(), QStringLiteral("Displacement Watch 1.2 cm"));
}

void TestAlarmDisplay::lastCaptionOfAResponseStays()
{
    // Pd Watch is written first, then the PGA Watch of the same response replaces it.
    MonitorRig f;
    writeFields(f.fields(), "64=0.1 21=25.0 35=0 37=0.2 96=30.0 11=6");
    f.display.evaluateAlarms(AlarmGate::Trigger);
    QCOMPARE(f.panel.caption.text(), QStringLiteral("PGA Watch 30gal"));
    QCOMPARE(f.logLines(),
             expectedLog(Now, {"Pd trig", "Pga trig", "P Watch Pd 0.2 cm", "PGA Watch 30gal"}));
}

void TestAlarmDisplay::lamps_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("lamps"); // per lamp 0..15: R red, G green, . off
    QTest::newRow("257: DO 0 and DI 0") << "257"
                                        << "R.......G.......";
    QTest::newRow("0") << "0"
                       << "................";
    QTest::newRow("65535") << "65535"
                           << "RRRRRRRRGGGGGGGG";
    QTest::newRow("negative word with DI 7 set") << "-32767"
                                                 << "R..............G";
    QTest::newRow("not yet read") << "88888"
                                  << "...RRR..GG.GG.G.";
}

void TestAlarmDisplay::lamps()
{
    QFETCH(QString, word);
    QFETCH(QString, lamps);
    MonitorRig f;
    f.fields().setText(Field::DigitalIo, QStringLiteral("1"));
    f.display.updateIntensityDisplay();
    f.fields().setText(Field::DigitalIo, word);
    f.display.updateIntensityDisplay();
    QString got;
    for (const Control &lamp : f.panel.ioLamps) {
        const QColor c = lamp.backColor();
        got += c == QColor(255, 0, 0)       ? 'R'
               : c == QColor(0, 255, 0)     ? 'G'
               : c == AlarmDisplay::LampOff ? '.'
                                            : '?';
    }
    QCOMPARE(got, lamps);
}

void TestAlarmDisplay::intensityAndScale_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("intensity");
    QTest::addColumn<QString>("mode");
    QTest::newRow("GB/T and MMI bits") << "18=513 10=4"
                                       << "4"
                                       << "GB/T mode";
    QTest::newRow("MMI only") << "18=512 10=12"
                              << "12"
                              << "TW mode";
    QTest::newRow("GB/T only") << "18=1 10=0"
                               << "0"
                               << "GB/T mode";
    QTest::newRow("text kept as it is") << "18=abc 10=abc"
                                        << "abc"
                                        << "TW mode";
}

void TestAlarmDisplay::intensityAndScale()
{
    QFETCH(QString, fields);
    QFETCH(QString, intensity);
    QFETCH(QString, mode);
    MonitorRig f;
    writeFields(f.fields(), fields);
    f.display.updateIntensityDisplay();
    QCOMPARE(f.panel.intensity.text(), intensity);
    QCOMPARE(f.panel.scaleName.text(), mode);
}

QTEST_GUILESS_MAIN(TestAlarmDisplay)
#include "tst_alarmdisplay.moc"
