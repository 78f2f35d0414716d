#include "Decoder.h"

#include "DeviceLink.h"
#include "LinkLog.h"
#include "LinkStatus.h"
#include "ModbusFrames.h"
#include "PollState.h"
#include "common/Control.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
#include "common/NumberText.h"
#include "common/ProgramFolder.h"
#include "common/TextFiles.h"

#include <iterator>
#include <utility>

using RegisterMap::Rule;
using RegisterMap::TextForm;

namespace
{

constexpr int StreamLength = TcpFramer::StreamLength;
constexpr int SampleBytesStart = 200;
constexpr int SampleBytes = 10;
constexpr int StreamPacketType = 1;

// Modbus TCP: MBAP header, function code, byte count, then the registers.
constexpr int TcpDataAt = 9;
// Modbus RTU: address, function code, byte count, registers, CRC.
constexpr int RtuDataAt = 3;
constexpr int RtuOverhead = 5;

// The five words of a stream sample and where they go.
const Rule SampleRules[] = {
    {Field::AccelerationA, TextForm::SampleAcceleration},
    {Field::AccelerationB, TextForm::SampleAcceleration},
    {Field::AccelerationC, TextForm::SampleAcceleration},
    {Field::Pd, TextForm::Thousandths},
    {Field::Displacement, TextForm::Thousandths},
};

quint8 byteAt(const QByteArray &bytes, int i)
{
    return i >= 0 && i < bytes.size() ? quint8(bytes[i]) : 0;
}

// Word k of a stream packet, little-endian.
int streamWord(const QByteArray &packet, int start, int k, bool isUnsigned = false)
{
    const int at = start + 2 * k;
    return RegisterMap::word(byteAt(packet, at + 1), byteAt(packet, at), isUnsigned);
}

bool acceptedStream(const QByteArray &packet, int start)
{
    return packet.size() - start >= StreamLength && byteAt(packet, start) == 1 &&
           byteAt(packet, start + 2) <= 8 && byteAt(packet, start + 5) == 7;
}

// The packet is taken to start at byte 200 when a longer read does not begin with a stream
// packet but has one there.
int streamStart(const QByteArray &packet)
{
    const int leadIn = TcpFramer::LeadInLength;
    return packet.size() > StreamLength && byteAt(packet, 0) != 1 && byteAt(packet, leadIn) == 1
               ? leadIn
               : 0;
}

// A field's text in the "00" pattern; a text that is no number stays as it is.
QString twoDigits(const QString &text)
{
    double value = 0;
    if (!NumberText::parseNumber(text, &value))
        return text;
    QString digits = NumberText::fixed(value, 0);
    const bool negative = digits.startsWith(QLatin1Char('-'));
    if (negative)
        digits.remove(0, 1);
    return (negative ? QStringLiteral("-") : QString()) +
           digits.rightJustified(2, QLatin1Char('0'));
}

QString hexByte(quint8 b)
{
    static const QString Digits = QStringLiteral("0123456789ABCDEF");
    return b < 16 ? QString(QLatin1Char(' ')) + Digits[b]
                  : QString(Digits[b >> 4]) + Digits[b & 15];
}

} // namespace

Decoder::Decoder(LiveFields &fields, Control &statusLine, PollState &state, LinkStatus &status,
                 DeviceLink &serial, DeviceLink &client, ServerLink &server,
                 TcpReconnect &reconnect, const ProgramFolder &folder, QObject *parent)
    : QObject(parent), fields_(fields), statusLine_(statusLine), state_(state), status_(status),
      serial_(serial), client_(client), server_(server), reconnect_(reconnect), folder_(folder)
{
    uptime_.start();
    connect(&client_, &DeviceLink::bytesReceived, this, &Decoder::clientBytesArrived);
    connect(&server_, &DeviceLink::bytesReceived, this, &Decoder::serverBytesArrived);
    connect(&serial_, &DeviceLink::bytesReceived, this, &Decoder::onSerialBytes);
    // A packet begun on a connection that is gone will never be finished.
    connect(&client_, &DeviceLink::reset, this, [this] { clientFramer_.clear(); });
    connect(&server_, &DeviceLink::reset, this, [this] { serverFramer_.clear(); });
    connect(&serial_, &DeviceLink::reset, this, [this] { serialWaiting_.clear(); });
    settingsReadTimer_.setSingleShot(true);
    settingsReadTimer_.setInterval(SettingsReadTimeoutMs);
    connect(&settingsReadTimer_, &QTimer::timeout, this, [this] {
        state_.settingsReadPending = false;
        emit settingsReadUnanswered();
    });
}

