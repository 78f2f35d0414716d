#include "Station.h"

#include "SettingsFile.h"
#include "common/Clock.h"
#include "common/Colours.h"
#include "common/ExtensionSettings.h"
#include "common/FieldNumbers.h"
#include "common/MiniSeedOptions.h"
#include "common/NumberText.h"
#include "common/Platform.h"
#include "common/TextFiles.h"
#include "common/UserMode.h"
#include "link/SerialLink.h"
#include "link/TcpClientLink.h"
#include "link/TcpServerLink.h"
#include "records/ArchiveSettings.h"

#include <QDir>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcShell, "vorsa.shell")

namespace
{

const QStringList AccRanges = {"1000", "500", "250", "100", "50", "25", "10", "5", "3", "2", "1"};
const QStringList PdRanges = {"30", "20", "10", "5", "3", "2", "1", "0.5", "0.25", "0.1"};
const QStringList PgaThresholds = {"400", "250", "80", "25", "8", "2.5", "0.8"};
const QStringList TimeSpans = {"10", "20", "30", "60", "120"};
const QStringList DisplacementRanges = {"50", "20", "10", "5", "2", "1", "0.5", "0.2", "0.1"};

} // namespace

Station::Station(const StationServices &services, QObject *parent)
    : QObject(parent), services_(services),
      eventLog_(readout_.liveFields, readout_.statusLine, services_.folder, services.clock,
                services.prompter, services.shell),
      views_(readout_.statusLine, recordFolder_, services_.folder, services.shell),
      eventFile_(ring_, recordingSettings_, readout_.liveFields, eventLog_, services_.folder,
                 services.clock),
      manualRecording_(readout_.statusLine, alarmPanel_.recording, services_.folder,
                       services.clock),
      triggerLogic_(readout_.liveFields, alarmPanel_, eventState_, eventLog_, eventFile_,
                    recordingSettings_, services.clock, services.strip1, services.strip3),
      alarmDisplay_(readout_.liveFields, alarmPanel_, eventState_, eventLog_, services.clock),
      voiceLed_(readout_.liveFields, eventState_, services_.folder, services.clock, services.waiter,
                services.sound, ledPort_),
      ownSerialLink_(services.links.serial ? nullptr : std::make_unique<SerialLink>(linkStatus_)),
      ownClientLink_(services.links.client ? nullptr
                                           : std::make_unique<TcpClientLink>(linkStatus_)),
      ownServerLink_(services.links.server ? nullptr
                                           : std::make_unique<TcpServerLink>(linkStatus_)),
      serialLink_(services.links.serial ? *services.links.serial : *ownSerialLink_),
      clientLink_(services.links.client ? *services.links.client : *ownClientLink_),
      serverLink_(services.links.server ? *services.links.server : *ownServerLink_),
      connectionPage_(services_.folder),
      linkManager_(readout_.liveFields, readout_.statusLine, linkSettings_, linkStatus_,
                   serialLink_, clientLink_, serverLink_, services.waiter, services.clock,
                   services_.folder),
      registerWriter_(linkManager_.pollState(), linkSettings_, serialLink_, clientLink_,
                      serverLink_, linkManager_, services.waiter),
      history_(readout_.liveFields, recordFolder_, readout_.statusLine, readout_.windowTitle,
               services.strip2, services.prompter, services.shell, services_.folder),
      mqtt_(readout_.liveFields, readout_.statusLine, eventLog_, services.clock),
      chartFeed_(displaySettings_, services.strip1, services.strip3, services.clock),
      decoder_(readout_.liveFields, readout_.statusLine, linkManager_.pollState(), linkStatus_,
               serialLink_, clientLink_, serverLink_, linkManager_, services_.folder),
      deviceCommands_(readout_.statusLine, registerWriter_, services.waiter, services.prompter),
      deviceSettings_(readout_.liveFields, deviceCommands_, services.waiter, services.prompter),
      networkSettings_(readout_.liveFields, deviceCommands_),
      clockAdjust_(readout_.liveFields, deviceCommands_, registerWriter_, clientLink_, linkManager_,
                   services.waiter, services.clock)
{
    archiveWarning_.setVisible(false);
    archiveWarning_.setBackColor(QColor(255, 255, 0));
    bindRecordingSettings();
    wireRecords();
    eventLog_.addAlarmObserver([this](const QString &line) { mqtt_.alarmLogged(line); });
    eventLog_.addSummaryObserver([this](const QString &summary, const QDateTime &start) {
        mqtt_.eventSummary(summary, start, eventFile_.summaryFileName(start));
    });
    wireMonitor();
    connect(&recordFolder_, &RecordFolder::folderChanged, this, &Station::saveSettingsIfValid);
    // The start-up and delete steps select a record file; the history view loads it.
    connect(&recordFolder_, &RecordFolder::selected, &history_, &History::loadSelectedFile);
    connect(&views_, &Views::historyReloadRequested, &history_, &History::loadSelectedFile);
    wireLinks();
    wireDecoder();
    wireDevice();
}

