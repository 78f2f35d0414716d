#include "Poller.h"

#include "DeviceLink.h"
#include "LinkSettings.h"
#include "ModbusFrames.h"
#include "PollState.h"
#include "common/Clock.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"

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

Poller::Poller(LiveFields &fields, PollState &state, const LinkSettings &settings,
               DeviceLink &serial, DeviceLink &client, DeviceLink &server, TcpReconnect &reconnect,
               const Clock &clock, QObject *parent)
    : QObject(parent), fields_(fields), state_(state), settings_(settings), serial_(serial),
      client_(client), server_(server), reconnect_(reconnect), clock_(clock)
{
    timer_.setInterval(TickMs);
    connect(&timer_, &QTimer::timeout, this, &Poller::onPollTick);
}

void Poller::onPollTick()
{
    // A reconnect pauses with events running, so the timer can fire again inside a tick.
    if (ticking_)
        return;
    QScopedValueRollback<bool> guard(ticking_, true);
    if (!pollSerial() || !pollClient() || !pollServer())
        return;
    showClock();
    showServerInformation();
}

bool Poller::pollSerial()
{
    if (settings_.kind == LinkKind::Rtu && !state_.serialAnswerSeen)
        serial_.send(ModbusFrames::rtuReadHolding(state_.unitAddress, state_.pollRegisters));
    return true;
}

bool Poller::pollClient()
{
    if (settings_.kind != LinkKind::TcpClient || state_.clientAnswerSeen)
        return true;
    if (!client_.isOpen())
        reconnect_.reconnectTcpLink();
    state_.awaitingReply = true;
    return state_.recordMode ? streamOnClient() : readOnClient();
}

bool Poller::streamOnClient()
{
    if (++state_.streamQuietTicks >= StreamQuietTicks) {
        state_.streamQuietTicks = StreamQuietTicks;
        state_.streamRequested = false;
    }
    if (state_.streamRequested)
        return true;
    if (!sendClient(streamRequest(state_.unitAddress, true)))
        return false;
    state_.streamRequested = true;
    return true;
}

bool Poller::readOnClient()
{
    if (state_.streamRequested) {
        if (!sendClient(streamRequest(state_.unitAddress, false)))
            return false;
        state_.streamRequested = false;
    }
    return sendClient(ModbusFrames::tcpReadHolding(state_.unitAddress, state_.pollRegisters));
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
    if (settings_.kind != LinkKind::TcpServer || state_.serverIdleSeconds <= ServerIdleLimit)
        return true;
    if (!server_.isOpen())
        reconnect_.reconnectTcpLink();
    state_.awaitingReply = true;
    if (!server_.isOpen())
        return false;
    server_.send(streamRequest(state_.unitAddress, true));
    return true;
}

void Poller::showClock()
{
    const QDateTime now = clock_.now();
    fields_.setText(Field::PcDate, now.toString(QStringLiteral("yyyy/MM/dd")));
    fields_.setText(Field::PcTime, now.toString(QStringLiteral("HH:mm:ss")));
}

void Poller::showServerInformation()
{
    // Until the device has answered, the field holds the not-yet-read mark, not a forecast.
    const bool unread =
        fields_.text(Field::ServerInformation) == QLatin1String(LiveFields::NotYetRead);
    const qint64 w = unread ? 0 : fields_.integer(Field::ServerInformation);
    emit serverForecast(w != 0, int(w / 256), int(w % 256));
}