// ---- The device pages' registers ----

Decoder::SettingsRead Decoder::readSettings(LinkKind kind)
{
    DeviceLink &link = kind == LinkKind::Rtu         ? serial_
                       : kind == LinkKind::TcpClient ? static_cast<DeviceLink &>(client_)
                                                     : server_;
    if (!link.isOpen())
        return SettingsRead::NoLink;
    state_.settingsReadPending = true;
    settingsReadTimer_.start();
    const bool streaming =
        kind == LinkKind::TcpServer || (kind == LinkKind::TcpClient && state_.recordMode);
    if (!streaming)
        return SettingsRead::FromPoll;
    // The device answers a read between two stream packets; the framer then expects both.
    link.send(ModbusFrames::tcpReadHolding(state_.unitAddress, state_.pollRegisters));
    return SettingsRead::OneOff;
}

void Decoder::resumeAfterCommand(LinkKind kind)
{
    if (kind == LinkKind::Rtu) {
        // Echoes of the writes and a cut-off answer: nothing in them is a whole response.
        const bool cutOff = !serialWaiting_.isEmpty();
        serialWaiting_.clear();
        if (cutOff && serial_.isOpen())
            sendNextSerialRead();
    } else if (kind == LinkKind::TcpClient && state_.pollAnswerDropped) {
        sendNextClientRead();
    }
    state_.pollAnswerDropped = false;
}

int Decoder::expectedAnswerLength() const
{
    return state_.settingsReadPending ? state_.pollBytes() + TcpDataAt : 0;
}

bool Decoder::isSettingsAnswer(const QByteArray &packet) const
{
    return state_.settingsReadPending &&
           ModbusFrames::isTcpReadAnswer(packet, state_.unitAddress, state_.pollBytes());
}

// Only the fields no stream packet refreshes: the others stay as the stream has them, so the
// alarm rules see one sequence of values.
void Decoder::takeSettingsAnswer(const QByteArray &packet)
{
    for (int i = 0; i < state_.pollRegisters; ++i) {
        const Rule rule = RegisterMap::modbusRule(i, false);
        if (rule.field < 0 || RegisterMap::streamCarries(rule.field))
            continue;
        const int at = TcpDataAt + 2 * i;
        writeField(rule,
                   RegisterMap::word(byteAt(packet, at), byteAt(packet, at + 1), rule.isUnsigned));
    }
    writeDerivedAddresses(true);
    finishSettingsRead();
}

void Decoder::finishSettingsRead()
{
    if (!state_.settingsReadPending)
        return;
    state_.settingsReadPending = false;
    settingsReadTimer_.stop();
    emit settingsRead();
}

// ---- TCP client link ----

void Decoder::clientBytesArrived(const QByteArray &bytes)
{
    state_.awaitingReply = false;
    if (rawLogging_)
        rawLog(bytes);
    const TcpFramer::Expected expected =
        state_.recordMode ? TcpFramer::Expected{expectedAnswerLength(), true, true}
                          : TcpFramer::Expected{state_.pollBytes() + TcpDataAt, false, false};
    clientQueue_ += clientFramer_.take(bytes, expected, uptime_.elapsed());
    // Reconnecting inside a packet's handling lets more bytes arrive; they wait their turn.
    if (handlingClient_)
        return;
    handlingClient_ = true;
    while (!clientQueue_.isEmpty())
        handleClientPacket(clientQueue_.takeFirst());
    handlingClient_ = false;
}

// The answers to writes and, during a command, the answers it may cross are dropped without a
// trace. A stream packet is kept even then: it holds a second of samples that the ring, the
// event file and the archive would otherwise never get.
bool Decoder::isDroppedUnseen(const QByteArray &packet, bool streaming) const
{
    if (ModbusFrames::isTcpWriteAnswer(packet, state_.unitAddress))
        return true;
    return state_.commandInProgress && !(streaming && packet.size() >= StreamLength);
}

// A frame that failed the checks changes no field; the operator sees how many there were.
void Decoder::rejectFrame()
{
    status_.countRejectedFrame();
}

