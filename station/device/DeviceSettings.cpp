#include "DeviceSettings.h"

#include "DeviceCommands.h"
#include "OptionWords.h"
#include "WritePlan.h"
#include "common/FieldNumbers.h"
#include "common/NumberText.h"
#include "common/Platform.h"
#include "common/UserMode.h"
#include "common/Waiter.h"
#include "link/ModbusFrames.h"

namespace
{

// Edit fields filled from live fields when the page opens, in this order.
struct CopyRun {
    int firstEdit, firstLive, count;
};
constexpr CopyRun CopiesBeforeOptions[] = {
    {199, 99, 2},  {164, 64, 11}, {160, 60, 4}, {176, 215, 4}, {223, 219, 4},
    {244, 240, 4}, {180, 80, 12}, {194, 94, 2}, {197, 97, 1},  {114, 14, 11},
};
constexpr CopyRun CopiesAfterOptions[] = {
    {212, 210, 2}, {231, 230, 1}, {236, 235, 1}, {238, 237, 1}, {249, 248, 1},
};

constexpr double PgaFactor = 16.7184; // gal to device counts
constexpr double CmFactor = 1000;

// One row of the settings write: edit field times factor to register. A threshold is
// never negative; a row with a unit names its range in that unit.
struct SettingRow {
    int reg, field;
    double factor;
    const char *caption;
    const char *unit = nullptr;
    qint64 low = WritePlan::WordLow;
};
constexpr SettingRow SettingRows[] = {
    {113, 114, 1, "Time Zone"},
    {114, 115, 1, "STA Length [0.1 sec]"},
    {115, 116, 1, "LTA Length [0.1 sec]"},
    {116, 117, 1, "Threshold STA/LTA"},
    {117, 118, 1, "Slope of Spike"},
    {118, 119, 1, "Records of Spike"},
    {119, 120, 1, "Seismic Alarm Time"},
    {121, 122, 1, "Offset Records"},
    {122, 123, 1, "DO 0 Trig[gal]"},
    {123, 124, 1, "DO 1 Trig[gal]"},
    {120, 121, PgaFactor, "PGA watch threshold", "gal", 0},
    {159, 160, CmFactor, "Displacement warning threshold", "cm", 0},
    {160, 161, PgaFactor, "PGA warning threshold", "gal", 0},
    {161, 162, CmFactor, "Pd warning threshold", "cm", 0},
    {196, 197, CmFactor, "Displacement watch threshold", "cm", 0},
    {162, 163, 1, "trig mode"},
    {163, 164, CmFactor, "Pd watch threshold", "cm", 0},
    {164, 165, 1, "a_0g [0.1mg]"},
    {165, 166, 1, "b_0g [0.1mg]"},
    {166, 167, 1, "c_0g [0.1mg]"},
};
constexpr int DurationsRegister = 194;
constexpr SettingRow FirmwareRows[] = {
    {198, 199, 1, "Firmware Version"},
    {199, 200, 1, "Serial No."},
};
constexpr SettingRow ModbusPortRow = {200, 231, 1, "Modbus RTU Port (1 or 2)"};
// Written by the system page only, and only once read from the device.
constexpr SettingRow SystemExtras[] = {
    {201, 236, 1, "eews DO 0 Intensity"},
    {202, 238, 1, "eews DO 1 Intensity"},
    {205, 249, 1, "Mounting Angle(0.1°)"},
};
constexpr SettingRow CalibrationRows[] = {
    {167, 168, 1, "a-axis Cal. Factor"},
    {168, 169, 1, "b-axis Cal. Factor"},
    {169, 170, 1, "c-axis Cal. Factor"},
};

void addRow(WritePlan &plan, const LiveFields &fields, const SettingRow &row)
{
    plan.writeField(row.reg, fields, row.field, row.factor, QString::fromUtf8(row.caption), row.low,
                    WritePlan::WordHigh, row.unit ? QString::fromLatin1(row.unit) : QString());
}

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
    LiveFields &fields = fields_;
    const auto copy = [&fields](const CopyRun &run) {
        for (int k = 0; k < run.count; ++k)
            fields.setText(run.firstEdit + k, fields.text(run.firstLive + k));
    };
    for (const CopyRun &run : CopiesBeforeOptions)
        copy(run);
    if (fields.text(Field::OptionWord) != QLatin1String(LiveFields::NotYetRead))
        OptionWords::decodeOptionWord(page_.options, fields.integer(Field::OptionWord));
    for (const CopyRun &run : CopiesAfterOptions)
        copy(run);
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
    fields.setText(Field::OptionWord + Field::EditCopyOffset,
                   QString::number(OptionWords::composeOptionWord(page_.options)));
    fields.setText(Field::TriggerMode + Field::EditCopyOffset,
                   QString::number(OptionWords::composeTriggerWord(page_)));
    fields.setText(Field::PgaWarningThreshold + Field::EditCopyOffset, page_.pgaWarningBox.text());
    fields.setText(Field::PgaWatchThreshold + Field::EditCopyOffset, page_.pgaWatchBox.text());
    fields.setText(Field::AlarmDurationsEdit, NumberText::doubleText(OptionWords::packBytes(
                                                  fields.value(Field::WatchDurationEdit),
                                                  fields.value(Field::WarningDurationEdit))));
    const double port = fields.value(ModbusPortRow.field);
    if (port < 1 || port > 2)
        fields.setText(ModbusPortRow.field, QStringLiteral("2"));
}

