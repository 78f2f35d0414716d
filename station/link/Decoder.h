#pragma once

#include "RegisterMap.h"
#include "TcpFramer.h"
#include "common/AlarmGate.h"
#include "common/DecodedPacket.h"
#include "common/FailureNotice.h"
#include "common/LiveFields.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QTimer>
#include <array>
#include <optional>
#include <vector>

class DeviceLinks;
class Form;
class ProgramFolder;

// Turns what the device sends into the live fields: Modbus responses and stream packets on
// the two TCP links (`sck_DataArrival`, `sck_svr_DataArrival`) and RTU responses on the
// serial link (`com_OnComm`), with the per-sample work and the status steps after each.
class Decoder : public QObject
{
    Q_OBJECT
public:
    static constexpr int SamplesPerPacket = 100;
    static constexpr int ChartPointWrap = 11999;
    static constexpr int SerialSettleMs = 20;

    Decoder(Form &form, DeviceLinks &links, const ProgramFolder &folder, QObject *parent = nullptr);

    // The sample history that feeds the charts: a, b, c, Pd, displacement.
    const std::vector<float> &sampleHistory(int column) const { return history_[column]; }
    int chartPointIndex() const { return chartPointIndex_; }

public slots:
    void clientBytesArrived(const QByteArray &bytes); // `sck_DataArrival`
    void serverBytesArrived(const QByteArray &bytes); // `sck_svr_DataArrival`
    // Forget a partly received packet when a link's connection is replaced.
    void clientLinkReset() { clientFramer_.clear(); }
    void serverLinkReset() { serverFramer_.clear(); }
    // The serial port's receive notification: the frame is looked at once the settle time
    // has passed, without blocking the thread.
    void com_OnComm();
    // Steps after the settle time: take a whole response from the port and ask for the next.
    void serialSettled();

signals:
    void evaluateAlarmsDue(AlarmGate gate);
    void intensityDisplayDue();
    // After the fields of a packet are written and before the steps that follow every packet.
    void packetDecoded(const DecodedPacket &packet);
    void summaryDue();    // `writeEventSummary`
    void samplesStored(); // a stream packet's samples are in `SampleRing`

private:
    enum class Path { Client, Server };
    enum class Outcome { StreamDecoded, ModbusAnswer, Undecoded };
    enum Column { A, B, C, Pd, Disp, Columns };

    void handleClientPacket(const QByteArray &packet);
    void handleClientStream(const QByteArray &packet);
    void handleClientModbus(const QByteArray &packet);
    bool withdrawStreamRequest();
    void handleServerPacket(const QByteArray &packet);
    bool isDroppedUnseen(const QByteArray &packet) const;
    void rejectFrame();

    void decodeStream(const QByteArray &packet, int start, Path path);
    void takeDeviceClock(const QByteArray &packet, int start);
    void decodeSamples(const QByteArray &packet, int start, DecodedPacket &decoded);
    DecodedPacket decodeRegisters(const QByteArray &packet, int firstByte, bool serial);
    void keepPollSample(const DecodedPacket &decoded);
    void advanceChartPoint();
    void writeField(const RegisterMap::Rule &rule, int value);

    void runTail(Path path, Outcome outcome);
    void sendNextClientRead();
    void sendNextSerialRead();
    void runSummaryStep();
    void writeDerivedCopies();
    void writeDerivedAddresses(bool withCompanion);
    void writeEventLabel();
    void rawLog(const QByteArray &bytes);

    Form &form_;
    DeviceLinks &links_;
    const ProgramFolder &folder_;

    TcpFramer clientFramer_;
    TcpFramer serverFramer_;
    QElapsedTimer uptime_;
    QList<QByteArray> clientQueue_, serverQueue_;
    bool handlingClient_ = false;
    bool handlingServer_ = false;
    FailureNotice rawLogNotice_;
    QTimer serialSettle_;

    std::array<std::vector<float>, Columns> history_;
    int chartPointIndex_ = 0;
    RegisterMap::TextCache texts_;
    // The fields the event label was last built from: year, month, day, hour, minute.
    using EventLabelSources = std::array<QString, 5>;
    std::optional<EventLabelSources> eventLabelSources_;
};