void Decoder::handleClientPacket(const QByteArray &packet)
{
    if (state_.recordMode && isSettingsAnswer(packet)) {
        takeSettingsAnswer(packet);
        return;
    }
    if (isDroppedUnseen(packet, state_.recordMode)) {
        if (state_.commandInProgress && !state_.recordMode &&
            ModbusFrames::isTcpReadAnswer(packet, state_.unitAddress, state_.pollBytes()))
            state_.pollAnswerDropped = true;
        return;
    }
    if (state_.recordMode)
        handleClientStream(packet);
    else
        handleClientModbus(packet);
}

void Decoder::handleClientStream(const QByteArray &packet)
{
    if (packet.size() < StreamLength) {
        rejectFrame();
        runTail(Path::Client, Outcome::Undecoded);
        return;
    }
    const int start = streamStart(packet);
    if (!acceptedStream(packet, start)) {
        rejectFrame();
        return;
    }
    decodeStream(packet, start, Path::Client);
    state_.streamQuietTicks = 0;
    ++state_.streamPackets;
    runTail(Path::Client, Outcome::StreamDecoded);
}

void Decoder::handleClientModbus(const QByteArray &packet)
{
    if (!withdrawStreamRequest())
        return;
    if (ModbusFrames::isTcpReadAnswer(packet, state_.unitAddress, state_.pollBytes())) {
        emit packetDecoded(decodeRegisters(packet, TcpDataAt, false));
        finishSettingsRead();
    } else {
        rejectFrame();
    }
    runTail(Path::Client, Outcome::ModbusAnswer);
}

// The first response after Record mode was left stops the device's stream.
bool Decoder::withdrawStreamRequest()
{
    if (!state_.streamRequested)
        return true;
    if (!client_.isOpen())
        return false;
    const auto stop =
        ModbusFrames::tcpWriteSingle(state_.unitAddress, ModbusFrames::StreamControlRegister, 0);
    client_.send(*stop);
    state_.streamRequested = false;
    return true;
}

// ---- TCP server link ----

void Decoder::serverBytesArrived(const QByteArray &bytes)
{
    state_.awaitingReply = false;
    serverQueue_ +=
        serverFramer_.take(bytes, {expectedAnswerLength(), true, false}, uptime_.elapsed());
    if (handlingServer_)
        return;
    handlingServer_ = true;
    while (!serverQueue_.isEmpty())
        handleServerPacket(serverQueue_.takeFirst());
    handlingServer_ = false;
}

// Only what passes the checks shows the device is there: a host that sends anything else is
// dropped by the watchdog like a silent one.
void Decoder::handleServerPacket(const QByteArray &packet)
{
    if (ModbusFrames::isTcpWriteAnswer(packet, state_.unitAddress))
        state_.serverIdleSeconds = 0;
    if (isSettingsAnswer(packet)) {
        state_.serverIdleSeconds = 0;
        takeSettingsAnswer(packet);
        return;
    }
    if (isDroppedUnseen(packet, true))
        return;
    if (packet.size() != StreamLength) {
        rejectFrame();
        runTail(Path::Server, Outcome::Undecoded);
        return;
    }
    if (!acceptedStream(packet, 0)) {
        rejectFrame();
        return;
    }
    decodeStream(packet, 0, Path::Server);
    state_.serverIdleSeconds = 0;
    runTail(Path::Server, Outcome::StreamDecoded);
}

// ---- Stream packets ----

void Decoder::decodeStream(const QByteArray &packet, int start, Path path)
{
    takeDeviceClock(packet, start);
    if (path == Path::Server)
        emit deviceAddressSeen(server_.peerAddress());
    DecodedPacket decoded;
    decoded.words.resize(RegisterMap::StreamHeaderWords);
    for (int k = 0; k < RegisterMap::StreamHeaderWords; ++k) {
        const Rule rule = RegisterMap::streamRule(k);
        decoded.words[k] = streamWord(packet, start, k, rule.isUnsigned);
        if (rule.field >= 0)
            writeField(rule, decoded.words[k]);
    }
    const bool hasSamples = decoded.words[0] == StreamPacketType;
    if (hasSamples)
        decodeSamples(packet, start, decoded);
    emit packetDecoded(decoded); // the samples reach the ring here
    if (hasSamples)
        emit samplesStored();
}

