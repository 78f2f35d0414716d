#include "DeviceRig.h"

#include <QSignalSpy>
#include <QTest>

using Handler = void (DeviceSettings::*)();
Q_DECLARE_METATYPE(Handler)

class TestDeviceSettings : public QObject
{
    Q_OBJECT
private slots:
    void openingCopiesLiveTextInOrder();
    void openingDecodesTheOptionWord_data();
    void openingDecodesTheOptionWord();
    void openingFollowsTheNtpState_data();
    void openingFollowsTheNtpState();
    void openingWritesNothing();

    void settingsWriteOnSerial_data();
    void settingsWriteOnSerial();
    void settingsWriteValues();
    void settingsWriteRefusesWrongValues_data();
    void settingsWriteRefusesWrongValues();
    void settingsWriteOnTcp();
    void settingsWriteStopsWithoutLink();
    void secondCommandRefusedWhileOneRuns();

    void singleCommands_data();
    void singleCommands();
    void alarmOnFrame();
    void firmwareUpdateNeedsConfirmation();
    void calibrationModify();
    void scaleOptionsExcludeEachOther_data();
    void scaleOptionsExcludeEachOther();
    void clockBoxEnablesTheButton();

    void triggerModeAndThresholds_data();
    void triggerModeAndThresholds();
    void firmwareVersion_data();
    void firmwareVersion();
    void firmwareFeaturesStayOnAfterDowngrade();
};

namespace
{

// Live fields from a script such as "63=133 61=80.0", each told to the page as it changes.
void mirror(DeviceRig &r, const QString &script)
{
    for (const QString &assignment : script.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const int field = assignment.section(QLatin1Char('='), 0, 0).toInt();
        r.setField(field, assignment.section(QLatin1Char('='), 1));
        r.settings.mirrorLiveField(field);
    }
}

// A page whose every field holds a value the device can take.
void fillValidPage(DeviceRig &r)
{
    for (int i = 114; i <= 124; ++i)
        r.setField(i, QStringLiteral("1"));
    for (int i = 160; i <= 170; ++i)
        r.setField(i, QStringLiteral("0.01"));
    for (int i : {197, 199, 200, 212, 213, 231, 236, 238, 249})
        r.setField(i, QStringLiteral("1"));
    r.page.pgaWarningBox.setText(QStringLiteral("80"));
    r.page.pgaWatchBox.setText(QStringLiteral("25"));
}

QList<int> settingsRegisters(bool engineer, bool extras)
{
    QList<int> regs{113, 114, 115, 116, 117, 118, 119, 121, 122, 123, 120,
                    159, 160, 161, 196, 162, 163, 164, 165, 166, 194};
    if (engineer)
        regs << 198 << 199;
    regs << 200;
    if (extras)
        regs << 201 << 202 << 205;
    return regs << 112;
}

QList<int> repeated(int ms, int times)
{
    return QList<int>(times, ms);
}

} // namespace

void TestDeviceSettings::openingCopiesLiveTextInOrder()
{
    DeviceRig r;
    for (int i = 0; i < 100; ++i)
        r.setField(i, QStringLiteral("L%1").arg(i));
    for (int i : {100, 210, 211, 215, 216, 217, 218, 219, 220, 221, 222, 230, 235, 237, 240, 241,
                  242, 243, 248})
        r.setField(i, QStringLiteral("L%1").arg(i));
    QSignalSpy spy(&r.readout.liveFields, &LiveFields::changed);
    r.settings.showDeviceSettings();

    QList<QPair<int, int>> runs{{199, 99}, {200, 100}};
    const auto run = [&runs](int edit, int live, int count) {
        for (int k = 0; k < count; ++k)
            runs << qMakePair(edit + k, live + k);
    };
    run(164, 64, 11);
    run(160, 60, 4);
    run(176, 215, 4);
    run(223, 219, 4);
    run(244, 240, 4);
    run(180, 80, 12);
    run(194, 94, 2);
    run(197, 97, 1);
    run(114, 14, 11);
    run(212, 210, 2);
    run(231, 230, 1);
    run(236, 235, 1);
    run(238, 237, 1);
    run(249, 248, 1);
    QCOMPARE(spy.size(), runs.size());
    for (int k = 0; k < runs.size(); ++k) {
        QCOMPARE(spy[k][0].toInt(), runs[k].first);
        QCOMPARE(r.readout.liveFields.text(runs[k].first),
                 r.readout.liveFields.text(runs[k].second));
    }
}

