#include "Decoder.h"

#include "DeviceLinks.h"
#include "LinkLog.h"
#include "ModbusFrames.h"
#include "common/FieldNumbers.h"
#include "common/NumberText.h"
#include "common/ProgramFolder.h"
#include "common/TextFiles.h"
#include "monitor/ChartFeed.h"
#include "records/EventLog.h"
#include "shell/Form.h"

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

Decoder::Decoder(Form &form, DeviceLinks &links, EventLog &eventLog, ChartFeed &chartFeed,
                 const ProgramFolder &folder, QObject *parent)
    : QObject(parent), form_(form), links_(links), eventLog_(eventLog), chartFeed_(chartFeed),
      folder_(folder)
{
    uptime_.start();
    serialSettle_.setSingleShot(true);
    serialSettle_.setInterval(SerialSettleMs);
    connect(&serialSettle_, &QTimer::timeout, this, &Decoder::serialSettled);
}

// ---- TCP client link ----

void Decoder::clientBytesArrived(const QByteArray &bytes)
{
    form_.awaitingReply = false;
    if (form_.Check1.isChecked())
        rawLog(bytes);
    const TcpFramer::Expected expected =
        form_.recordMode ? TcpFramer::Expected{0, true, true}
                         : TcpFramer::Expected{form_.pollByteCount + TcpDataAt, false, false};
    clientQueue_ += clientFramer_.take(bytes, expected, uptime_.elapsed());
    // Reconnecting inside a packet's handling lets more bytes arrive; they wait their turn.
    if (handlingClient_)
        return;
    handlingClient_ = true;
    while (!clientQueue_.isEmpty())
        handleClientPacket(clientQueue_.takeFirst());
    handlingClient_ = false;
}

// Packets during a command and the answers to writes are dropped without a trace.
bool Decoder::isDroppedUnseen(const QByteArray &packet) const
{
    return form_.commandInProgress || ModbusFrames::isTcpWriteAnswer(packet, form_.slaveAddress);
}

// A frame that failed the checks changes no field; the operator sees how many there were.
void Decoder::rejectFrame()
{
    ++form_.rejectedFrames;
    form_.lblRejected.setText(QString::number(form_.rejectedFrames));
    qCDebug(lcLink) << "frame rejected; count" << form_.rejectedFrames;
}

void Decoder::handleClientPacket(const QByteArray &packet)
{
    if (isDroppedUnseen(packet))
        return;
    if (form_.recordMode)
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
    form_.streamPollCount = 0;
    ++form_.streamRxCount;
    runTail(Path::Client, Outcome::StreamDecoded);
}

void Decoder::handleClientModbus(const QByteArray &packet)
{
    if (!withdrawStreamRequest())
        return;
    if (ModbusFrames::isTcpReadAnswer(packet, form_.slaveAddress, form_.pollByteCount)) {
        decodeRegisters(packet, TcpDataAt, false);
        feedPollSample(true);
        advanceChartPoint();
    } else {
        rejectFrame();
    }
    runTail(Path::Client, Outcome::ModbusAnswer);
}

// The first response after Record mode was left stops the device's stream.
bool Decoder::withdrawStreamRequest()
{
    if (!form_.streamRequestSent)
        return true;
    if (!links_.isClientConnected())
        return false;
    const auto stop =
        ModbusFrames::tcpWriteSingle(form_.slaveAddress, ModbusFrames::StreamControlRegister, 0);
    links_.sendClient(*stop);
    form_.streamRequestSent = false;
    return true;
}

// ---- TCP server link ----

void Decoder::serverBytesArrived(const QByteArray &bytes)
{
    form_.awaitingReply = false;
    form_.serverIdleSeconds = 0;
    serverQueue_ += serverFramer_.take(bytes, {0, true, false}, uptime_.elapsed());
    if (handlingServer_)
        return;
    handlingServer_ = true;
    while (!serverQueue_.isEmpty())
        handleServerPacket(serverQueue_.takeFirst());
    handlingServer_ = false;
}

void Decoder::handleServerPacket(const QByteArray &packet)
{
    if (isDroppedUnseen(packet))
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
    runTail(Path::Server, Outcome::StreamDecoded);
}

// ---- Stream packets ----

void Decoder::decodeStream(const QByteArray &packet, int start, Path path)
{
    takeDeviceClock(packet, start);
    if (path == Path::Server)
        form_.lblIP.setText(links_.serverPeerAddress());
    for (int k = 0; k < RegisterMap::StreamHeaderWords; ++k) {
        const Rule rule = RegisterMap::streamRule(k);
        if (rule.field >= 0)
            writeField(rule, streamWord(packet, start, k, rule.isUnsigned));
    }
    if (streamWord(packet, start, 0) == StreamPacketType)
        decodeSamples(packet, start);
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
        form_.deviceClockTime = QDateTime(date, time);
}

void Decoder::decodeSamples(const QByteArray &packet, int start)
{
    for (auto &column : history_)
        column.resize(SamplesPerPacket);
    const LiveFields &fields = form_.txtReal;
    for (int s = 0; s < SamplesPerPacket; ++s) {
        const int at = start + SampleBytesStart + s * SampleBytes;
        const auto sampleWord = [&](int i) {
            return RegisterMap::word(byteAt(packet, at + 2 * i + 1), byteAt(packet, at + 2 * i),
                                     false);
        };
        writeField({1, TextForm::SampleAcceleration}, sampleWord(0));
        writeField({2, TextForm::SampleAcceleration}, sampleWord(1));
        writeField({3, TextForm::SampleAcceleration}, sampleWord(2));
        writeField({37, TextForm::Thousandths}, sampleWord(3));
        writeField({59, TextForm::Thousandths}, sampleWord(4));
        const ChartFeed::Sample sample{fields.value(1), fields.value(2), fields.value(3),
                                       fields.value(37), fields.value(59)};
        form_.peakPd = qMax(form_.peakPd, float(sample.pd));
        form_.peakDisplacement = qMax(form_.peakDisplacement, float(sample.displacement));
        const SampleRing::Row row{float(sample.a), float(sample.b), float(sample.c),
                                  float(sample.pd), float(sample.displacement)};
        for (int column = 0; column < Columns; ++column)
            history_[column][s] = row[column];
        form_.ring.push(row);
        emit manualSample(row[A], row[B], row[C]);
        chartFeed_.streamSample(sample);
    }
    emit samplesStored();
}

