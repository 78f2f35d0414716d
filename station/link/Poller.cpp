#include "Poller.h"

#include "DeviceLink.h"
#include "ModbusFrames.h"
#include "common/Clock.h"
#include "common/FieldNumbers.h"
#include "common/Form.h"

#include <QScopedValueRollback>

namespace
{

constexpr int ServerIdleLimit = 3;
constexpr int StreamQuietTicks = 3;

QByteArray streamRequest(quint8 unit, bool start)
{
    return *ModbusFrames::tcpWriteSingle(unit, ModbusFrames::StreamControlRegister, start ? 1 : 0);
}

} // namespace

Poller::Poller(Form &form, DeviceLink &serial, DeviceLink &client, DeviceLink &server,
               TcpReconnect &reconnect, const Clock &clock, QObject *parent)
    : QObject(parent), form_(form), serial_(serial), client_(client), server_(server),
      reconnect_(reconnect), clock_(clock)
{
}

void Poller::onPollTick()
{
    // A reconnect pauses with events running, so the timer can fire again inside a tick.
    if (ticking_)
        return;
    QScopedValueRollback<bool> guard(ticking_, true);
    if (!pollSerial() || !pollClient() || !pollServer())
        return;
    emit voiceStepDue();
    showClock();
    showServerInformation();
}

bool Poller::pollSerial()
{
    if (form_.optCom.isChecked() && !form_.serialAnswerSeen)
        serial_.send(ModbusFrames::rtuReadHolding(form_.slaveAddress, form_.pollRegisterCount));
    return true;
}

bool Poller::pollClient()
{
    if (!form_.optTCP.isChecked() || form_.tcpAnswerSeen)
        return true;
    if (!client_.isOpen())
        reconnect_.reconnectTcpLink();
    form_.awaitingReply = true;
    return form_.recordMode ? streamOnClient() : readOnClient();
}

bool Poller::streamOnClient()
{
    if (++form_.streamPollCount >= StreamQuietTicks) {
        form_.streamPollCount = StreamQuietTicks;
        form_.streamRequestSent = false;
    }
    if (form_.streamRequestSent)
        return true;
    if (!sendClient(streamRequest(form_.slaveAddress, true)))
        return false;
    form_.streamRequestSent = true;
    return true;
}

bool Poller::readOnClient()
{
    if (form_.streamRequestSent) {
        if (!sendClient(streamRequest(form_.slaveAddress, false)))
            return false;
        form_.streamRequestSent = false;
    }
    return sendClient(ModbusFrames::tcpReadHolding(form_.slaveAddress, form_.pollRegisterCount));
}

bool Poller::sendClient(const QByteArray &frame)
{
    if (!client_.isOpen())
        return false;
    client_.send(frame);
    return true;
}

bool Poller::pollServer()
{
    if (!form_.optTCP_svr.isChecked() || form_.serverIdleSeconds <= ServerIdleLimit)
        return true;
    if (!server_.isOpen())
        reconnect_.reconnectTcpLink();
    form_.awaitingReply = true;
    if (!server_.isOpen())
        return false;
    server_.send(streamRequest(form_.slaveAddress, true));
    return true;
}

void Poller::showClock()
{
    const QDateTime now = clock_.now();
    form_.txtReal.setText(Field::PcDate, now.toString(QStringLiteral("yyyy/MM/dd")));
    form_.txtReal.setText(Field::PcTime, now.toString(QStringLiteral("HH:mm:ss")));
}

void Poller::showServerInformation()
{
    // Until the device has answered, the field holds the not-yet-read mark, not a forecast.
    const bool unread =
        form_.txtReal.text(Field::ServerInformation) == QLatin1String(LiveFields::NotYetRead);
    const qint64 w = unread ? 0 : form_.txtReal.integer(Field::ServerInformation);
    form_.Frame10.setVisible(w != 0);
    if (w == 0)
        return;
    form_.lblsvrins.setText(QString::number(w / 256));
    form_.lblcntdown.setText(QString::number(w % 256));
}
