#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTimer>
#include <optional>

class Clock;
class EventState;
class Form;
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

    VoiceLed(Form &form, const EventState &events, const ProgramFolder &folder, const Clock &clock,
             Waiter &waiter, SoundPlayer &sound, LedPort &port);

    // Runs while an event is in progress.
    const QTimer &voiceTimer() const { return voiceTimer_; }
    // Every 4 s during an event: speak the intensity, refresh the sign.
    void onVoiceTick();
    // The poll's immediate announcement of a changed intensity during an event.
    void pollVoiceStep();
    // The self-test sound when the link is opened.
    void playSelfTest();

    void showOnLed(const QString &intensityText, const QString &valueText);
    void setLedClock();

private:
    // The intensity a text names, strictly: no number gives none.
    static std::optional<int> intensityOf(const QString &text);
    void playVoice(int intensity);
    void send(const QByteArray &message);
    void transmit(const QByteArray &message);

    void onEventEnded();

    Form &form_;
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
};
