#include "RegisterWriter.h"

#include "DeviceLink.h"
#include "LinkLog.h"
#include "LinkSettings.h"
#include "ModbusFrames.h"
#include "PollState.h"
#include "common/Waiter.h"

RegisterWriter::RegisterWriter(PollState &state, const LinkSettings &settings, DeviceLink &serial,
                               DeviceLink &client, DeviceLink &server, TcpReconnect &reconnect,
                               Waiter &waiter)
    : state_(state), settings_(settings), serial_(serial), client_(client), server_(server),
      reconnect_(reconnect), waiter_(waiter)
{
}

WriteOutcome RegisterWriter::writeRegisterSerial(qint64 reg, qint64 value)
{
    const std::optional<QByteArray> frame =
        ModbusFrames::rtuWriteSingle(state_.unitAddress, reg, value);
    if (!frame) {
        qCWarning(lcLink) << "refused to write" << value << "to register" << reg;
        return WriteOutcome::Refused;
    }
    serial_.send(*frame);
    return WriteOutcome::Sent;
}

WriteOutcome RegisterWriter::writeRegisterTcp(qint64 reg, qint64 value)
{
    const std::optional<QByteArray> frame =
        ModbusFrames::tcpWriteSingle(state_.unitAddress, reg, value);
    if (!frame) {
        qCWarning(lcLink) << "refused to write" << value << "to register" << reg;
        return WriteOutcome::Refused;
    }
    return sendTcpAndWait(*frame);
}

WriteOutcome RegisterWriter::writeRegister(qint64 reg, qint64 value)
{
    return settings_.kind == LinkKind::Rtu ? writeRegisterSerial(reg, value)
                                           : writeRegisterTcp(reg, value);
}

WriteOutcome RegisterWriter::sendTcpAndWait(const QByteArray &frame)
{
    const bool client = settings_.kind == LinkKind::TcpClient;
    DeviceLink &link = client ? client_ : server_;
    if (client && !link.isOpen())
        reconnect_.reconnectTcpLink();
    state_.awaitingReply = true;
    if (link.isOpen()) {
        link.send(frame);
    } else {
        qCInfo(lcLink) << "no TCP link connected; nothing sent";
        return WriteOutcome::NoLink;
    }
    const bool answered =
        waiter_.waitWhile([this] { return state_.awaitingReply; }, ReplyTimeoutMs, WaitStepMs);
    return answered ? WriteOutcome::Answered : WriteOutcome::NoAnswer;
}