// What arrives from the device is decoded, then the alarm display and the manual recording
// follow in the decoder's order.
void Station::wireDecoder()
{
    connect(&decoder_, &Decoder::evaluateAlarmsDue, this,
            [this](AlarmGate gate) { alarmDisplay_.evaluateAlarms(gate); });
    connect(&decoder_, &Decoder::intensityDisplayDue, this,
            [this] { alarmDisplay_.updateIntensityDisplay(); });
    connect(&decoder_, &Decoder::packetDecoded, this, [this](const DecodedPacket &packet) {
        triggerLogic_.takePacket(packet);
        ring_.take(packet);
        manualRecording_.takePacket(packet);
        chartFeed_.takePacket(packet);
        mqtt_.packetDecoded(packet);
        if (archive_)
            archive_->takePacket(packet);
    });
    connect(&decoder_, &Decoder::answerDecoded, &eventState_, &EventState::countAnswer);
    connect(&decoder_, &Decoder::answerDecoded, this,
            [this] { linkStatus_.noteData(services_.clock.msecsSinceEpoch()); });
    connect(&decoder_, &Decoder::deviceClockRead, this,
            [this](const QDateTime &time) { triggerLogic_.setDeviceClock(time); });
    connect(&decoder_, &Decoder::samplesStored, this, [this] { eventFile_.samplesStored(); });
    connect(&decoder_, &Decoder::deviceAddressSeen, &readout_.deviceAddress, &Control::setText);
    connect(&decoder_, &Decoder::deviceEventTimeChanged, &readout_.deviceEventTime,
            &Control::setText);
    connect(&readout_.rawLogBox, &Control::checkedChanged, this,
            [this] { decoder_.setRawLogging(readout_.rawLogBox.isChecked()); });
}

void Station::wireLinks()
{
    connect(&linkManager_, &LinkManager::eventLogDue, this,
            [this](const QString &message) { eventLog_.appendEventLog(message); });
    connect(&connectionPage_.voiceBox, &Control::checkedChanged, this,
            [this] { voiceLed_.setVoiceOn(connectionPage_.voiceBox.isChecked()); });
    // Until a link is opened, register writes follow the page as it stands.
    connect(&connectionPage_, &ConnectionPage::edited, this,
            [this] { linkManager_.followPage(connectionPage_.settingsShown(linkSettings_)); });
    linkManager_.followPage(connectionPage_.settingsShown(linkSettings_));
    connect(&linkManager_, &LinkManager::recordModeApplied, &deviceSettings_,
            &DeviceSettings::lockWritesForRecordMode);
    auto showAnyHost = [this] {
        connectionPage_.anyHostNote.setVisible(linkManager_.admitsAnyHost());
    };
    connect(&linkManager_, &LinkManager::allowedPeersLoaded, this, showAnyHost);
    showAnyHost();
    connect(&poller(), &Poller::serverForecast, this,
            [this](bool shown, int intensity, int countdown) {
                readout_.serverInfo.setVisible(shown);
                if (!shown)
                    return;
                readout_.serverIntensity.setText(QString::number(intensity));
                readout_.serverCountdown.setText(QString::number(countdown));
            });
    // The poll reads as many registers as the device's firmware answers with, from the
    // response that reports the version on.
    connect(&readout_.liveFields, &LiveFields::changed, this, [this](int i) {
        if (i == Field::FirmwareVersion)
            linkManager_.pollState().followFirmware(
                readout_.liveFields.value(Field::FirmwareVersion));
    });
    linkSettings_.recordMode = recordingSettings_.recordMode();
    connect(&recordingSettings_, &RecordingSettings::recordModeChanged, this,
            [this](bool on) { linkSettings_.recordMode = on; });
    bindLinkStatus();
    linkManager_.startServerWatchdog();
}