void TestDeviceSettings::openingDecodesTheOptionWord_data()
{
    QTest::addColumn<QString>("live");
    QTest::addColumn<QStringList>("names"); // the boxes ticked afterwards
    QTest::newRow("not yet read leaves the boxes") << QString("88888") << QStringList{"SCE", "KMA"};
    QTest::newRow("0x8210") << QString("-32240") << QStringList{"NTP", "MMI", "MTC"};
    QTest::newRow("GBT and MMI: the higher stays") << QString("513") << QStringList{"MMI"};
    QTest::newRow("GBT, MMI and KMA") << QString("1537") << QStringList{"KMA"};
    QTest::newRow("-32767") << QString("-32767") << QStringList{"GBT", "MTC"};
}

void TestDeviceSettings::openingDecodesTheOptionWord()
{
    QFETCH(QString, live);
    QFETCH(QStringList, names);
    DeviceRig r;
    OptionBoxes &f = r.page.options;
    const QMap<QString, Control *> boxes{{"GBT", &f.gbtScale},
                                         {"gas", &f.gasMode},
                                         {"VBI", &f.vectorIntensity},
                                         {"SCE", &f.server0},
                                         {"NTP", &f.ntp},
                                         {"eew", &f.dhcp},
                                         {"SCE2", &f.server1},
                                         {"srv", &f.serviceDisabled},
                                         {"RVD", &f.displayLink},
                                         {"MMI", &f.mmiScale},
                                         {"KMA", &f.kmaScale},
                                         {"MTC", &f.modbusTcpClient}};
    f.server0.setChecked(true);
    f.kmaScale.setChecked(true);
    r.setField(Field::OptionWord, live);
    r.settings.showDeviceSettings();
    QStringList ticked;
    for (auto it = boxes.cbegin(); it != boxes.cend(); ++it)
        if (it.value()->isChecked())
            ticked << it.key();
    names.sort();
    QCOMPARE(ticked, names);
}

void TestDeviceSettings::openingFollowsTheNtpState_data()
{
    QTest::addColumn<QString>("ntp");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<QString>("caption");
    QTest::newRow("NTP") << QString("Yes") << false << QString("NTP");
    QTest::newRow("no NTP") << QString("No") << true << QString("adjustment");
    QTest::newRow("not read") << QString("88888") << true << QString("adjustment");
}

void TestDeviceSettings::openingFollowsTheNtpState()
{
    QFETCH(QString, ntp);
    QFETCH(bool, enabled);
    QFETCH(QString, caption);
    DeviceRig r;
    r.page.adjustClockButton.setEnabled(!enabled);
    r.setField(Field::NtpStatus, ntp);
    r.settings.showDeviceSettings();
    QCOMPARE(r.page.adjustClockButton.isEnabled(), enabled);
    QCOMPARE(r.page.adjustClockButton.text(), caption);
}

void TestDeviceSettings::openingWritesNothing()
{
    DeviceRig r;
    r.settings.showDeviceSettings();
    QVERIFY(r.links.serialWrites.isEmpty());
    QVERIFY(r.prompter.asked.isEmpty());
}

void TestDeviceSettings::settingsWriteOnSerial_data()
{
    QTest::addColumn<Handler>("write");
    QTest::addColumn<int>("userMode");
    QTest::addColumn<bool>("extrasRead");
    QTest::addColumn<QList<int>>("registers");
    QTest::addColumn<int>("serialPauses");
    QTest::newRow("system page, 26 frames") << &DeviceSettings::writeSystemSettings << 0 << true
                                            << settingsRegisters(false, true) << 25;
    QTest::newRow("system page, extras not read: 23 frames")
        << &DeviceSettings::writeSystemSettings << 0 << false << settingsRegisters(false, false)
        << 25;
    QTest::newRow("general page leaves the extras out")
        << &DeviceSettings::writeGeneralSettings << 0 << true << settingsRegisters(false, false)
        << 22;
    QTest::newRow("engineer adds firmware and serial number")
        << &DeviceSettings::writeSystemSettings << 1 << true << settingsRegisters(true, true) << 27;
}

