#pragma once

#include "LinkSettings.h"
#include "ReadPace.h"
#include "RegisterMap.h"
#include "TcpFramer.h"
#include "common/AlarmGate.h"
#include "common/DecodedPacket.h"
#include "common/FailureNotice.h"
#include "common/LiveFields.h"

#include <QByteArray>
#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <array>
#include <optional>

class DeviceLink;
class Control;
class LiveFields;
class LinkStatus;
struct PollState;
class ProgramFolder;
class ServerLink;
class TcpReconnect;

// Turns what the device sends into the live fields: Modbus responses and stream packets on
// the two TCP links and RTU responses on the serial link, with the per-sample work and the
// status steps after each. It listens to the links it is given.
class Decoder : public QObject
{
    Q_OBJECT
public:
    static constexpr int SamplesPerPacket = 100;

    Decoder(LiveFields &fields, Control &statusLine, PollState &state, LinkStatus &status,
            DeviceLink &serial, DeviceLink &client, ServerLink &server, TcpReconnect &reconnect,
            const ProgramFolder &folder, QObject *parent = nullptr);

    // "Raw receive log": every read on the client link is appended to Vorsarec.txt.
    void setRawLogging(bool on) { rawLogging_ = on; }

public slots:
    // Modbus answers, or stream packets in Record mode, from the client link.
    void clientBytesArrived(const QByteArray &bytes);
    // Stream packets from the device connected to the server link.
    void serverBytesArrived(const QByteArray &bytes);
    // What the serial link read once the line settled: a whole response is taken and the
    // next read asked for; a part waits for the rest.
    void onSerialBytes(const QByteArray &bytes);

public:
    // How the device pages' registers come: not at all without a link, with the next poll
    // answer, or by a one-off read slotted between the stream packets.
    enum class SettingsRead { NoLink, FromPoll, OneOff };
    // Asks for the registers the device pages show; `settingsRead` tells when they are in.
    SettingsRead readSettings(LinkKind kind);
    // A device command ended: the poll's reads, cut off while it ran, go on at once, so its
    // writes never look like a silent device.
    void resumeAfterCommand(LinkKind kind);
    // How long a one-off read waits for its answer.
    static constexpr int SettingsReadTimeoutMs = 3000;

signals:
    void evaluateAlarmsDue(AlarmGate gate);
    void intensityDisplayDue();
    // After the fields of a packet are written and before the steps that follow every packet.
    void packetDecoded(const DecodedPacket &packet);
    // Every answer or packet, before the live-field copies: an event's summary counts them.
    void answerDecoded();
    // A stream packet's date and time, before its fields change.
    void deviceClockRead(const QDateTime &time);
    void samplesStored();          // a stream packet's samples are in `SampleRing`
    void settingsRead();           // the registers asked for by `readSettings()` are in
    void settingsReadUnanswered(); // the one-off read went unanswered
    // The address a stream packet came from on the server link.
    void deviceAddressSeen(const QString &address);
    // The device's last event time as its fields give it, "yyyy/MM/dd HH:mm", when it changes.
    void deviceEventTimeChanged(const QString &text);

private:
    enum class Path { Client, Server };
    enum class Outcome { StreamDecoded, ModbusAnswer, Undecoded };

    void handleClientPacket(const QByteArray &packet);
    void handleClientStream(const QByteArray &packet);
    void handleClientModbus(const QByteArray &packet);
    bool withdrawStreamRequest();
    void handleServerPacket(const QByteArray &packet);
    bool isSettingsAnswer(const QByteArray &packet) const;
    void takeSettingsAnswer(const QByteArray &packet);
    void finishSettingsRead();
    int expectedAnswerLength() const;
    // `streaming`: the path carries stream packets now (the server link, or Record mode).
    bool isDroppedUnseen(const QByteArray &packet, bool streaming) const;
    void rejectFrame();

    void decodeStream(const QByteArray &packet, int start, Path path);
    void takeDeviceClock(const QByteArray &packet, int start);
    void decodeSamples(const QByteArray &packet, int start, DecodedPacket &decoded);
    DecodedPacket decodeRegisters(const QByteArray &packet, int firstByte, bool serial);
    void writeField(const RegisterMap::Rule &rule, int value);

    void runTail(Path path, Outcome outcome);
    void sendNextClientRead();
    void sendNextSerialRead();
    void writeDerivedCopies();
    void writeDerivedAddresses(bool withCompanion);
    void writeEventLabel();
    void rawLog(const QByteArray &bytes);

    LiveFields &fields_;
    Control &statusLine_;
    bool rawLogging_ = false;
    PollState &state_;
    LinkStatus &status_;
    DeviceLink &serial_;
    DeviceLink &client_;
    ServerLink &server_;
    TcpReconnect &reconnect_;
    const ProgramFolder &folder_;

    ReadPace clientReads_{[this] { sendNextClientRead(); }};
    ReadPace serialReads_{[this] { sendNextSerialRead(); }};
    TcpFramer clientFramer_;
    TcpFramer serverFramer_;
    QElapsedTimer uptime_;
    QList<QByteArray> clientQueue_, serverQueue_;
    bool handlingClient_ = false;
    bool handlingServer_ = false;
    FailureNotice rawLogNotice_;
    QByteArray serialWaiting_; // read from the serial link, not yet a whole response
    QTimer settingsReadTimer_;

    RegisterMap::TextCache texts_;
    // The fields the event label was last built from: year, month, day, hour, minute.
    using EventLabelSources = std::array<QString, 5>;
    std::optional<EventLabelSources> eventLabelSources_;
};
