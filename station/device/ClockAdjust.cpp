#include "ClockAdjust.h"

#include "DeviceCommands.h"
#include "WritePlan.h"
#include "common/Clock.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
#include "common/NumberText.h"
#include "common/Waiter.h"
#include "link/DeviceLink.h"
#include "link/ModbusFrames.h"
#include "link/PollState.h"
#include "link/RegisterWriter.h"

#include <QDateTime>
#include <algorithm>
#include <limits>

namespace
{

const QString Name = QStringLiteral("Clock adjustment");

// The device takes the second after the write, except that it has no second 60.
int nextSecond(const QTime &time)
{
    return time.second() == 59 ? 59 : time.second() + 1;
}

void appendWord(QByteArray &frame, int value)
{
    frame.append(char((value >> 8) & 0xFF));
    frame.append(char(value & 0xFF));
}

} // namespace

ClockAdjust::ClockAdjust(const LiveFields &fields, DeviceCommands &commands, RegisterWriter &writer,
                         const DeviceLink &client, TcpReconnect &reconnect, Waiter &waiter,
                         Clock &clock, QObject *parent)
    : QObject(parent), fields_(fields), commands_(commands), writer_(writer), client_(client),
      reconnect_(reconnect), waiter_(waiter), clock_(clock)
{
    timer_.setInterval(TickMs);
    connect(&timer_, &QTimer::timeout, this, &ClockAdjust::onClockAdjustTick);
}

void ClockAdjust::onClockAdjustTick()
{
    emit ledClockDue();
    ++tickCount_;
    emit ticksCounted(tickCount_);
    if (!dueNow())
        return;
    // While another command writes, the count stays due and the next tick tries again.
    if (commands_.isBusy())
        return;
    tickCount_ = 0;
    if (fields_.text(Field::NtpStatus) == QLatin1String("Yes"))
        return;
    adjust();
}

bool ClockAdjust::dueNow() const
{
    return !(interval_ > tickCount_);
}

void ClockAdjust::adjustClockNow()
{
    const qint64 interval = NumberText::roundHalfEven(interval_);
    // One below the largest count, so that the tick's increment cannot overflow.
    tickCount_ = int(std::clamp<qint64>(interval, std::numeric_limits<int>::min(),
                                        std::numeric_limits<int>::max() - 1));
    onClockAdjustTick();
}

void ClockAdjust::adjust()
{
    if (writer_.linkKind() == LinkKind::Rtu)
        adjustOverSerial();
    else
        commands_.exclusive(Name, [this] { adjustOverTcp(); });
}

void ClockAdjust::adjustOverSerial()
{
    // One reading of the clock, so that the fields cannot straddle a minute or an hour.
    const QDateTime now = clock_.now();
    WritePlan plan;
    int reg = FirstClockRegister;
    for (int value : {now.date().year(), now.date().month(), now.date().day(), now.time().hour(),
                      now.time().minute(), nextSecond(now.time())})
        plan.write(reg++, value);
    plan.write(ModbusFrames::CommandRegister, CommitClock, false);
    commands_.run(Name, plan, 0);
}

void ClockAdjust::adjustOverTcp()
{
    if (writer_.linkKind() == LinkKind::TcpClient && !client_.isOpen()) {
        reconnect_.reconnectTcpLink(); // the adjustment waits for the next interval
        commands_.tell(QStringLiteral("%1: the link was down; reconnecting.").arg(Name));
        return;
    }
    writer_.pollState().awaitingReply = true;
    waiter_.pause(SettleBeforeFrameMs);
    const QDateTime now = clock_.now();
    // The second after 59 cannot be set without carrying into the minute; skip this time.
    if (now.time().second() == 59)
        return;
    if (writer_.sendTcpAndWait(clockFrame(writer_.pollState().unitAddress, now)) ==
        WriteOutcome::NoLink) {
        commands_.tell(QStringLiteral("%1: no link to the device, nothing sent.").arg(Name));
        return;
    }
    waiter_.pause(SettleBeforeCommitMs);
    writer_.writeRegisterTcp(ModbusFrames::CommandRegister, CommitClock);
    commands_.tell(QStringLiteral("%1: sent.").arg(Name));
}

QByteArray ClockAdjust::clockFrame(quint8 unit, const QDateTime &when)
{
    constexpr int Registers = 6;
    QByteArray frame;
    appendWord(frame, 0); // transaction
    appendWord(frame, 0); // protocol
    appendWord(frame, 7 + 2 * Registers);
    frame.append(char(unit));
    frame.append(char(16));
    appendWord(frame, FirstClockRegister);
    appendWord(frame, Registers);
    frame.append(char(2 * Registers));
    for (int value : {when.date().year(), when.date().month(), when.date().day(),
                      when.time().hour(), when.time().minute(), when.time().second() + 1})
        appendWord(frame, value);
    return frame;
}
