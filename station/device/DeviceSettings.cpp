#include "DeviceSettings.h"

#include "DeviceCommands.h"
#include "OptionWords.h"
#include "SettingRegisters.h"
#include "WritePlan.h"
#include "common/FieldNumbers.h"
#include "common/NumberText.h"
#include "common/Platform.h"
#include "common/UserMode.h"
#include "common/Waiter.h"
#include "link/ModbusFrames.h"

namespace
{

using namespace Setting;

// The settings a page's opening fills from the device's last values, in this order; the
// option boxes are decoded between the two lists.
constexpr const SettingRegister *CopiedBeforeOptions[] = {
    // the device, the sensor, the NTP server
    &FirmwareVersion, &SerialNumber, &PdWatch, &ZeroPoints[0], &ZeroPoints[1], &ZeroPoints[2],
    &CalibrationFactors[0], &CalibrationFactors[1], &CalibrationFactors[2], &NtpServer,
    // thresholds and addresses
    &DisplacementWarning, &PgaWarning, &PdWarning, &Setting::TriggerMode, &Server0Address,
    &Server1Address, &DisplayAddress, &IpAddress, &SubnetMask, &Gateway, &ModbusAddress,
    &AlarmDurations, &DisplacementWatch,
    // the sensor and trigger parameters
    &TimeZone, &StaLength, &LtaLength, &StaLtaThreshold, &Setting::OptionWord, &SpikeRecords,
    &AlarmTime, &PgaWatch, &OffsetRecords, &Output0Trigger, &Output1Trigger};
constexpr const SettingRegister *CopiedAfterOptions[] = {&WatchDuration,    &WarningDuration,
                                                         &ModbusPort,       &Output0Intensity,
                                                         &Output1Intensity, &MountingAngle};

// The settings write of both pages, in the order it is sent; the durations, the firmware
// rows and the port follow.
constexpr const SettingRegister *WrittenSettings[] = {
    // the sensor and trigger parameters
    &TimeZone, &StaLength, &LtaLength, &StaLtaThreshold, &Setting::OptionWord, &SpikeRecords,
    &AlarmTime, &OffsetRecords, &Output0Trigger, &Output1Trigger,
    // the thresholds and the trigger word
    &PgaWatch, &DisplacementWarning, &PgaWarning, &PdWarning, &DisplacementWatch,
    &Setting::TriggerMode, &PdWatch,
    // the zero points
    &ZeroPoints[0], &ZeroPoints[1], &ZeroPoints[2]};
// Written by the system page only, and only once read from the device.
constexpr const SettingRegister *SystemExtras[] = {&Output0Intensity, &Output1Intensity,
                                                   &MountingAngle};

} // namespace

DeviceSettings::DeviceSettings(LiveFields &fields, DeviceCommands &commands, Waiter &waiter,
                               Prompter &prompter, QObject *parent)
    : QObject(parent), fields_(fields), commands_(commands), waiter_(waiter), prompter_(prompter)
{
    for (Control *scale : intensityScales())
        connect(scale, &Control::checkedChanged, this,
                [this, scale] { excludeOtherScales(*scale); });
    connect(&page_.clockAdjustedByPc, &Control::checkedChanged, this,
            [this] { page_.adjustClockButton.setEnabled(page_.clockAdjustedByPc.isChecked()); });
}

std::array<Control *, 3> DeviceSettings::intensityScales()
{
    return {&page_.options.gbtScale, &page_.options.kmaScale, &page_.options.mmiScale};
}

void DeviceSettings::showDeviceSettings()
{
    copyLiveToEdit();
    const bool ntp = fields_.text(Field::NtpStatus) == QLatin1String("Yes");
    page_.adjustClockButton.setEnabled(!ntp);
    page_.adjustClockButton.setText(ntp ? QStringLiteral("NTP") : QStringLiteral("adjustment"));
    readFromDevice();
}

void DeviceSettings::readFromDevice()
{
    emit readRequested();
}

void DeviceSettings::readStarted(Decoder::SettingsRead how, bool recordMode)
{
    recordRead_ = recordMode;
    switch (how) {
    case Decoder::SettingsRead::NoLink:
        commands_.tell(QStringLiteral("Read: link not open; the page shows what was last read."));
        setReadState(ReadState::NoLink);
        return;
    case Decoder::SettingsRead::FromPoll:
        commands_.tell(QStringLiteral("Reading settings…"));
        break;
    case Decoder::SettingsRead::OneOff:
        commands_.tell(recordMode ? QStringLiteral("Record mode: reading settings…")
                                  : QStringLiteral("Reading settings…"));
        break;
    }
    setReadState(ReadState::Reading);
}