void TestDeviceSettings::settingsWriteOnSerial()
{
    QFETCH(Handler, write);
    QFETCH(int, userMode);
    QFETCH(bool, extrasRead);
    QFETCH(QList<int>, registers);
    QFETCH(int, serialPauses);
    DeviceRig r;
    fillValidPage(r);
    r.settings.setUserMode(userMode);
    if (!extrasRead) {
        for (int i : {236, 238, 249})
            r.setField(i, QStringLiteral("88888"));
    }
    (r.settings.*write)();
    QCOMPARE(RegisterWrites::registers(r.serialWrites()), registers);
    QCOMPARE(r.serialWrites().last(), RegisterWrite(112, 2));
    QCOMPARE(r.waiter.pauses, QList<int>{300} + repeated(60, serialPauses) + repeated(60, 41));
    QVERIFY(!r.poll.commandInProgress);
    QVERIFY(r.prompter.told.isEmpty());
}

void TestDeviceSettings::settingsWriteValues()
{
    DeviceRig r;
    fillValidPage(r);
    r.settings.setUserMode(1);
    r.setField(Setting::TimeZone.edit,
               QStringLiteral("-1")); // a negative travels as its 16-bit pattern
    r.setField(Setting::StaLength.edit, QStringLiteral("2.5")); // halves go to the even neighbour
    r.setField(Setting::LtaLength.edit, QStringLiteral("3.5"));
    r.setField(Setting::StaLtaThreshold.edit, QStringLiteral("abc"));     // no number is 0
    r.setField(Setting::DisplacementWarning.edit, QStringLiteral("0.5")); // Disp_th 0.5 cm
    r.page.pgaWatchBox.setText(QStringLiteral("25"));
    r.page.pgaWarningBox.setText(QStringLiteral("2.5"));
    r.setField(Setting::PdWarning.edit, QStringLiteral("0.0005")); // 0.5 rounds to 0
    r.setField(Setting::WatchDuration.edit, QStringLiteral("3"));
    r.setField(Setting::WarningDuration.edit, QStringLiteral("5"));
    r.setField(Setting::ModbusPort.edit, QStringLiteral("0"));
    r.setField(Setting::FirmwareVersion.edit, QStringLiteral("65535"));
    r.setField(Setting::SerialNumber.edit, QStringLiteral("-32768"));
    r.page.options.modbusTcpClient.setChecked(true);
    r.page.options.gbtScale.setChecked(true);
    r.page.triggerBoxes[1].setChecked(true);
    r.page.triggerBoxes[3].setChecked(true);
    r.page.lowPassFilter[1].setChecked(true);
    r.settings.writeSystemSettings();

    const QList<RegisterWrite> writes = r.serialWrites();
    const auto sent = [&writes](int reg) {
        for (const RegisterWrite &w : writes)
            if (w.first == reg)
                return w.second;
        return -1;
    };
    QCOMPARE(sent(113), 0xFFFF);
    QCOMPARE(sent(114), 2);
    QCOMPARE(sent(115), 4);
    QCOMPARE(sent(116), 0);
    QCOMPARE(sent(117), 0x8001); // option word -32767
    QCOMPARE(sent(120), 418);    // 25 gal x 16.7184 = 417.96
    QCOMPARE(sent(159), 500);
    QCOMPARE(sent(160), 42); // 2.5 x 16.7184 = 41.796
    QCOMPARE(sent(161), 0);
    QCOMPARE(sent(162), 138);
    QCOMPARE(sent(194), 773);
    QCOMPARE(sent(198), 65535);
    QCOMPARE(sent(199), 0x8000);
    QCOMPARE(sent(200), 2);
    QCOMPARE(r.readout.liveFields.text(Setting::OptionWord.edit), QStringLiteral("-32767"));
    QCOMPARE(r.readout.liveFields.text(Setting::TriggerMode.edit), QStringLiteral("138"));
    QCOMPARE(r.readout.liveFields.text(Setting::PgaWatch.edit), QStringLiteral("25"));
    QCOMPARE(r.readout.liveFields.text(Setting::PgaWarning.edit), QStringLiteral("2.5"));
    QCOMPARE(r.readout.liveFields.text(Setting::AlarmDurations.edit), QStringLiteral("773"));
    QCOMPARE(r.readout.liveFields.text(Setting::ModbusPort.edit), QStringLiteral("2"));
}

