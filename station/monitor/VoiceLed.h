#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

class Clock;
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

    VoiceLed(Form &form, const ProgramFolder &folder, const Clock &clock, Waiter &waiter,
             SoundPlayer &sound, LedPort &port);

    // Every 4 s during an event: speak the intensity, refresh the sign.
    void onVoiceTick();
    // The poll's immediate announcement of a changed intensity during an event.
    void pollVoiceStep();
    // The self-test sound when the link is opened.
    void playSelfTest();

    void ShowOnLed(const QString &intensityText, const QString &valueText);
    void SetLedClock();

private:
    // The intensity a text names, strictly: no number gives none.
    static std::optional<int> intensityOf(const QString &text);
    void playVoice(int intensity);
    void send(const QByteArray &message);
    void transmit(const QByteArray &message);

    Form &form_;
    const ProgramFolder &folder_;
    const Clock &clock_;
    Waiter &waiter_;
    SoundPlayer &sound_;
    LedPort &port_;
    // A message due while another one waits for the sign (a timer tick inside the pause)
    // goes out after it instead of colliding on the same port.
    QList<QByteArray> pending_;
    bool sending_ = false;
};