// ---- Register responses (TCP client and serial) ----

void Decoder::decodeRegisters(const QByteArray &packet, int firstByte, bool serial)
{
    for (int column : {A, B, C})
        history_[column].resize(chartPointIndex_ + 1);
    const int available = (int(packet.size()) - firstByte) / 2;
    const int count = qMin(form_.pollRegisterCount, available);
    for (int i = 0; i < count; ++i) {
        const Rule rule = RegisterMap::modbusRule(i, serial);
        if (rule.field < 0)
            continue;
        const int at = firstByte + 2 * i;
        writeField(rule,
                   RegisterMap::word(byteAt(packet, at), byteAt(packet, at + 1), rule.isUnsigned));
    }
}

void Decoder::feedPollSample(bool toManualRecording)
{
    const LiveFields &fields = form_.txtReal;
    const int i = chartPointIndex_;
    history_[A][i] = float(fields.value(1));
    history_[B][i] = float(fields.value(2));
    history_[C][i] = float(fields.value(3));
    if (toManualRecording)
        emit manualSample(history_[A][i], history_[B][i], history_[C][i]);
    chartFeed_.pollSample(
        {history_[A][i], history_[B][i], history_[C][i], fields.value(37), fields.value(59)});
}

void Decoder::advanceChartPoint()
{
    if (chartPointIndex_ == ChartPointWrap)
        chartPointIndex_ = 0;
    ++chartPointIndex_;
}

void Decoder::writeField(const Rule &rule, int value)
{
    form_.txtReal.setText(rule.field, texts_.text(rule.form, value));
}

// ---- Serial link ----

void Decoder::com_OnComm()
{
    if (!serialSettle_.isActive())
        serialSettle_.start();
}

void Decoder::serialSettled()
{
    if (form_.commandInProgress)
        return;
    const int frameLength = form_.pollByteCount + RtuOverhead;
    if (links_.serialBytesWaiting() < frameLength)
        return;
    const QByteArray frame = links_.readSerial();
    if (ModbusFrames::isRtuReadAnswer(frame, form_.slaveAddress, form_.pollByteCount)) {
        decodeRegisters(frame, RtuDataAt, true);
        writeDerivedAddresses(true);
        feedPollSample(false);
        advanceChartPoint();
    } else {
        rejectFrame();
    }
    sendNextSerialRead();
    form_.serialAnswerSeen = true;
    runSummaryStep();
    writeDerivedCopies();
    writeEventLabel();
    emit evaluateAlarmsDue(AlarmGate::Lamp);
    emit intensityDisplayDue();
    ++form_.serialRxCount;
    form_.formBackColor.setBackColor(QColor());
}

void Decoder::sendNextSerialRead()
{
    links_.writeSerial(ModbusFrames::rtuReadHolding(form_.slaveAddress, form_.pollRegisterCount));
}

// ---- What follows every packet ----

void Decoder::runTail(Path path, Outcome outcome)
{
    const bool clientAnswer = outcome == Outcome::ModbusAnswer;
    if (clientAnswer) {
        ++form_.tcpRxCount;
        form_.tcpAnswerSeen = true;
    }
    if (outcome != Outcome::Undecoded) {
        writeEventLabel();
        emit evaluateAlarmsDue(clientAnswer ? AlarmGate::Lamp : AlarmGate::Trigger);
    }
    if (clientAnswer)
        sendNextClientRead();
    runSummaryStep();
    writeDerivedCopies();
    writeDerivedAddresses(path == Path::Client);
    emit intensityDisplayDue();
    if (path == Path::Server)
        form_.formBackColor.setBackColor(QColor());
}

void Decoder::sendNextClientRead()
{
    if (!links_.isClientConnected())
        links_.ConnectTcpLink();
    if (links_.isClientConnected())
        links_.sendClient(
            ModbusFrames::tcpReadHolding(form_.slaveAddress, form_.pollRegisterCount));
}

void Decoder::runSummaryStep()
{
    if (!form_.summaryPending || ++form_.summaryDelayCount < 10)
        return;
    form_.summaryDelayCount = 0;
    eventLog_.WriteEventSummary();
}

void Decoder::writeDerivedCopies()
{
    LiveFields &fields = form_.txtReal;
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
    LiveFields &fields = form_.txtReal;
    const auto split = [this, &fields](int to, int from) {
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
    const LiveFields &f = form_.txtReal;
    QStringList sources;
    for (int k = 0; k < 5; ++k)
        sources << f.text(Field::EventYear + k);
    if (sources == eventLabelSources_)
        return;
    eventLabelSources_ = sources;
    form_.lblevt.setText(sources[0] + QLatin1Char('/') + twoDigits(sources[1]) + QLatin1Char('/') +
                         twoDigits(sources[2]) + QLatin1Char(' ') + twoDigits(sources[3]) +
                         QLatin1Char(':') + twoDigits(sources[4]));
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
    rawLogNotice_.note(ok, form_.statusLine,
                       QStringLiteral("Cannot write Vorsarec.txt: %1").arg(error));
}
