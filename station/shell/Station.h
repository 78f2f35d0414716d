#pragma once

#include "ConnectionPage.h"
#include "MqttPublisher.h"
#include "SettingsFile.h"
#include "Views.h"
#include "common/FailureNotice.h"
#include "common/ProgramFolder.h"
#include "common/Readout.h"
#include "common/RecordFolder.h"
#include "common/UserMode.h"
#include "device/ClockAdjust.h"
#include "device/DeviceCommands.h"
#include "device/DeviceSettings.h"
#include "device/NetworkSettings.h"
#include "history/History.h"
#include "link/Decoder.h"
#include "link/LinkManager.h"
#include "link/LinkStatus.h"
#include "link/Poller.h"
#include "link/RegisterWriter.h"
#include "monitor/AlarmDisplay.h"
#include "monitor/ChartFeed.h"
#include "monitor/DisplaySettings.h"
#include "monitor/EventState.h"
#include "monitor/LedPort.h"
#include "monitor/TriggerLogic.h"
#include "monitor/VoiceLed.h"
#include "records/ArchiveWriter.h"
#include "records/EventFile.h"
#include "records/EventLog.h"
#include "records/ManualRecording.h"
#include "records/RecordingSettings.h"
#include "records/SampleRing.h"

#include <QObject>
#include <memory>

class Clock;
class Prompter;
class SerialLink;
class TcpClientLink;
class TcpServerLink;
class Shell;
class SoundPlayer;
class StripChart;
class Waiter;

// The device's transports given from outside; none given: the station opens the real serial
// port and sockets.
struct StationLinks {
    DeviceLink *serial = nullptr;
    DeviceLink *client = nullptr;
    ServerLink *server = nullptr;
};

// What the station needs from the platform; the window passes the real ones, tests fakes.
struct StationServices {
    ProgramFolder folder;
    Clock &clock;
    Waiter &waiter;
    SoundPlayer &sound;
    Shell &shell;
    Prompter &prompter;
    StripChart &strip1; // real-time acceleration and Pd
    StripChart &strip2; // history
    StripChart &strip3; // real-time displacement and Pd
    StationLinks links = {};
};

// The station without its window: owns the subsystems and their state and wires them together.
class Station : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *TitlePrefix =
        "vORSA Early Warning System by Morvane Ver " VORSA_VERSION " - ";

    explicit Station(const StationServices &services, QObject *parent = nullptr);
    ~Station() override;

    Readout &readout() { return readout_; }
    const ProgramFolder &folder() const { return services_.folder; }
    EventLog &eventLog() { return eventLog_; }
    Views &views() { return views_; }
    SampleRing &sampleRing() { return ring_; }
    RecordingSettings &recordingSettings() { return recordingSettings_; }
    EventFile &eventFile() { return eventFile_; }
    ManualRecording &manualRecording() { return manualRecording_; }
    EventState &eventState() { return eventState_; }
    TriggerLogic &triggerLogic() { return triggerLogic_; }
    AlarmDisplay &alarmDisplay() { return alarmDisplay_; }
    AlarmPanel &alarmPanel() { return alarmPanel_; }
    VoiceLed &voiceLed() { return voiceLed_; }
    DeviceLink &serialLink() { return serialLink_; }
    DeviceLink &clientLink() { return clientLink_; }
    ServerLink &serverLink() { return serverLink_; }
    TcpServerLink *realServerLink() { return ownServerLink_.get(); } // null when given
    LinkSettings &linkSettings() { return linkSettings_; }
    LinkStatus &linkStatus() { return linkStatus_; }
    RegisterWriter &registerWriter() { return registerWriter_; }
    Poller &poller() { return linkManager_.poller(); }
    LinkManager &linkManager() { return linkManager_; }
    ConnectionPage &connectionPage() { return connectionPage_; }
    RecordFolder &recordFolder() { return recordFolder_; }
    History &history() { return history_; }
    MqttPublisher &mqtt() { return mqtt_; }
    DisplaySettings &displaySettings() { return displaySettings_; }
    ChartFeed &chartFeed() { return chartFeed_; }
    Decoder &decoder() { return decoder_; }
    DeviceCommands &deviceCommands() { return deviceCommands_; }
    DeviceSettings &deviceSettings() { return deviceSettings_; }
    NetworkSettings &networkSettings() { return networkSettings_; }
    ClockAdjust &clockAdjust() { return clockAdjust_; }
    ArchiveWriter *archive() { return archive_.get(); } // null while archiving is off
    // Stands visible while archive records wait to be written.
    Control &archiveWarning() { return archiveWarning_; }

    // Start-up, once: `commandLine` is the device address (empty when none).
    void start(const QString &commandLine);
    // Chosen on the command line before start-up: the link kind, the device's TCP port
    // (empty: the settings file's) and Record mode; they apply before the link opens by itself.
    // A port given is the demo's simulated device: it and the address are for this run only,
    // and sys.txt keeps the ones it had.
    void setStartLink(std::optional<LinkKind> kind, const QString &port, bool recordMode = false);
    // `--mode general|engineer|educate`: the user mode for this run, over sys.txt's (which
    // keeps its own); before start-up.
    void setStartMode(std::optional<int> mode) { startMode_ = mode; }
    // The "Mode" menu: General (0), Engineer (1) or Educate (2) from now on; sys.txt keeps it.
    void setUserMode(int mode);
    int userMode() const { return userMode_; }
    // `--mqtt HOST[:PORT]`: the broker to publish to, over vorsa.ini's; before start-up.
    void setMqttBroker(const QString &hostAndPort) { mqttBroker_ = hostAndPort; }

    // "Save" on the connection page, and a change of record folder: the settings file is
    // written when the record times fit the sample ring.
    void saveSettingsIfValid();
    // "OK" on the connection page: the link opens with the settings shown.
    void openLink();
    // "&System-Vorsa": shows the device pages with the last values read and reads them again.
    void showDeviceSettings();
    // "&System-Host": shows the connection page; the link keeps running until OK.
    void showHostSettings();
    // "&Exit": asks first.
    void confirmExit();
    // The system asks the program to end (SIGTERM, SIGINT): logged, then as "&Exit".
    void systemExit();
    // The last step of every way out ("&Exit", the system asking the program to end):
    // finishes what is being recorded, then asks to quit.
    void endSession();

    QString now() const; // the current date and time in the station's general form