WritePlan DeviceSettings::settingsPlan(bool systemExtras)
{
    const LiveFields &fields = fields_;
    WritePlan plan;
    for (const SettingRow &row : SettingRows)
        addRow(plan, fields, row);
    // Each duration takes one byte of the register; checked apart so that neither spills.
    const auto watch =
        plan.fieldValue(fields, Field::WatchDurationEdit, 1, QStringLiteral("Watch duration"), 0,
                        255, QStringLiteral("s"));
    const auto warning =
        plan.fieldValue(fields, Field::WarningDurationEdit, 1, QStringLiteral("Warning duration"),
                        0, 255, QStringLiteral("s"));
    if (watch && warning)
        plan.write(DurationsRegister, OptionWords::packBytes(*watch, *warning));
    addFirmwareRows(plan);
    addRow(plan, fields, ModbusPortRow);
    if (systemExtras)
        addSystemExtras(plan);
    plan.write(ModbusFrames::CommandRegister, CommitSettings, false);
    return plan;
}

void DeviceSettings::addFirmwareRows(WritePlan &plan)
{
    if (userMode_ != UserMode::Engineer) // Engineer only
        return;
    for (const SettingRow &row : FirmwareRows)
        addRow(plan, fields_, row);
}

void DeviceSettings::addSystemExtras(WritePlan &plan)
{
    for (const SettingRow &row : SystemExtras) {
        if (fields_.text(row.field) == QLatin1String(LiveFields::NotYetRead))
            plan.skip();
        else
            addRow(plan, fields_, row);
    }
}

void DeviceSettings::stageCalibration()
{
    WritePlan plan;
    for (const SettingRow &row : CalibrationRows)
        addRow(plan, fields_, row);
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

void DeviceSettings::hideFirmwareFeatures()
{
    for (int i = 235; i <= 238; ++i)
        fields_.setVisible(i, false);
}

void DeviceSettings::showEngineeringControls(bool shown)
{
    for (Control *c :
         {&page_.buttons.saveAsDefaults, &page_.calibrationBlock, &page_.options.modbusTcpClient})
        c->setVisible(shown);
    for (int i : {5, 6, 7, 39, 65, 66, 67, 165, 166, 167, 199, 200, 205, 206, 207})
        fields_.setVisible(i, shown);
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
        for (int i = 244; i <= 247; ++i)
            fields_.setEnabled(i, true);
    }
    if (v > 2094) {
        fields_.setVisible(248, true);
        fields_.setVisible(249, true);
    }
    if (v < 2077)
        return;
    if (userMode_ == UserMode::Engineer)
        for (int i = 235; i <= 238; ++i)
            fields_.setVisible(i, true);
}