void TestDeviceSettings::settingsWriteRefusesWrongValues_data()
{
    QTest::addColumn<Handler>("write");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("blamed"); // empty: the value is fine and everything goes out
    const Handler system = &DeviceSettings::writeSystemSettings;
    const Handler general = &DeviceSettings::writeGeneralSettings;
    QTest::newRow("not read in a plain row") << system << 114 << "88888"
                                             << "Time Zone";
    QTest::newRow("not read in a scaled row") << general << 164 << "88888"
                                              << "Pd watch threshold";
    QTest::newRow("threshold in cm") << general << 164 << "99"
                                     << "Pd watch threshold 99 cm is outside 0 to 65.535 cm";
    QTest::newRow("negative threshold") << system << 162 << "-0.5"
                                        << "Pd warning threshold -0.5 cm is outside 0 to 65.535 cm";
    QTest::newRow("above the word") << system << 115 << "65536"
                                    << "STA Length";
    QTest::newRow("top of the word") << system << 115 << "65535"
                                     << "";
    QTest::newRow("below the word") << system << 116 << "-32769"
                                    << "LTA Length";
    QTest::newRow("bottom of the word") << system << 116 << "-32768"
                                        << "";
    QTest::newRow("scaled out of range")
        << system << 160 << "65.6"
        << "Displacement warning threshold 65.6 cm is outside 0 to 65.535 cm";
    QTest::newRow("exponent") << system << 122 << "1e10"
                              << "Offset Records";
    QTest::newRow("watch duration spills") << system << 212 << "256"
                                           << "Watch duration 256 s is outside 0 to 255 s";
    QTest::newRow("negative warning duration") << system << 213 << "-1"
                                               << "Warning duration -1 s";
    QTest::newRow("duration not read") << system << 213 << "88888"
                                       << "Warning duration";
    QTest::newRow("extra out of range") << system << 236 << "70000"
                                        << "eews DO 0 Intensity";
    QTest::newRow("extra ignored by the general page") << general << 236 << "70000"
                                                       << "";
}

void TestDeviceSettings::settingsWriteRefusesWrongValues()
{
    QFETCH(Handler, write);
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, blamed);
    DeviceRig r;
    fillValidPage(r);
    r.setField(field, text);
    (r.settings.*write)();
    if (blamed.isEmpty()) {
        QCOMPARE(r.serialWrites().last(), RegisterWrite(112, 2));
        return;
    }
    QVERIFY(!r.poll.commandInProgress);
    QVERIFY(r.readout.statusLine.text().contains(blamed));
    verifyRefused(r, blamed);
}

void TestDeviceSettings::settingsWriteOnTcp()
{
    DeviceRig r;
    fillValidPage(r);
    r.useTcpClient();
    QList<bool> inProgress;
    r.links.onSend = [&r, &inProgress] {
        inProgress << r.poll.commandInProgress;
        r.poll.awaitingReply = false;
    };
    r.settings.writeSystemSettings();
    QCOMPARE(RegisterWrites::registers(r.clientWrites()), settingsRegisters(false, true));
    QCOMPARE(inProgress, QList<bool>(26, true));
    QVERIFY(!r.poll.commandInProgress);
    QCOMPARE(r.waiter.pauses, QList<int>{300} + repeated(60, 41)); // no serial pauses
    QCOMPARE(r.waiter.timeouts, repeated(RegisterWriter::ReplyTimeoutMs, 26));
}

