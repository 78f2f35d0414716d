#include "VoiceLed.h"

#include "EventState.h"
#include "LedPort.h"

#include "common/Clock.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
#include "common/NumberText.h"
#include "common/Platform.h"
#include "common/SerialPortName.h"
#include "common/Waiter.h"

#include <array>

namespace
{

constexpr int VoiceCount = 13;
constexpr int ValueWidth = 5;
constexpr int SignAnswerWaitMs = 100;

constexpr std::array<quint8, 7> SignHeader = {0xFF, 0x80, 0x7F, 0x01, 0x00, 0x01, 0xFF};
// Big5 "an earthquake has occurred" and "level".
constexpr std::array<quint8, 8> EarthquakeBig5 = {0xB5, 0x6F, 0xA5, 0xCD, 0xA6, 0x61, 0xBE, 0x5F};
constexpr std::array<quint8, 2> LevelBig5 = {0xAF, 0xC5};
constexpr std::array<quint8, 3> ClockTrailer = {0xFF, 0xF4, 0x0B};

template <std::size_t N> void put(QByteArray &message, int at, const std::array<quint8, N> &bytes)
{
    for (std::size_t k = 0; k < N; ++k)
        message[at + int(k)] = char(bytes[k]);
}

QByteArray ledMessage(const QString &intensityText, const QString &valueText)
{
    QByteArray m(VoiceLed::LedMessageSize, '\0');
    put(m, 0, SignHeader);
    m[7] = char(0x07);
    m[8] = char(0xF8);
    m[10] = char(0x05);
    m[11] = ' ';
    put(m, 12, EarthquakeBig5);
    m[20] = ' ';
    if (!intensityText.isEmpty())
        m[21] = intensityText.front().toLatin1();
    put(m, 22, LevelBig5);
    // A value of 1000 gal or more is cut to its first five characters.
    const QString value = valueText.left(ValueWidth);
    for (int k = 0; k < value.size(); ++k)
        m[24 + k] = value[k].toLatin1();
    m[29] = 'g';
    m[30] = 'a';
    m[31] = 'l';
    for (int k = 32; k <= 41; ++k)
        m[k] = ' ';
    return m;
}

void putDigits(QByteArray &message, int at, int value)
{
    message[at] = char(value % 10);
    message[at + 1] = char(value / 10);
}

QByteArray clockMessage(const QDateTime &when)
{
    QByteArray m(VoiceLed::ClockMessageSize, '\0');
    put(m, 0, SignHeader);
    m[7] = char(0x02);
    m[8] = char(0xFD);
    const QDate d = when.date();
    const QTime t = when.time();
    putDigits(m, 9, t.second());
    putDigits(m, 11, t.minute());
    putDigits(m, 13, t.hour());
    putDigits(m, 15, d.day());
    putDigits(m, 17, d.month());
    putDigits(m, 19, d.year() - 2000);
    m[21] = char(d.dayOfWeek() % 7); // Sunday 0 ... Saturday 6
    m[22] = char(0x02);
    char check = 0;
    for (int k = 9; k <= 23; ++k)
        check ^= m[k];
    m[24] = check;
    put(m, 25, ClockTrailer);
    return m;
}

} // namespace

VoiceLed::VoiceLed(const LiveFields &fields, const EventState &events, const ProgramFolder &folder,
                   const Clock &clock, Waiter &waiter, SoundPlayer &sound, LedPort &port)
    : fields_(fields), events_(events), folder_(folder), clock_(clock), waiter_(waiter),
      sound_(sound), port_(port)
{
    voiceTimer_.setInterval(VoiceIntervalMs);
    QObject::connect(&voiceTimer_, &QTimer::timeout, &voiceTimer_, [this] { onVoiceTick(); });
    // Started once per event: the flags change on many answers while an event runs, and
    // restarting the interval on each would keep the voice from ever coming due.
    QObject::connect(&events, &EventState::started, &voiceTimer_, [this] {
        voiceTimer_.start();
        announceChangedIntensity();
    });
    QObject::connect(&fields, &LiveFields::changed, &voiceTimer_, [this](int field) {
        if (field == Field::Intensity)
            announceChangedIntensity();
    });
    QObject::connect(&events, &EventState::ended, &voiceTimer_, [this] { onEventEnded(); });
}

void VoiceLed::onEventEnded()
{
    voiceTimer_.stop();
    lastSpokenLevel_ = 0;
}

std::optional<int> VoiceLed::intensityOf(const QString &text)
{
    double value = 0;
    qint32 intensity = 0;
    if (!NumberText::parseNumber(text, &value) || !NumberText::toInt32(value, &intensity))
        return std::nullopt;
    return intensity;
}

void VoiceLed::playVoice(int intensity)
{
    if (!voiceOn_ || intensity < 0 || intensity >= VoiceCount)
        return;
    sound_.play(voiceFiles_[size_t(intensity)]);
}

void VoiceLed::onVoiceTick()
{
    if (!events_.isInProgress())
        return;
    const QString intensity = fields_.text(Field::Intensity);
    if (const auto level = intensityOf(intensity))
        playVoice(*level);
    if (ledPort_ == 0)
        return;
    const QString value = NumberText::fixed(fields_.value(Field::VectorMax), 1);
    showOnLed(intensity, NumberText::rightAligned(value, ValueWidth));
}

void VoiceLed::announceChangedIntensity()
{
    if (!events_.isInProgress())
        return;
    const auto level = intensityOf(fields_.text(Field::Intensity));
    if (!level || *level == lastSpokenLevel_)
        return;
    lastSpokenLevel_ = *level;
    playVoice(*level);
}

void VoiceLed::playSelfTest()
{
    playVoice(0);
}

void VoiceLed::showOnLed(const QString &intensityText, const QString &valueText)
{
    send(ledMessage(intensityText, valueText));
}

void VoiceLed::setLedClock()
{
    send(clockMessage(clock_.now()));
}

void VoiceLed::send(const QByteArray &message)
{
    if (ledPort_ <= 0)
        return;
    pending_ << message;
    if (sending_)
        return;
    sending_ = true;
    while (!pending_.isEmpty())
        transmit(pending_.takeFirst());
    sending_ = false;
}

void VoiceLed::transmit(const QByteArray &message)
{
    port_.open(resolveSerialPort(QString::number(ledPort_), folder_));
    port_.discardInput();
    port_.write(message);
    waiter_.pause(SignAnswerWaitMs);
    port_.discardReceived();
    port_.close();
}