signals:
    void quitRequested();
    void userModeChanged(int mode);

private:
    void fillRangeLists();
    void loadEventSummaries();
    void selectRecordFolder();
    void saveSettings();
    void applyVoiceFiles();
    SystemSettings systemSettingsShown() const;
    void showSystemSettings(const SystemSettings &settings);
    bool recordTimesAccepted();
    void bindRecordingSettings();
    void wireRecords();
    void wireMonitor();
    void wireLinks();
    void bindLinkStatus();
    void applyStartLink();
    // The title, the locks of Educate mode and the engineering controls follow the mode.
    void applyUserMode();
    void showEngineeringControls(bool shown);
    void startMqtt();
    void startArchive();
    void wireDecoder();
    void wireDevice();

    StationServices services_;
    Readout readout_;
    RecordFolder recordFolder_; // with its list of record files
    EventLog eventLog_;
    Views views_;
    SampleRing ring_;
    RecordingSettings recordingSettings_;
    EventFile eventFile_;
    AlarmPanel alarmPanel_;
    ManualRecording manualRecording_;
    SerialLedPort ledPort_;
    EventState eventState_;
    TriggerLogic triggerLogic_;
    AlarmDisplay alarmDisplay_;
    VoiceLed voiceLed_;
    LinkStatus linkStatus_;
    std::unique_ptr<SerialLink> ownSerialLink_;
    std::unique_ptr<TcpClientLink> ownClientLink_;
    std::unique_ptr<TcpServerLink> ownServerLink_;
    DeviceLink &serialLink_;
    DeviceLink &clientLink_;
    ServerLink &serverLink_;
    LinkSettings linkSettings_;
    ConnectionPage connectionPage_;
    LinkManager linkManager_;
    RegisterWriter registerWriter_;
    History history_;
    MqttPublisher mqtt_;
    QString mqttBroker_;
    std::optional<LinkKind> startLinkKind_;
    QString startPort_;
    SettingsFile::Overrides keptSettings_; // sys.txt lines a value for this run only leaves
    bool startRecordMode_ = false;
    std::optional<int> startMode_;
    int userMode_ = UserMode::General;
    std::optional<bool> serverOptionBeforeLock_; // while Educate mode locks it
    DisplaySettings displaySettings_;
    ChartFeed chartFeed_;
    Decoder decoder_;
    DeviceCommands deviceCommands_;
    DeviceSettings deviceSettings_;
    NetworkSettings networkSettings_;
    ClockAdjust clockAdjust_;
    FailureNotice settingsNotice_;
    std::unique_ptr<ArchiveWriter> archive_;
    Control archiveWarning_;
};