// The charts leave a silence empty; the link's failures go to the status line.
void Station::bindLinkStatus()
{
    connect(&linkStatus_, &LinkStatus::silentChanged, &chartFeed_, &ChartFeed::setLinkSilent);
    connect(&linkStatus_, &LinkStatus::errorReported, &readout_.statusLine, &Control::setText);
}

void Station::setStartLink(std::optional<LinkKind> kind, const QString &port, bool recordMode)
{
    startLinkKind_ = kind;
    startPort_ = port;
    startRecordMode_ = recordMode;
}

void Station::applyStartLink()
{
    if (startLinkKind_)
        connectionPage_.selectLinkKind(*startLinkKind_);
    if (!startPort_.isEmpty()) {
        keptSettings_.insert(QStringLiteral("IP"), connectionPage_.hostField.text());
        keptSettings_.insert(QStringLiteral("Port"), connectionPage_.portField.text());
        connectionPage_.portField.setText(startPort_);
    }
    if (startRecordMode_)
        connectionPage_.recordModeBox.setChecked(true);
}

// The clock adjustment runs for the whole session; its tick also keeps the LED sign's clock.
void Station::wireDevice()
{
    connect(&clockAdjust_, &ClockAdjust::ledClockDue, this, [this] { voiceLed_.setLedClock(); });
    DevicePageControls &devicePage = deviceSettings_.controls();
    connect(&clockAdjust_, &ClockAdjust::ticksCounted, this, [&devicePage](int count) {
        devicePage.clockCheckCountdown.setText(QString::number(count));
    });
    devicePage.clockCheckInterval.setText(
        NumberText::doubleText(ClockAdjust::DefaultIntervalTicks));
    connect(&devicePage.clockCheckInterval, &Control::textChanged, this, [this, &devicePage] {
        clockAdjust_.setInterval(NumberText::leadingNumber(devicePage.clockCheckInterval.text()));
    });
    clockAdjust_.start();
    connect(&deviceSettings_, &DeviceSettings::readRequested, this, [this] {
        const LinkKind kind = linkSettings_.kind;
        const Decoder::SettingsRead how =
            linkStatus_.isOpen() ? decoder_.readSettings(kind) : Decoder::SettingsRead::NoLink;
        deviceSettings_.readStarted(how, linkManager_.pollState().recordMode);
    });
    connect(&deviceCommands_, &DeviceCommands::busyChanged, this, [this](bool busy) {
        if (!busy)
            decoder_.resumeAfterCommand(linkSettings_.kind);
    });
    connect(&decoder_, &Decoder::settingsRead, &deviceSettings_, &DeviceSettings::settingsArrived);
    connect(&decoder_, &Decoder::settingsReadUnanswered, &deviceSettings_,
            &DeviceSettings::readUnanswered);
}

Station::~Station() = default;

// The pages hold the settings while the station runs; sys.txt is read onto them and written
// from them.
void Station::applyVoiceFiles()
{
    std::array<QString, VoiceLed::VoiceCount> files;
    for (size_t k = 0; k < files.size(); ++k)
        files[k] = connectionPage_.voiceFileFields[k].text();
    voiceLed_.setVoiceFiles(files);
}