void TestDeviceSettings::settingsWriteStopsWithoutLink()
{
    DeviceRig r;
    fillValidPage(r);
    r.useTcpClient();
    r.links.clientConnected = false;
    r.links.connectSucceeds = false;
    r.settings.writeSystemSettings();
    QVERIFY(r.links.clientSends.isEmpty());
    QCOMPARE(r.links.reconnects, 1);
    QVERIFY(!r.poll.commandInProgress);
    QVERIFY(r.readout.statusLine.text().contains("no link"));
    QCOMPARE(r.waiter.pauses, QList<int>{300}); // no settling after a write that never went out
}

void TestDeviceSettings::secondCommandRefusedWhileOneRuns()
{
    DeviceRig r;
    fillValidPage(r);
    r.useTcpClient();
    bool nested = false;
    r.links.onSend = [&] {
        if (!nested) {
            nested = true;
            r.settings.switchAlarmOutputsOn(); // pressed while the first write waits
            r.network.commitServerAddresses();
        }
        r.poll.awaitingReply = false;
    };
    r.settings.writeSystemSettings();
    QCOMPARE(RegisterWrites::registers(r.clientWrites()), settingsRegisters(false, true));
    QVERIFY(r.readout.statusLine.text().startsWith("Write: sent"));

    r.settings.switchAlarmOutputsOn(); // once the write is over, the command goes out
    QCOMPARE(r.clientWrites().last(), RegisterWrite(118, 3));
}

void TestDeviceSettings::singleCommands_data()
{
    QTest::addColumn<Handler>("command");
    QTest::addColumn<RegisterWrite>("write");
    QTest::addColumn<QList<int>>("pauses");
    QTest::newRow("Alarm ON") << &DeviceSettings::switchAlarmOutputsOn << RegisterWrite(118, 3)
                              << QList<int>{60};
    QTest::newRow("Alarm OFF") << &DeviceSettings::switchAlarmOutputsOff << RegisterWrite(118, 0)
                               << QList<int>{60};
    QTest::newRow("calibration Write")
        << &DeviceSettings::commitSettings << RegisterWrite(112, 2) << QList<int>{300};
    QTest::newRow("Default") << &DeviceSettings::loadFactoryDefaults << RegisterWrite(112, 5377)
                             << QList<int>{300};
    QTest::newRow("Save as default")
        << &DeviceSettings::saveAsDefaults << RegisterWrite(112, 5378) << QList<int>{300};
    QTest::newRow("firmware update")
        << &DeviceSettings::startFirmwareUpdate << RegisterWrite(112, 384) << QList<int>{300};
}

void TestDeviceSettings::singleCommands()
{
    QFETCH(Handler, command);
    QFETCH(RegisterWrite, write);
    QFETCH(QList<int>, pauses);
    DeviceRig r;
    r.prompter.yesNoAnswers << true;
    (r.settings.*command)();
    QCOMPARE(r.serialWrites(), QList<RegisterWrite>{write});
    QCOMPARE(r.waiter.pauses, pauses);
    QVERIFY(!r.poll.commandInProgress);

    DeviceRig tcp;
    tcp.useTcpClient();
    tcp.prompter.yesNoAnswers << true;
    (tcp.settings.*command)();
    QCOMPARE(tcp.clientWrites(), QList<RegisterWrite>{write});
    QCOMPARE(tcp.waiter.pauses, pauses.mid(0, pauses.first() == 300 ? 1 : 0));
}

void TestDeviceSettings::alarmOnFrame()
{
    DeviceRig r;
    r.poll.unitAddress = 1;
    r.settings.switchAlarmOutputsOn();
    QCOMPARE(r.links.serialWrites, QList<QByteArray>{QByteArray::fromHex("0106007600032811")});
}

void TestDeviceSettings::firmwareUpdateNeedsConfirmation()
{
    DeviceRig r;
    r.prompter.yesNoAnswers << false;
    r.settings.startFirmwareUpdate();
    QCOMPARE(r.prompter.asked.size(), 1);
    QVERIFY(r.links.serialWrites.isEmpty());
    QVERIFY(r.waiter.pauses.isEmpty());
    QVERIFY(!r.poll.commandInProgress);
}

