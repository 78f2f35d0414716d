#pragma once

#include "DevicePageControls.h"
#include "link/Decoder.h"

#include <QObject>

class DeviceCommands;
class LiveFields;
class Prompter;
struct SettingRegister;
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

    DeviceSettings(LiveFields &fields, DeviceCommands &commands, Waiter &waiter, Prompter &prompter,
                   QObject *parent = nullptr);

    // Where the registers the pages show stand.
    enum class ReadState { Unread, Reading, Read, NoLink, Unanswered };

    // The page's boxes and buttons beside its fields.
    DevicePageControls &controls() { return page_; }
    const DevicePageControls &controls() const { return page_; }

    // Fills the page's edit fields with the device's last read values and reads them from
    // the device again.
    void showDeviceSettings();
    // "Read": asks the device for the registers the pages show (through `readRequested`).
    void readFromDevice();
    // What the link made of the request; in Record mode the answer comes between two packets.
    void readStarted(Decoder::SettingsRead how, bool recordMode);
    void settingsArrived(); // the registers are in: the edit fields take them
    void readUnanswered();
    ReadState readState() const { return readState_; }
    bool isReadingInRecordMode() const { return readState_ == ReadState::Reading && recordRead_; }
    void writeSystemSettings();  // "Write" of the system page
    void writeGeneralSettings(); // "Write" of the general page
    void stageCalibration();     // the calibration factors, applied by `commitSettings()`
    void commitSettings();
    void loadFactoryDefaults();
    void saveAsDefaults(); // the device's current settings become its defaults
    void switchAlarmOutputsOn();
    void switchAlarmOutputsOff();
    void startFirmwareUpdate();
    // A live field changed: the trigger settings the page mirrors and the features the
    // firmware version unlocks follow it.
    void mirrorLiveField(int field);
    // What the pages offer follows the user mode (UserMode).
    void setUserMode(int mode) { userMode_ = mode; }
    // A new link may reach a device with other firmware: what only a version showed hides
    // again until the version is read.
    void hideFirmwareFeatures();
    // Engineer mode's parts of the pages come with the link and go with the mode.
    void showEngineeringControls(bool shown);
    void lockWritesForRecordMode(bool recordMode);

signals:
    void readRequested();
    void readStateChanged();

private:
    void setReadState(ReadState state);
    void copyLiveToEdit();
    void writeSettings(bool systemExtras);
    void prepareEditFields();
    WritePlan settingsPlan(bool systemExtras);
    void addFirmwareRows(WritePlan &plan);
    void addSystemExtras(WritePlan &plan);
    void commit(const QString &name, int code);
    void writeAlarmOutputs(const QString &name, int value);
    // The intensity scales exclude one another: ticking one clears the others.
    void excludeOtherScales(const Control &ticked);
    std::array<Control *, 3> intensityScales();
    void mirrorTriggerMode();
    void showSetting(const SettingRegister &setting, bool shown); // its device value and edit
    void unlockFirmwareFeatures();

    LiveFields &fields_;
    DevicePageControls page_;
    DeviceCommands &commands_;
    Waiter &waiter_;
    Prompter &prompter_;
    int userMode_ = 0;
    ReadState readState_ = ReadState::Unread;
    bool recordRead_ = false;
};