SystemSettings Station::systemSettingsShown() const
{
    SystemSettings s;
    s.userMode = userMode_;
    s.serialPort = connectionPage_.serialPortField.text();
    s.serialSettings = connectionPage_.serialSettingsField.text();
    s.host = connectionPage_.hostField.text();
    s.port = connectionPage_.portField.text();
    s.unitAddress = connectionPage_.unitAddressField.text();
    for (size_t k = 0; k < s.voiceFiles.size(); ++k)
        s.voiceFiles[k] = connectionPage_.voiceFileFields[k].text();
    s.preAlarmSeconds = connectionPage_.preEventField.text();
    s.postAlarmSeconds = connectionPage_.postEventField.text();
    s.accelerationRange = displaySettings_.accelerationBox().text();
    s.pdRange = displaySettings_.pdBox().text();
    s.timeSpan = displaySettings_.spanBox().text();
    s.displacementRange = displaySettings_.displacementBox().text();
    s.recordFolder = recordFolder_.path();
    s.autoRun = connectionPage_.autoRunBox.isChecked();
    s.manualFile = views_.manualFile();
    s.recordMode = connectionPage_.recordModeBox.isChecked();
    s.clockAdjusted = deviceSettings_.controls().clockAdjustedByPc.isChecked();
    s.ledPort = voiceLed_.ledPort();
    s.voiceOn = connectionPage_.voiceBox.isChecked();
    return s;
}

// The stored record folder is not followed: event files go to the program's own RecCSV.
void Station::showSystemSettings(const SystemSettings &s)
{
    userMode_ = s.userMode;
    deviceSettings_.setUserMode(userMode_);
    connectionPage_.serialPortField.setText(s.serialPort);
    connectionPage_.serialSettingsField.setText(s.serialSettings);
    connectionPage_.hostField.setText(s.host);
    connectionPage_.portField.setText(s.port);
    connectionPage_.unitAddressField.setText(s.unitAddress);
    for (size_t k = 0; k < s.voiceFiles.size(); ++k)
        connectionPage_.voiceFileFields[k].setText(s.voiceFiles[k]);
    applyVoiceFiles();
    connectionPage_.preEventField.setText(s.preAlarmSeconds);
    connectionPage_.postEventField.setText(s.postAlarmSeconds);
    displaySettings_.accelerationBox().setText(s.accelerationRange);
    displaySettings_.pdBox().setText(s.pdRange);
    displaySettings_.spanBox().setText(s.timeSpan);
    displaySettings_.displacementBox().setText(s.displacementRange);
    connectionPage_.autoRunBox.setChecked(s.autoRun);
    views_.setManualFile(s.manualFile);
    connectionPage_.recordModeBox.setChecked(s.recordMode);
    deviceSettings_.controls().clockAdjustedByPc.setChecked(s.clockAdjusted);
    voiceLed_.setLedPort(s.ledPort);
    connectionPage_.voiceBox.setChecked(s.voiceOn);
}

// The window's fields and sys.txt hold the recording settings as texts; the rules read numbers.
void Station::bindRecordingSettings()
{
    const auto seconds = [](const Control &field) {
        return NumberText::leadingNumber(field.text());
    };
    const auto fromWindow = [this, seconds] {
        recordingSettings_.setPreAlarmSeconds(seconds(connectionPage_.preEventField));
        recordingSettings_.setPostAlarmSeconds(seconds(connectionPage_.postEventField));
        recordingSettings_.setRecordMode(connectionPage_.recordModeBox.isChecked());
        recordingSettings_.setRecordFolder(recordFolder_.path());
    };
    fromWindow();
    connect(&connectionPage_.preEventField, &Control::textChanged, this, fromWindow);
    connect(&connectionPage_.postEventField, &Control::textChanged, this, fromWindow);
    connect(&connectionPage_.recordModeBox, &Control::checkedChanged, this, fromWindow);
    connect(&recordFolder_, &RecordFolder::folderChanged, this, fromWindow);
}