void TestDeviceSettings::calibrationModify()
{
    DeviceRig r;
    r.setField(Setting::CalibrationFactors[0].edit, QStringLiteral("1000"));
    r.setField(Setting::CalibrationFactors[1].edit, QStringLiteral("1001.5"));
    r.setField(Setting::CalibrationFactors[2].edit, QStringLiteral("998"));
    r.settings.stageCalibration();
    QCOMPARE(r.serialWrites(), (QList<RegisterWrite>{{167, 1000}, {168, 1002}, {169, 998}}));
    QCOMPARE(r.waiter.pauses, (QList<int>{300, 60, 60, 60}));

    DeviceRig unread;
    unread.setField(Setting::CalibrationFactors[0].edit, QStringLiteral("1000"));
    unread.setField(Setting::CalibrationFactors[1].edit, QStringLiteral("1000"));
    unread.settings.stageCalibration(); // field 170 still "88888"
    QVERIFY(unread.links.serialWrites.isEmpty());
    QVERIFY(unread.prompter.told.value(0).contains("c-axis Cal. Factor"));
}

void TestDeviceSettings::scaleOptionsExcludeEachOther_data()
{
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("second");
    // 0 GBT, 1 MMI, 2 KMA
    QTest::newRow("KMA unticks GBT") << 0 << 2;
    QTest::newRow("GBT unticks MMI") << 1 << 0;
    QTest::newRow("MMI unticks KMA") << 2 << 1;
}

void TestDeviceSettings::scaleOptionsExcludeEachOther()
{
    QFETCH(int, first);
    QFETCH(int, second);
    DeviceRig r;
    const QList<Control *> scales{&r.page.options.gbtScale, &r.page.options.mmiScale,
                                  &r.page.options.kmaScale};
    r.page.options.gasMode.setChecked(true);
    scales[first]->setChecked(true);
    scales[second]->setChecked(true);
    for (int k = 0; k < 3; ++k)
        QCOMPARE(scales[k]->isChecked(), k == second);
    QVERIFY(r.page.options.gasMode.isChecked()); // other options are not scales

    scales[second]->setChecked(false); // unticking touches nothing else
    for (Control *box : scales)
        QVERIFY(!box->isChecked());
}

void TestDeviceSettings::clockBoxEnablesTheButton()
{
    DeviceRig r;
    r.page.clockAdjustedByPc.setChecked(true);
    QVERIFY(r.page.adjustClockButton.isEnabled());
    r.page.clockAdjustedByPc.setChecked(false);
    QVERIFY(!r.page.adjustClockButton.isEnabled());
}

void TestDeviceSettings::triggerModeAndThresholds_data()
{
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QString>("triggers"); // trigger boxes 0..3 as 0/1
    QTest::addColumn<bool>("filter20Hz");
    QTest::addColumn<QString>("warning"); // the PGA warning box
    QTest::addColumn<QString>("watch");   // the PGA watch box
    QTest::newRow("133, thresholds 80.0 and 2.5") << "63=133 61=80.0 21=2.5"
                                                  << "1010" << true << "80"
                                                  << "2.5";
    QTest::newRow("10, thresholds 400.0 and 0.8") << "63=10 61=400.0 21=0.8"
                                                  << "0101" << false << "400"
                                                  << "0.8";
    QTest::newRow("20 Hz then 10 Hz") << "63=128 63=15"
                                      << "1111" << false << "Combo1"
                                      << "Combo1";
}

void TestDeviceSettings::triggerModeAndThresholds()
{
    QFETCH(QString, fields);
    QFETCH(QString, triggers);
    QFETCH(bool, filter20Hz);
    QFETCH(QString, warning);
    QFETCH(QString, watch);
    DeviceRig r;
    DevicePageControls &page = r.page;
    mirror(r, fields);
    QString checked;
    for (const Control &box : page.triggerBoxes)
        checked += box.isChecked() ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(checked, triggers);
    QCOMPARE(page.lowPassFilter[0].isChecked(), !filter20Hz);
    QCOMPARE(page.lowPassFilter[1].isChecked(), filter20Hz);
    QCOMPARE(page.pgaWarningBox.text(), warning);
    QCOMPARE(page.pgaWatchBox.text(), watch);
}

