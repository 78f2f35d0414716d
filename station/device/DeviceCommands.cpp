#include "DeviceCommands.h"

#include "WritePlan.h"
#include "common/Control.h"
#include "common/Platform.h"
#include "common/Waiter.h"
#include "link/PollState.h"
#include "link/RegisterWriter.h"

Q_LOGGING_CATEGORY(lcDevice, "vorsa.device")

DeviceCommands::DeviceCommands(Control &statusLine, RegisterWriter &writer, Waiter &waiter,
                               Prompter &prompter, QObject *parent)
    : QObject(parent), statusLine_(statusLine), writer_(writer), waiter_(waiter),
      prompter_(prompter)
{
}

bool DeviceCommands::run(const QString &name, const WritePlan &plan, int leadPauseMs)
{
    emit fieldsChecked(plan.wrongFields());
    if (!plan.isValid()) {
        warn(QStringLiteral("%1: nothing sent. %2.").arg(name, plan.problems()));
        return false;
    }
    bool complete = false;
    exclusive(name, [&] { complete = sendAll(name, plan, leadPauseMs); });
    return complete;
}

bool DeviceCommands::sendAll(const QString &name, const WritePlan &plan, int leadPauseMs)
{
    tell(QStringLiteral("%1: writing to the device ...").arg(name));
    if (leadPauseMs > 0)
        waiter_.pause(leadPauseMs);
    int unanswered = 0;
    const int total = int(plan.writes().size());
    int step = 0;
    for (const WritePlan::Write &w : plan.writes()) {
        ++step;
        if (!w.skipped) {
            tell(QStringLiteral("%1: writing register %2 = %3 (%4 of %5) ...")
                     .arg(name)
                     .arg(w.reg)
                     .arg(w.value)
                     .arg(step)
                     .arg(total));
            const WriteOutcome outcome = writer_.writeRegister(w.reg, w.value);
            // Without a link the rest cannot go out either; stopping also keeps the commit
            // code from following a half-staged set.
            if (outcome == WriteOutcome::NoLink || outcome == WriteOutcome::Refused) {
                qCWarning(lcDevice) << name << "stopped at register" << w.reg;
                warn(QStringLiteral("%1: stopped at register %2, no link to the device.")
                         .arg(name)
                         .arg(w.reg));
                return false;
            }
            unanswered += outcome == WriteOutcome::NoAnswer ? 1 : 0;
        }
        if (w.pauseAfter && writer_.linkKind() == LinkKind::Rtu)
            waiter_.pause(SerialPauseMs);
    }
    tell(unanswered == 0 ? QStringLiteral("%1: sent.").arg(name)
                         : QStringLiteral("%1: sent; the device did not answer %2 writes.")
                               .arg(name)
                               .arg(unanswered));
    return true;
}

bool DeviceCommands::exclusive(const QString &name, const std::function<void()> &steps)
{
    if (busy_) {
        tell(QStringLiteral("%1: not sent, another device command is in progress.").arg(name));
        return false;
    }
    busy_ = true;
    writer_.pollState().commandInProgress = true;
    emit busyChanged(true);
    steps();
    writer_.pollState().commandInProgress = false;
    busy_ = false;
    emit busyChanged(false);
    return true;
}

void DeviceCommands::tell(const QString &text)
{
    statusLine_.setText(text);
}

void DeviceCommands::warn(const QString &text)
{
    tell(text);
    prompter_.inform(text, QLatin1String(Title));
}