// The recording indicator also stands for a manual recording, so only the event file's end
// hides it here; the trigger logic shows it.
void Station::wireRecords()
{
    connect(&eventFile_, &EventFile::pendingChanged, this, [this](bool pending) {
        if (!pending)
            alarmPanel_.recording.setVisible(false);
    });
    connect(&eventFile_, &EventFile::notice, &readout_.statusLine, &Control::setText);
    connect(&eventFile_, &EventFile::written, &history_, &History::eventFileWritten);
    history_.setPreAlarmSeconds(recordingSettings_.preAlarmSeconds());
    connect(&recordingSettings_, &RecordingSettings::preAlarmSecondsChanged, &history_,
            &History::setPreAlarmSeconds);
}

// Alarms, voice and the LED sign.
void Station::wireMonitor()
{
    connect(&readout_.liveFields, &LiveFields::changed, this, [this](int i) {
        triggerLogic_.onFieldChanged(i);
        deviceSettings_.mirrorLiveField(i);
    });
}

QString Station::now() const
{
    return NumberText::generalDateTime(services_.clock.now());
}

void Station::start(const QString &commandLine)
{
    fillRangeLists();
    // Lines the file lacks keep what the pages show.
    SystemSettings settings = systemSettingsShown();
    if (SettingsFile::read(services_.folder.file(QStringLiteral("sys.txt")), settings))
        showSystemSettings(settings);
    if (startMode_) {
        keptSettings_.insert(QStringLiteral("engineer Mode"), QString::number(userMode_));
        userMode_ = *startMode_;
        deviceSettings_.setUserMode(userMode_);
    }
    displaySettings_.settleRanges();
    history_.addMiniSeedKeys();
    startMqtt();
    startArchive();
    applyStartLink();
    loadEventSummaries();
    selectRecordFolder();
    recordFolder_.selectLast();
    views_.pages().hostPage.setVisible(true);
    // Opening the link waits with the event loop running, where link lines are logged.
    eventLog_.appendEventLog(now() + QStringLiteral(" Application Start"));
    // An event file a power cut interrupted is written from its journal before new events.
    eventFile_.recoverJournals();
    if (!commandLine.isEmpty()) {
        connectionPage_.hostField.setText(commandLine);
        openLink();
        readout_.maximised.setChecked(true);
    } else if (connectionPage_.autoRunBox.isChecked()) {
        openLink();
        readout_.maximised.setChecked(true);
    }
    if (views_.manualFile().isEmpty())
        views_.setManualFile(QStringLiteral("vorsa_software_manual.pdf"));
    applyUserMode();
}

void Station::setUserMode(int mode)
{
    if (mode < 0 || mode >= int(UserMode::names().size()))
        return;
    // Chosen in the window, the mode is the operator's: sys.txt takes it at the next save.
    keptSettings_.remove(QStringLiteral("engineer Mode"));
    const bool wasEngineer = userMode_ == UserMode::Engineer;
    userMode_ = mode;
    // Engineer mode's controls come with the link, as at OK, and go with the mode.
    if (mode == UserMode::Engineer && linkStatus_.isOpen())
        showEngineeringControls(true);
    else if (wasEngineer && mode != UserMode::Engineer)
        showEngineeringControls(false);
    applyUserMode();
    readout_.statusLine.setText(QStringLiteral("%1 mode").arg(UserMode::name(userMode_)));
}

void Station::showEngineeringControls(bool shown)
{
    readout_.rateCaption.setVisible(shown);
    connectionPage_.showEngineeringControls(shown);
    deviceSettings_.showEngineeringControls(shown);
}