void DeviceSettings::settingsArrived()
{
    if (readState_ != ReadState::Reading)
        return;
    copyLiveToEdit();
    QString told = recordRead_ ? QStringLiteral("Record mode: settings read from the device.")
                               : QStringLiteral("Settings read from the device.");
    if (userMode_ == UserMode::Educate) // the pages only show them then
        told += QStringLiteral(" Educate mode: settings are locked.");
    commands_.tell(told);
    setReadState(ReadState::Read);
}

void DeviceSettings::readUnanswered()
{
    commands_.tell(QStringLiteral("Read: the device did not answer; the page shows what was "
                                  "last read."));
    setReadState(ReadState::Unanswered);
}

void DeviceSettings::setReadState(ReadState state)
{
    readState_ = state;
    emit readStateChanged();
}

void DeviceSettings::copyLiveToEdit()
{
    for (const SettingRegister *setting : CopiedBeforeOptions)
        Setting::copyLiveToEdit(fields_, *setting);
    if (fields_.text(Field::OptionWord) != QLatin1String(LiveFields::NotYetRead))
        OptionWords::decodeOptionWord(page_.options, fields_.integer(Field::OptionWord));
    for (const SettingRegister *setting : CopiedAfterOptions)
        Setting::copyLiveToEdit(fields_, *setting);
}

void DeviceSettings::writeSystemSettings()
{
    writeSettings(true);
}

void DeviceSettings::writeGeneralSettings()
{
    writeSettings(false);
}

void DeviceSettings::writeSettings(bool systemExtras)
{
    if (commands_.isBusy()) {
        commands_.tell(QStringLiteral("Write: not sent, another device command is in progress."));
        return;
    }
    prepareEditFields();
    if (!commands_.run(QStringLiteral("Write"), settingsPlan(systemExtras),
                       DeviceCommands::LeadPauseMs))
        return;
    // The device answers and applies for a while after the commit; keep the window live.
    for (int round = 0; round < SettleRounds; ++round)
        waiter_.pause(DeviceCommands::SerialPauseMs);
}

void DeviceSettings::prepareEditFields()
{
    LiveFields &fields = fields_;
    fields.setText(Setting::OptionWord.edit,
                   QString::number(OptionWords::composeOptionWord(page_.options)));
    fields.setText(Setting::TriggerMode.edit,
                   QString::number(OptionWords::composeTriggerWord(page_)));
    fields.setText(PgaWarning.edit, page_.pgaWarningBox.text());
    fields.setText(PgaWatch.edit, page_.pgaWatchBox.text());
    fields.setText(AlarmDurations.edit,
                   NumberText::doubleText(OptionWords::packBytes(
                       fields.value(WatchDuration.edit), fields.value(WarningDuration.edit))));
    const double port = fields.value(ModbusPort.edit);
    if (port < 1 || port > 2)
        fields.setText(ModbusPort.edit, QStringLiteral("2"));
}

WritePlan DeviceSettings::settingsPlan(bool systemExtras)
{
    const LiveFields &fields = fields_;
    WritePlan plan;
    for (const SettingRegister *setting : WrittenSettings)
        Setting::write(plan, fields, *setting);
    // Each duration takes one byte of the register; checked apart so that neither spills.
    const auto watch = valueOf(plan, fields, WatchDuration);
    const auto warning = valueOf(plan, fields, WarningDuration);
    if (watch && warning)
        plan.write(AlarmDurations.reg, OptionWords::packBytes(*watch, *warning));
    addFirmwareRows(plan);
    Setting::write(plan, fields, ModbusPort);
    if (systemExtras)
        addSystemExtras(plan);
    plan.write(ModbusFrames::CommandRegister, CommitSettings, false);
    return plan;
}

void DeviceSettings::addFirmwareRows(WritePlan &plan)
{
    if (userMode_ != UserMode::Engineer) // Engineer only
        return;
    Setting::write(plan, fields_, FirmwareVersion);
    Setting::write(plan, fields_, SerialNumber);
}

void DeviceSettings::addSystemExtras(WritePlan &plan)
{
    for (const SettingRegister *setting : SystemExtras) {
        if (fields_.text(setting->edit) == QLatin1String(LiveFields::NotYetRead))
            plan.skip();
        else
            Setting::write(plan, fields_, *setting);
    }
}

void DeviceSettings::stageCalibration()
{
    WritePlan plan;
    for (const SettingRegister &factor : CalibrationFactors)
        Setting::write(plan, fields_, factor);
    commands_.run(QStringLiteral("Modify"), plan, DeviceCommands::LeadPauseMs);
}

void DeviceSettings::commit(const QString &name, int code)
{
    WritePlan plan;
    plan.write(ModbusFrames::CommandRegister, code, false);
    commands_.run(name, plan, DeviceCommands::LeadPauseMs);
}