// Only a packet whose event year is plausible (high byte 7) and whose date and time exist
// moves the device clock.
void Decoder::takeDeviceClock(const QByteArray &packet, int start)
{
    if (byteAt(packet, start + 17) != 7)
        return;
    const QDate date(streamWord(packet, start, 8), streamWord(packet, start, 9),
                     streamWord(packet, start, 10));
    const QTime time(streamWord(packet, start, 11), streamWord(packet, start, 12),
                     byteAt(packet, start + 26));
    if (date.isValid() && time.isValid())
        emit deviceClockRead(QDateTime(date, time));
}

void Decoder::decodeSamples(const QByteArray &packet, int start, DecodedPacket &decoded)
{
    decoded.samples.resize(SamplesPerPacket);
    for (int s = 0; s < SamplesPerPacket; ++s) {
        const int at = start + SampleBytesStart + s * SampleBytes;
        std::array<double, std::size(SampleRules)> values{};
        for (size_t i = 0; i < values.size(); ++i) {
            const int word = RegisterMap::word(byteAt(packet, at + 2 * int(i) + 1),
                                               byteAt(packet, at + 2 * int(i)), false);
            writeField(SampleRules[i], word);
            values[i] = texts_.number(SampleRules[i].readout, word);
        }
        decoded.samples[size_t(s)] = {values[0], values[1], values[2], values[3], values[4]};
    }
}

// ---- Register responses (TCP client and serial) ----

DecodedPacket Decoder::decodeRegisters(const QByteArray &packet, int firstByte, bool serial)
{
    DecodedPacket decoded;
    decoded.source =
        serial ? DecodedPacket::Source::SerialResponse : DecodedPacket::Source::TcpResponse;
    const int available = (int(packet.size()) - firstByte) / 2;
    decoded.words.resize(size_t(qMax(0, qMin(state_.pollRegisters, available))));
    for (int i = 0; i < int(decoded.words.size()); ++i) {
        const Rule rule = RegisterMap::modbusRule(i, serial);
        const int at = firstByte + 2 * i;
        int &word = decoded.words[size_t(i)];
        word = RegisterMap::word(byteAt(packet, at), byteAt(packet, at + 1), rule.isUnsigned);
        if (rule.field >= 0)
            writeField(rule, word);
    }
    // Every poll length reaches past the displacement, so a whole response carries one sample.
    if (int(decoded.words.size()) > Field::Displacement) {
        const auto number = [&](int offset) {
            return texts_.number(RegisterMap::modbusRule(offset, serial).readout,
                                 decoded.words[size_t(offset)]);
        };
        decoded.samples.push_back({number(Field::AccelerationA), number(Field::AccelerationB),
                                   number(Field::AccelerationC), number(Field::Pd),
                                   number(Field::Displacement)});
    }
    return decoded;
}

void Decoder::writeField(const Rule &rule, int value)
{
    fields_.setText(rule.field, texts_.text(rule.readout, value));
}

// ---- Serial link ----

void Decoder::onSerialBytes(const QByteArray &bytes)
{
    serialWaiting_ += bytes;
    // A command's writes are answered by echoes that its own steps wait out.
    if (state_.commandInProgress)
        return;
    const int frameLength = state_.pollBytes() + RtuOverhead;
    if (serialWaiting_.size() < frameLength)
        return;
    const QByteArray frame = std::exchange(serialWaiting_, QByteArray());
    if (ModbusFrames::isRtuReadAnswer(frame, state_.unitAddress, state_.pollBytes())) {
        const DecodedPacket decoded = decodeRegisters(frame, RtuDataAt, true);
        writeDerivedAddresses(true);
        emit packetDecoded(decoded);
        finishSettingsRead();
    } else {
        rejectFrame();
    }
    serialReads_.sendWhenDue();
    state_.serialAnswerSeen = true;
    emit answerDecoded();
    writeDerivedCopies();
    writeEventLabel();
    emit evaluateAlarmsDue(AlarmGate::Lamp);
    emit intensityDisplayDue();
    ++state_.serialAnswers;
    status_.setSilent(false);
}

void Decoder::sendNextSerialRead()
{
    serial_.send(ModbusFrames::rtuReadHolding(state_.unitAddress, state_.pollRegisters));
}

