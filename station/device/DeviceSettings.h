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

    // Opens the page with the device's last read values in its edit fields.
    void showDeviceSettings();
    void writeSystemSettings();  // "Write" of the system page
    void writeGeneralSettings(); // "Write" of the general page
    void stageCalibration();     // the calibration factors, applied by `commitSettings()`
    void commitSettings();
    void loadFactoryDefaults();
    void saveAsDefaults(); // the device's current settings become its defaults
    void switchAlarmOutputsOn();
    void switchAlarmOutputsOff();
    void startFirmwareUpdate();

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
    // The intensity scales exclude one another: ticking one clears the others.
    void excludeOtherScales(const class Control &ticked);

    Form &form_;
    DeviceCommands &commands_;
    Waiter &waiter_;
    Prompter &prompter_;
};
