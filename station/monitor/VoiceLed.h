#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTimer>
#include <array>
#include <optional>

class Clock;
class EventState;
class LiveFields;
class LedPort;
class ProgramFolder;
class SoundPlayer;
class Waiter;

// The voice alerts (one wave file per intensity 0..12) and the serial LED sign: its text
// message during an event and its clock. Fire and forget: nothing is read back, no failure
// is reported.
class VoiceLed
{
public:
    static constexpr int LedMessageSize = 45;
    static constexpr int ClockMessageSize = 28;

    static constexpr int VoiceIntervalMs = 4000;
    static constexpr int VoiceCount = 13; // intensities 0..12

    VoiceLed(const LiveFields &fields, const EventState &events, const ProgramFolder &folder,
             const Clock &clock, Waiter &waiter, SoundPlayer &sound, LedPort &port);

    // "Voice Enable".
    void setVoiceOn(bool on) { voiceOn_ = on; }
    // The wave file spoken for each intensity.
    void setVoiceFiles(const std::array<QString, VoiceCount> &files) { voiceFiles_ = files; }
    // The LED sign's serial port number; 0: no sign.
    void setLedPort(int port) { ledPort_ = port; }
    int ledPort() const { return ledPort_; }

    // Runs while an event is in progress.
    const QTimer &voiceTimer() const { return voiceTimer_; }
    // Every 4 s during an event: speak the intensity, refresh the sign.
    void onVoiceTick();
    // The self-test sound when the link is opened.
    void playSelfTest();

    void showOnLed(const QString &intensityText, const QString &valueText);
    void setLedClock();

private:
    // The intensity a text names, strictly: no number gives none.
    static std::optional<int> intensityOf(const QString &text);
    void playVoice(int intensity);
    // A new intensity during an event is spoken at once; the tick repeats it.
    void announceChangedIntensity();
    void send(const QByteArray &message);
    void transmit(const QByteArray &message);

    void onEventEnded();

    const LiveFields &fields_;
    const EventState &events_;
    const ProgramFolder &folder_;
    const Clock &clock_;
    Waiter &waiter_;
    SoundPlayer &sound_;
    LedPort &port_;
    // A message due while another one waits for the sign (a timer tick inside the pause)
    // goes out after it instead of colliding on the same port.
    QList<QByteArray> pending_;
    bool sending_ = false;
    int lastSpokenLevel_ = 0;
    QTimer voiceTimer_;
    bool voiceOn_ = false;
    std::array<QString, VoiceCount> voiceFiles_;
    int ledPort_ = 0;
};