// ---- What follows every packet ----

void Decoder::runTail(Path path, Outcome outcome)
{
    const bool clientAnswer = outcome == Outcome::ModbusAnswer;
    if (clientAnswer) {
        ++state_.clientAnswers;
        state_.clientAnswerSeen = true;
    }
    if (outcome != Outcome::Undecoded) {
        writeEventLabel();
        emit evaluateAlarmsDue(clientAnswer ? AlarmGate::Lamp : AlarmGate::Trigger);
    }
    if (clientAnswer)
        clientReads_.sendWhenDue();
    emit answerDecoded();
    writeDerivedCopies();
    writeDerivedAddresses(path == Path::Client);
    emit intensityDisplayDue();
    if (path == Path::Server)
        status_.setSilent(false);
}

void Decoder::sendNextClientRead()
{
    if (!client_.isOpen())
        reconnect_.reconnectTcpLink();
    if (client_.isOpen())
        client_.send(ModbusFrames::tcpReadHolding(state_.unitAddress, state_.pollRegisters));
}

void Decoder::writeDerivedCopies()
{
    LiveFields &fields = fields_;
    for (int axis = 0; axis < 3; ++axis)
        fields.setText(Field::AxisOffsetCopyA + axis, fields.text(Field::AxisOffsetA + axis));
    for (int from : {Field::VectorMax, Field::VectorNow})
        fields.setText(from + Field::EditCopyOffset, fields.text(from));
    const int durations = int(fields.integer(Field::AlarmDurations));
    fields.setText(Field::WatchDuration, texts_.text(TextForm::Plain, durations / 256));
    fields.setText(Field::WarningDuration, texts_.text(TextForm::Plain, durations % 256));
}

// Each address word carries two octets.
void Decoder::writeDerivedAddresses(bool withCompanion)
{
    LiveFields &fields = fields_;
    const auto split = [this, &fields](int to, int from) {
        // A word never read gives no address: its octets stay unread too.
        if (fields.text(from) == QLatin1String(LiveFields::NotYetRead)) {
            fields.setText(to, QString::fromLatin1(LiveFields::NotYetRead));
            fields.setText(to + 1, QString::fromLatin1(LiveFields::NotYetRead));
            return;
        }
        const int w = int(fields.integer(from));
        fields.setText(to, texts_.text(TextForm::Plain, w / 256));
        fields.setText(to + 1, texts_.text(TextForm::Plain, w % 256));
    };
    for (int k = 0; k < 4; ++k)
        split(Field::FirstServerOctet + 2 * k, Field::FirstServerAddress + k);
    if (withCompanion) {
        for (int k = 0; k < 2; ++k)
            split(Field::FirstCompanionOctet + 2 * k, Field::FirstCompanionAddress + k);
    }
}

void Decoder::writeEventLabel()
{
    const LiveFields &f = fields_;
    EventLabelSources sources;
    for (size_t k = 0; k < sources.size(); ++k)
        sources[k] = f.text(Field::EventYear + int(k));
    if (sources == eventLabelSources_)
        return;
    eventLabelSources_ = sources;
    emit deviceEventTimeChanged(sources[0] + QLatin1Char('/') + twoDigits(sources[1]) +
                                QLatin1Char('/') + twoDigits(sources[2]) + QLatin1Char(' ') +
                                twoDigits(sources[3]) + QLatin1Char(':') + twoDigits(sources[4]));
}

// One line per read on the client link, as it arrived: the count, then every byte in hex.
void Decoder::rawLog(const QByteArray &bytes)
{
    QString line = bytes.size() < 1000 ? QStringLiteral(" ") : QString();
    line += QString::number(bytes.size()) + QLatin1Char(' ');
    line.reserve(line.size() + 3 * bytes.size());
    for (char b : bytes)
        line += hexByte(quint8(b)) + QLatin1Char(' ');
    QString error;
    const bool ok = TextFiles::append(folder_.file(QStringLiteral("Vorsarec.txt")),
                                      line.toLatin1() + TextFiles::LineEnd, &error);
    if (!ok)
        qCWarning(lcLink) << "cannot write the raw receive log:" << error;
    rawLogNotice_.note(ok, statusLine_, QStringLiteral("Cannot write Vorsarec.txt: %1").arg(error));
}
