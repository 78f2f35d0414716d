#include "DeviceSettings.h"

#include "DeviceCommands.h"
#include "OptionWords.h"
#include "WritePlan.h"
#include "common/FieldNumbers.h"
#include "common/Form.h"
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

DeviceSettings::DeviceSettings(Form &form, DeviceCommands &commands, Waiter &waiter,
                               Prompter &prompter, QObject *parent)
    : QObject(parent), form_(form), commands_(commands), waiter_(waiter), prompter_(prompter)
{
    for (Control *scale : {&form_.chkGBT, &form_.chkKMA, &form_.chkMMI})
        connect(scale, &Control::checkedChanged, this,
                [this, scale] { excludeOtherScales(*scale); });
    connect(&form_.chkadj, &Control::checkedChanged, this,
            [this] { form_.cmdadj.setEnabled(form_.chkadj.isChecked()); });
}

void DeviceSettings::showDeviceSettings()
{
    copyLiveToEdit();
    const bool ntp = form_.txtReal.text(Field::NtpStatus) == QLatin1String("Yes");
    form_.cmdadj.setEnabled(!ntp);
    form_.cmdadj.setText(ntp ? QStringLiteral("NTP") : QStringLiteral("adjustment"));
    showPage();
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
    LiveFields &fields = form_.txtReal;
    const auto copy = [&fields](const CopyRun &run) {
        for (int k = 0; k < run.count; ++k)
            fields.setText(run.firstEdit + k, fields.text(run.firstLive + k));
    };
    for (const CopyRun &run : CopiesBeforeOptions)
        copy(run);
    if (fields.text(Field::OptionWord) != QLatin1String(LiveFields::NotYetRead))
        OptionWords::decodeOptionWord(form_, fields.integer(Field::OptionWord));
    for (const CopyRun &run : CopiesAfterOptions)
        copy(run);
}

void DeviceSettings::showPage()
{
    form_.fraKRT54.setVisible(true);
    for (Control *page :
         {&form_.fraRT, &form_.fraHost, &form_.fraHisTrend, &form_.fraHis, &form_.fraAnalyze})
        page->setVisible(false);
    form_.Strip1Shown.setVisible(true);
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
    LiveFields &fields = form_.txtReal;
    fields.setText(Field::OptionWord + Field::EditCopyOffset,
                   QString::number(OptionWords::composeOptionWord(form_)));
    fields.setText(Field::TriggerMode + Field::EditCopyOffset,
                   QString::number(OptionWords::composeTriggerWord(form_)));
    fields.setText(Field::PgaWarningThreshold + Field::EditCopyOffset, form_.cboPga.text());
    fields.setText(Field::PgaWatchThreshold + Field::EditCopyOffset, form_.cboPga1.text());
    fields.setText(Field::AlarmDurationsEdit, NumberText::doubleText(OptionWords::packBytes(
                                                  fields.value(Field::WatchDurationEdit),
                                                  fields.value(Field::WarningDurationEdit))));
    const double port = fields.value(ModbusPortRow.field);
    if (port < 1 || port > 2)
        fields.setText(ModbusPortRow.field, QStringLiteral("2"));
}

WritePlan DeviceSettings::settingsPlan(bool systemExtras)
{
    const LiveFields &fields = form_.txtReal;
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
        addRow(plan, form_.txtReal, row);
}

void DeviceSettings::addSystemExtras(WritePlan &plan)
{
    for (const SettingRow &row : SystemExtras) {
        if (form_.txtReal.text(row.field) == QLatin1String(LiveFields::NotYetRead))
            plan.skip();
        else
            addRow(plan, form_.txtReal, row);
    }
}

void DeviceSettings::stageCalibration()
{
    WritePlan plan;
    for (const SettingRow &row : CalibrationRows)
        addRow(plan, form_.txtReal, row);
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
    for (Control *box : {&form_.chkGBT, &form_.chkKMA, &form_.chkMMI})
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
        form_.cboPga.setText(NumberText::doubleText(form_.txtReal.value(field)));
        break;
    case Field::PgaWatchThreshold:
        form_.cboPga1.setText(NumberText::doubleText(form_.txtReal.value(field)));
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
        form_.chktrig[k].setChecked(form_.txtReal.bit(Field::TriggerMode, k));
    const bool filter20Hz = form_.txtReal.bit(Field::TriggerMode, 7);
    form_.optLPF[0].setChecked(!filter20Hz);
    form_.optLPF[1].setChecked(filter20Hz);
}

void DeviceSettings::hideFirmwareFeatures()
{
    form_.Label21.setVisible(false);
    form_.Label22.setVisible(false);
    for (int i = 235; i <= 238; ++i)
        form_.txtReal.setVisible(i, false);
}

void DeviceSettings::unlockFirmwareFeatures()
{
    const double v = form_.txtReal.value(Field::FirmwareVersion);
    if (v > 2080)
        form_.chkMMI.setEnabled(true);
    if (v > 2101)
        form_.chkKMA.setEnabled(true);
    if (v > 2079) {
        form_.chkRVD.setEnabled(true);
        form_.Label1_64.setVisible(true);
        form_.wrt_rvd_ip.setEnabled(true);
        form_.modify_rvd_ip.setEnabled(true);
        for (int i = 244; i <= 247; ++i)
            form_.txtReal.setEnabled(i, true);
    }
    if (v > 2094) {
        form_.Label37.setVisible(true);
        form_.txtReal.setVisible(248, true);
        form_.txtReal.setVisible(249, true);
    }
    if (v < 2077)
        return;
    if (userMode_ == UserMode::Engineer) {
        form_.Label21.setVisible(true);
        form_.Label22.setVisible(true);
        for (int i = 235; i <= 238; ++i)
            form_.txtReal.setVisible(i, true);
    }
}
