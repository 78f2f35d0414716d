#pragma once

#include <QObject>

class DeviceCommands;
class Form;
class Prompter;
class Waiter;
class WritePlan;

// The device page "Vorsa setting": opening it, the settings write of its two "Write"
// buttons, the calibration block, the factory defaults, the alarm outputs, the firmware
// update and the option boxes that exclude one another.
class DeviceSettings : public QObject
{
    Q_OBJECT
public:
    // Rounds of the responsive wait after a settings write (about 2.5 s).
    static constexpr int SettleRounds = 41;
    static constexpr int CommitSettings = 2;
    static constexpr int LoadDefaults = 5377;
    static constexpr int SaveDefaults = 5378;
    static constexpr int FirmwareUpdate = 384;
    static constexpr int AlarmOutputsRegister = 118;

    DeviceSettings(Form &form, DeviceCommands &commands, Waiter &waiter, Prompter &prompter,
                   QObject *parent = nullptr);

    void mnukrt54_Click();
    void cmdSet1_Click(); // "Write" of the system page
    void cmdSet_Click();  // "Write" of the general page
    void modify_KRT54_Click();
    void wrt_KRT54_Click();
    void cmdDefault_Click();
    void Command2_Click(); // "Save as default"
    void cmdAlarmon_Click();
    void cmdAlarmoff_Click();
    void cmd_firm_Click();
    void chkadj_Click();
    void chkGBT_Click();
    void chkKMA_Click();
    void chkMMI_Click();

private:
    void copyLiveToEdit();
    void showPage();
    void writeSettings(bool systemExtras);
    void prepareEditFields();
    WritePlan settingsPlan(bool systemExtras);
    void addFirmwareRows(WritePlan &plan);
    void addSystemExtras(WritePlan &plan);
    void commit(const QString &name, int code);
    void writeAlarmOutputs(const QString &name, int value);
    void excludeOtherScales(const class Control &ticked);

    Form &form_;
    DeviceCommands &commands_;
    Waiter &waiter_;
    Prompter &prompter_;
};
