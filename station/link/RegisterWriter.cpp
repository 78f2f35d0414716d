#include "RegisterWriter.h"

#include "DeviceLink.h"
#include "LinkLog.h"
#include "ModbusFrames.h"
#include "common/Form.h"
#include "common/Waiter.h"

RegisterWriter::RegisterWriter(Form &form, DeviceLink &serial, DeviceLink &client,
                               DeviceLink &server, TcpReconnect &reconnect, Waiter &waiter)
    : form_(form), serial_(serial), client_(client), server_(server), reconnect_(reconnect),
      waiter_(waiter)
{
}

WriteOutcome RegisterWriter::WriteRegisterSerial(qint64 reg, qint64 value)
{
    const std::optional<QByteArray> frame =
        ModbusFrames::rtuWriteSingle(form_.slaveAddress, reg, value);
    if (!frame) {
        qCWarning(lcLink) << "refused to write" << value << "to register" << reg;
        return WriteOutcome::Refused;
    }
    serial_.send(*frame);
    return WriteOutcome::Sent;
}

WriteOutcome RegisterWriter::WriteRegisterTcp(qint64 reg, qint64 value)
{
    const std::optional<QByteArray> frame =
        ModbusFrames::tcpWriteSingle(form_.slaveAddress, reg, value);
    if (!frame) {
        qCWarning(lcLink) << "refused to write" << value << "to register" << reg;
        return WriteOutcome::Refused;
    }
    return sendTcpAndWait(*frame);
}

WriteOutcome RegisterWriter::writeRegister(qint64 reg, qint64 value)
{
    return form_.optCom.isChecked() ? WriteRegisterSerial(reg, value)
                                    : WriteRegisterTcp(reg, value);
}

WriteOutcome RegisterWriter::sendTcpAndWait(const QByteArray &frame)
{
    const bool client = form_.optTCP.isChecked();
    DeviceLink &link = client ? client_ : server_;
    if (client && !link.isOpen())
        reconnect_.reconnectTcpLink();
    form_.awaitingReply = true;
    if (link.isOpen()) {
        link.send(frame);
    } else {
        qCInfo(lcLink) << "no TCP link connected; nothing sent";
        return WriteOutcome::NoLink;
    }
    const bool answered =
        waiter_.waitWhile([this] { return form_.awaitingReply; }, ReplyTimeoutMs, WaitStepMs);
    return answered ? WriteOutcome::Answered : WriteOutcome::NoAnswer;
}