void TestDeviceSettings::firmwareVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<int>("userMode");
    // Features as letters: M and K the MMI and KMA scales, R the display's controls, A the
    // mounting angle, E the eews DO intensities.
    QTest::addColumn<QString>("features");
    QTest::newRow("2026 general") << "2026" << 0 << "";
    QTest::newRow("2026 engineer") << "2026" << 1 << "";
    QTest::newRow("2027") << "2027" << 1 << "";
    QTest::newRow("2076.5") << "2076.5" << 1 << "";
    QTest::newRow("2077 engineer") << "2077" << 1 << "E";
    QTest::newRow("2079 general") << "2079" << 0 << "";
    QTest::newRow("2079 engineer") << "2079" << 1 << "E";
    QTest::newRow("2079 educate") << "2079" << 2 << "";
    QTest::newRow("2079.5 engineer") << "2079.5" << 1 << "RE";
    QTest::newRow("2080 general") << "2080" << 0 << "R";
    QTest::newRow("2080 engineer") << "2080" << 1 << "RE";
    QTest::newRow("2081") << "2081" << 0 << "MR";
    QTest::newRow("2094") << "2094" << 0 << "MR";
    QTest::newRow("2095 general") << "2095" << 0 << "MRA";
    QTest::newRow("2095 engineer") << "2095" << 1 << "MRAE";
    QTest::newRow("2102 engineer") << "2102" << 1 << "MKRAE";
}

void TestDeviceSettings::firmwareVersion()
{
    QFETCH(QString, version);
    QFETCH(int, userMode);
    QFETCH(QString, features);
    DeviceRig r;
    const DevicePageControls &page = r.page;
    r.settings.setUserMode(userMode);
    mirror(r, QStringLiteral("99=") + version);

    const LiveFields &fields = r.readout.liveFields;
    const bool rvd =
        page.options.displayLink.isEnabled() && page.buttons.commitDisplay.isEnabled() &&
        page.buttons.stageDisplay.isEnabled() && fields.isEnabled(Setting::DisplayAddress.edit) &&
        fields.isEnabled(Setting::DisplayAddress.edit + 1) &&
        fields.isEnabled(Setting::DisplayAddress.edit + 2) &&
        fields.isEnabled(Setting::DisplayAddress.edit + 3);
    const bool anyRvd =
        page.options.displayLink.isEnabled() || page.buttons.commitDisplay.isEnabled() ||
        page.buttons.stageDisplay.isEnabled() || fields.isEnabled(Setting::DisplayAddress.edit) ||
        fields.isEnabled(Setting::DisplayAddress.edit + 3);
    QCOMPARE(anyRvd, rvd);
    const bool angle = fields.isVisible(Setting::MountingAngle.live) &&
                       fields.isVisible(Setting::MountingAngle.edit);
    QCOMPARE(fields.isVisible(Setting::MountingAngle.live) ||
                 fields.isVisible(Setting::MountingAngle.edit),
             angle);
    const bool eews = fields.isVisible(Setting::Output0Intensity.live) &&
                      fields.isVisible(Setting::Output1Intensity.edit);
    QCOMPARE(fields.isVisible(Setting::Output0Intensity.live) ||
                 fields.isVisible(Setting::Output1Intensity.edit),
             eews);

    QString got;
    for (const auto &[letter, on] : {std::pair{'M', page.options.mmiScale.isEnabled()},
                                     {'K', page.options.kmaScale.isEnabled()},
                                     {'R', rvd},
                                     {'A', angle},
                                     {'E', eews}}) {
        if (on)
            got += QLatin1Char(letter);
    }
    QCOMPARE(got, features);
}

void TestDeviceSettings::firmwareFeaturesStayOnAfterDowngrade()
{
    DeviceRig r;
    mirror(r, QStringLiteral("99=2102 99=2000"));
    QVERIFY(r.page.options.kmaScale.isEnabled() && r.page.options.displayLink.isEnabled() &&
            r.readout.liveFields.isVisible(Setting::MountingAngle.live));
}

QTEST_GUILESS_MAIN(TestDeviceSettings)
#include "tst_devicesettings.moc"