void Station::applyUserMode()
{
    readout_.windowTitle.setText(QLatin1String(TitlePrefix) + UserMode::name(userMode_));
    // Educate mode shows the device and the link as they are and changes neither.
    const bool locked = userMode_ == UserMode::Educate;
    for (Control *page : {&views_.pages().deviceGeneralTab, &views_.pages().deviceConnectionTab,
                          &views_.pages().deviceSystemTab})
        page->setEnabled(!locked);
    for (Control *setting : {&connectionPage_.serialOption, &connectionPage_.tcpClientOption,
                             &connectionPage_.serialPortField, &connectionPage_.serialSettingsField,
                             &connectionPage_.hostField, &connectionPage_.portField,
                             &connectionPage_.unitAddressField})
        setting->setEnabled(!locked);
    // The server option has its own rules; unlocked, it is as it was before.
    if (locked && !serverOptionBeforeLock_) {
        serverOptionBeforeLock_ = connectionPage_.tcpServerOption.isEnabled();
        connectionPage_.tcpServerOption.setEnabled(false);
    } else if (!locked && serverOptionBeforeLock_) {
        connectionPage_.tcpServerOption.setEnabled(
            *std::exchange(serverOptionBeforeLock_, std::nullopt));
    }
    deviceSettings_.setUserMode(userMode_);
    emit userModeChanged(userMode_);
}

void Station::startMqtt()
{
    MqttOptions options = MqttOptions::read(*openExtensionSettings(services_.folder));
    if (!mqttBroker_.isEmpty())
        options.setBroker(mqttBroker_);
    mqtt_.start(options);
}

void Station::startArchive()
{
    const auto ini = openExtensionSettings(services_.folder);
    ArchiveSettings::addMissingKeys(*ini);
    const ArchiveSettings settings = ArchiveSettings::read(*ini, services_.folder);
    if (!settings.enabled)
        return;
    const MiniSeedOptions codes = MiniSeedOptions::read(*ini);
    if (const QString problem = codes.problem(); !problem.isEmpty()) {
        readout_.statusLine.setText(QStringLiteral("No archive: vorsa.ini ") + problem);
        return;
    }
    archive_ = std::make_unique<ArchiveWriter>(settings.folder, codes, services_.clock);
    Control &warning = archive_->warning();
    connect(&warning, &Control::changed, this, [this, &warning] {
        archiveWarning_.setText(warning.text());
        archiveWarning_.setVisible(warning.isVisible());
        if (warning.isVisible())
            readout_.statusLine.setText(warning.text());
    });
    archive_->setLimits(settings.days, settings.maxMB * 1024 * 1024);
    archive_->applyLimits();
    archive_->flushTimer().start();
    qCInfo(lcShell).noquote() << "archiving the stream to" << settings.folder;
}

void Station::fillRangeLists()
{
    const QStringList fitted{QString::fromLatin1(DisplaySettings::AutoRange)};
    displaySettings_.accelerationBox().setItems(AccRanges + fitted);
    displaySettings_.pdBox().setItems(PdRanges);
    deviceSettings_.controls().pgaWarningBox.setItems(PgaThresholds);
    deviceSettings_.controls().pgaWatchBox.setItems(PgaThresholds);
    displaySettings_.spanBox().setItems(TimeSpans);
    history_.pdBox().setItems(PdRanges);
    history_.accelerationBox().setItems(AccRanges);
    history_.spanBox().setItems(TimeSpans + QStringList{QStringLiteral("300")});
    displaySettings_.displacementBox().setItems(DisplacementRanges + fitted);
    history_.accelerationBox().setText(QStringLiteral("10"));
    history_.spanBox().setText(QStringLiteral("120"));
    displaySettings_.displacementBox().setText(QStringLiteral("3"));
    history_.pdBox().setText(QStringLiteral("0.5"));
}

void Station::loadEventSummaries()
{
    QStringList lines;
    QString error;
    const QString path = services_.folder.file(QStringLiteral("Vorsa.txt"));
    if (!QFile::exists(path) || !TextFiles::readLines(path, &lines, &error))
        return;
    // Putting every line on top in turn keeps the newest line plus 62100 characters of the
    // older ones; building that text from the newest end gives the same without the copies.
    QString older;
    for (int i = int(lines.size()) - 2; i >= 0 && older.size() < EventLog::SummaryBoxLimit; --i)
        older += lines[i] + QStringLiteral("\r\n");
    if (!lines.isEmpty())
        eventLog_.summaries().setText(EventLog::withLineOnTop(lines.last(), older));
}

