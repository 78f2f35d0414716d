#include "device/DevicePageControls.h"
#include "device/OptionWords.h"

#include <QTest>

class TestOptionWords : public QObject
{
    Q_OBJECT
private slots:
    void optionWordComposition_data();
    void optionWordComposition();
    void optionWordDecoding_data();
    void optionWordDecoding();
    void everyOptionPatternSurvivesTheRoundTrip();
    void triggerWordComposition_data();
    void triggerWordComposition();
};

namespace
{

QList<Control *> optionBoxes(OptionBoxes &f)
{
    return {&f.gbtScale,    &f.gasMode,  &f.vectorIntensity, &f.server0,
            &f.ntp,         &f.dhcp,     &f.server1,         &f.serviceDisabled,
            &f.displayLink, &f.mmiScale, &f.kmaScale,        &f.modbusTcpClient};
}

const QStringList OptionNames = {"GBT",  "gas", "VBI", "SCE", "NTP", "eew",
                                 "SCE2", "srv", "RVD", "MMI", "KMA", "MTC"};

void tickOptions(OptionBoxes &f, const QStringList &names)
{
    const QList<Control *> boxes = optionBoxes(f);
    for (const QString &name : names)
        boxes[OptionNames.indexOf(name)]->setChecked(true);
}

QStringList tickedOptions(OptionBoxes &f)
{
    QStringList ticked;
    const QList<Control *> boxes = optionBoxes(f);
    for (int k = 0; k < boxes.size(); ++k)
        if (boxes[k]->isChecked())
            ticked << OptionNames[k];
    return ticked;
}

} // namespace

void TestOptionWords::optionWordComposition_data()
{
    QTest::addColumn<QStringList>("ticked");
    QTest::addColumn<qint64>("word");
    QTest::newRow("none") << QStringList{} << qint64(0);
    QTest::newRow("Modbus TCP Client + GBT") << QStringList{"MTC", "GBT"} << qint64(-32767);
    QTest::newRow("Modbus TCP Client alone") << QStringList{"MTC"} << qint64(-32768);
    QTest::newRow("NTP + RVD-K09") << QStringList{"NTP", "RVD"} << qint64(16 + 256);
    QTest::newRow("all below the sign") << OptionNames.mid(0, 11) << qint64(2047);
    QTest::newRow("all") << OptionNames << qint64(2047 - 32768);
}

void TestOptionWords::optionWordComposition()
{
    QFETCH(QStringList, ticked);
    QFETCH(qint64, word);
    OptionBoxes readout;
    tickOptions(readout, ticked);
    QCOMPARE(OptionWords::composeOptionWord(readout), word);
}

void TestOptionWords::optionWordDecoding_data()
{
    QTest::addColumn<qint64>("word");
    QTest::addColumn<QStringList>("ticked");
    QTest::newRow("-32767") << qint64(-32767) << QStringList{"GBT", "MTC"};
    QTest::newRow("0x8210 signed") << qint64(-32768 + 512 + 16) << QStringList{"NTP", "MMI", "MTC"};
    QTest::newRow("0x8210 unsigned") << qint64(0x8210) << QStringList{"NTP", "MMI", "MTC"};
    QTest::newRow("bits 11-14 ignored") << qint64(0x7800 | 2) << QStringList{"gas"};
    QTest::newRow("zero clears") << qint64(0) << QStringList{};
}

void TestOptionWords::optionWordDecoding()
{
    QFETCH(qint64, word);
    QFETCH(QStringList, ticked);
    OptionBoxes readout;
    tickOptions(readout, {"VBI", "SCE2", "KMA"}); // stale ticks the word must clear
    OptionWords::decodeOptionWord(readout, word);
    QCOMPARE(tickedOptions(readout), ticked);
}

void TestOptionWords::everyOptionPatternSurvivesTheRoundTrip()
{
    OptionBoxes readout;
    for (int pattern = 0; pattern <= 0xFFFF; ++pattern) {
        OptionWords::decodeOptionWord(readout, pattern);
        const qint64 expected = qint16(quint16(pattern & 0x87FF)); // bits 11-14 are never sent
        if (OptionWords::composeOptionWord(readout) != expected)
            QFAIL(qPrintable(QStringLiteral("pattern %1 composes to %2")
                                 .arg(pattern, 4, 16, QLatin1Char('0'))
                                 .arg(OptionWords::composeOptionWord(readout))));
    }
}

void TestOptionWords::triggerWordComposition_data()
{
    QTest::addColumn<QList<int>>("triggers");
    QTest::addColumn<bool>("twentyHz");
    QTest::addColumn<qint64>("word");
    QTest::newRow("Pd + Sta/Lta, 20 Hz") << QList<int>{1, 3} << true << qint64(138);
    QTest::newRow("all, 10 Hz") << QList<int>{0, 1, 2, 3} << false << qint64(15);
    QTest::newRow("none, 20 Hz") << QList<int>{} << true << qint64(128);
    QTest::newRow("Displacement, 10 Hz") << QList<int>{0} << false << qint64(1);
}

void TestOptionWords::triggerWordComposition()
{
    QFETCH(QList<int>, triggers);
    QFETCH(bool, twentyHz);
    QFETCH(qint64, word);
    DevicePageControls readout;
    for (int k : triggers)
        readout.triggerBoxes[k].setChecked(true);
    readout.lowPassFilter[0].setChecked(!twentyHz);
    readout.lowPassFilter[1].setChecked(twentyHz);
    QCOMPARE(OptionWords::composeTriggerWord(readout), word);
}

QTEST_GUILESS_MAIN(TestOptionWords)
#include "tst_optionwords.moc"