void DeviceSettings::commitSettings()
{
    commit(QStringLiteral("Write"), CommitSettings);
}

void DeviceSettings::loadFactoryDefaults()
{
    commit(QStringLiteral("Default"), LoadDefaults);
}

void DeviceSettings::saveAsDefaults()
{
    commit(QStringLiteral("Save as default"), SaveDefaults);
}

void DeviceSettings::writeAlarmOutputs(const QString &name, int value)
{
    WritePlan plan;
    plan.write(AlarmOutputsRegister, value);
    commands_.run(name, plan, 0);
}

void DeviceSettings::switchAlarmOutputsOn()
{
    writeAlarmOutputs(QStringLiteral("Alarm ON"), 3);
}

void DeviceSettings::switchAlarmOutputsOff()
{
    writeAlarmOutputs(QStringLiteral("Alarm OFF"), 0);
}

void DeviceSettings::startFirmwareUpdate()
{
    const QString name = QStringLiteral("firmware update");
    // The device stops its work for the update; one stray click must not start it.
    if (!prompter_.askYesNo(QStringLiteral("Start the firmware update of the device now?"), name)) {
        commands_.tell(QStringLiteral("firmware update: cancelled, nothing sent."));
        return;
    }
    commit(name, FirmwareUpdate);
}

void DeviceSettings::excludeOtherScales(const Control &ticked)
{
    if (!ticked.isChecked())
        return;
    for (Control *box : intensityScales())
        if (box != &ticked)
            box->setChecked(false);
}

void DeviceSettings::mirrorLiveField(int field)
{
    switch (field) {
    case Field::TriggerMode:
        mirrorTriggerMode();
        break;
    case Field::PgaWarningThreshold:
        page_.pgaWarningBox.setText(NumberText::doubleText(fields_.value(field)));
        break;
    case Field::PgaWatchThreshold:
        page_.pgaWatchBox.setText(NumberText::doubleText(fields_.value(field)));
        break;
    case Field::FirmwareVersion:
        unlockFirmwareFeatures();
        break;
    default:
        break;
    }
}

void DeviceSettings::mirrorTriggerMode()
{
    for (int k = 0; k < 4; ++k)
        page_.triggerBoxes[k].setChecked(fields_.bit(Field::TriggerMode, k));
    const bool filter20Hz = fields_.bit(Field::TriggerMode, 7);
    page_.lowPassFilter[0].setChecked(!filter20Hz);
    page_.lowPassFilter[1].setChecked(filter20Hz);
}

void DeviceSettings::showSetting(const SettingRegister &setting, bool shown)
{
    fields_.setVisible(setting.live, shown);
    fields_.setVisible(setting.edit, shown);
}

void DeviceSettings::hideFirmwareFeatures()
{
    showSetting(Output0Intensity, false);
    showSetting(Output1Intensity, false);
}

void DeviceSettings::showEngineeringControls(bool shown)
{
    for (Control *c :
         {&page_.buttons.saveAsDefaults, &page_.calibrationBlock, &page_.options.modbusTcpClient})
        c->setVisible(shown);
    for (const SettingRegister &zero : ZeroPoints)
        showSetting(zero, shown);
    for (int axis = 0; axis < 3; ++axis) {
        fields_.setVisible(Field::AxisOffsetA + axis, shown);
        fields_.setVisible(Field::AxisOffsetCopyA + axis, shown);
    }
    fields_.setVisible(Field::PWaveFlag, shown);
    fields_.setVisible(FirmwareVersion.edit, shown);
    fields_.setVisible(SerialNumber.edit, shown);
}

void DeviceSettings::lockWritesForRecordMode(bool recordMode)
{
    for (Control *button : page_.buttons.lockedInRecordMode())
        button->setEnabled(!recordMode);
}

void DeviceSettings::unlockFirmwareFeatures()
{
    const double v = fields_.value(Field::FirmwareVersion);
    if (v > 2080)
        page_.options.mmiScale.setEnabled(true);
    if (v > 2101)
        page_.options.kmaScale.setEnabled(true);
    if (v > 2079) {
        page_.options.displayLink.setEnabled(true);
        page_.buttons.commitDisplay.setEnabled(true);
        page_.buttons.stageDisplay.setEnabled(true);
        for (int octet = 0; octet < DisplayAddress.octets; ++octet)
            fields_.setEnabled(DisplayAddress.edit + octet, true);
    }
    if (v > 2094)
        showSetting(MountingAngle, true);
    if (v < 2077)
        return;
    if (userMode_ == UserMode::Engineer) {
        showSetting(Output0Intensity, true);
        showSetting(Output1Intensity, true);
    }
}