void Station::selectRecordFolder()
{
    const QString recCsv = services_.folder.file(QStringLiteral("RecCSV"));
    if (!QDir().mkpath(recCsv))
        readout_.statusLine.setText(
            QStringLiteral("Cannot create the record folder %1").arg(recCsv));
    recordFolder_.setPath(recCsv);
}

void Station::saveSettings()
{
    QString error;
    const QString path = services_.folder.file(QStringLiteral("sys.txt"));
    const bool ok = SettingsFile::write(path, systemSettingsShown(), &error, keptSettings_);
    if (!ok)
        qCWarning(lcShell) << "cannot write" << path << error;
    settingsNotice_.note(ok, readout_.statusLine,
                         QStringLiteral("Cannot save the settings: %1").arg(error));
}

// Times that do not fit the sample ring are refused where they are confirmed or saved.
bool Station::recordTimesAccepted()
{
    const QString problem = SettingsFile::checkRecordTimes(
        NumberText::leadingNumber(connectionPage_.preEventField.text()),
        NumberText::leadingNumber(connectionPage_.postEventField.text()));
    if (!problem.isEmpty())
        readout_.statusLine.setText(problem);
    return problem.isEmpty();
}

void Station::saveSettingsIfValid()
{
    if (recordTimesAccepted())
        saveSettings();
}

void Station::openLink()
{
    if (linkManager_.isOpening() || !recordTimesAccepted())
        return;
    const LinkSettings wanted = connectionPage_.settingsShown(linkSettings_);
    if (wanted.kind == LinkKind::Rtu && !connectionPage_.unitAddress()) {
        readout_.statusLine.setText(
            QStringLiteral("Slave address \"%1\" is not a number from 0 to 255")
                .arg(connectionPage_.unitAddressField.text()));
        return;
    }
    applyVoiceFiles();
    const LinkManager::Opened opened = linkManager_.openLink(wanted);
    if (opened == LinkManager::Opened::Busy)
        return;
    if (connectionPage_.voiceBox.isChecked())
        voiceLed_.playSelfTest();
    views_.pages().hostPage.setVisible(false);
    saveSettings();
    readout_.deviceAddress.setText(connectionPage_.hostField.text());
    if (userMode_ == UserMode::Engineer)
        showEngineeringControls(true);
    if (opened == LinkManager::Opened::Reopened)
        deviceSettings_.hideFirmwareFeatures();
    views_.showRealTimeView();
}

void Station::showDeviceSettings()
{
    views_.showDevicePage();
    deviceSettings_.showDeviceSettings();
}

void Station::showHostSettings()
{
    views_.showHostPage();
}

void Station::confirmExit()
{
    // Leaving in the middle of a recording cuts it short: the operator is told so.
    const bool recording = manualRecording_.isRecording() || eventFile_.isPending();
    const QString question =
        recording
            ? QStringLiteral("An event is being recorded; exit now and keep what is recorded?")
            : QStringLiteral("Do you want to exit ?");
    if (!services_.prompter.askYesNo(question, QStringLiteral("Warning!")))
        return;
    eventLog_.appendEventLog(now() + QStringLiteral(" Manual Exit Application"));
    endSession();
}

void Station::systemExit()
{
    eventLog_.appendEventLog(now() + QStringLiteral(" System Exit Application"));
    endSession();
}

void Station::endSession()
{
    manualRecording_.finish();
    eventFile_.finishPending();
    if (archive_) {
        archive_->flush();
        archive_->pendingWrites().retry();
    }
    PendingWrites &pending = eventLog_.pendingWrites();
    pending.retry();
    for (const QString &path : pending.waitingFiles())
        qCCritical(lcShell).noquote() << "lost at exit, could not be written:" << path;
    emit quitRequested();
}
