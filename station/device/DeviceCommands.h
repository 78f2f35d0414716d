#pragma once

#include <QList>
#include <QLoggingCategory>
#include <QObject>
#include <QString>
#include <functional>

class Control;
class Prompter;
class RegisterWriter;
class Waiter;
class WritePlan;

Q_DECLARE_LOGGING_CATEGORY(lcDevice)

// Runs the engineer's device commands one at a time. The writes of a command pause and wait
// for answers, which lets the window run other handlers meanwhile; a second command (or the
// clock adjustment) started then would interleave its writes and clear the link's
// command-in-progress mark under the first, so it is refused instead.
class DeviceCommands : public QObject
{
    Q_OBJECT
public:
    static constexpr int LeadPauseMs = 300;
    static constexpr int SerialPauseMs = 60;
    static constexpr const char *Title = "Vorsa setting";

    DeviceCommands(Control &statusLine, RegisterWriter &writer, Waiter &waiter, Prompter &prompter,
                   QObject *parent = nullptr);

    bool isBusy() const { return busy_; }

    // After `leadPauseMs`, sends the plan's writes in order, marked in progress on the link, and,
    // on the serial link, the plan's pauses. A plan with a wrong value sends nothing and the
    // operator is told which field is wrong. True when every write went out.
    bool run(const QString &name, const WritePlan &plan, int leadPauseMs);
    // Runs `steps` as a device command, marked in progress on the link; false, without running
    // them, while another command is in progress.
    bool exclusive(const QString &name, const std::function<void()> &steps);

    void tell(const QString &text); // status line
    void warn(const QString &text); // status line and a message to the operator

signals:
    // A command started or ended; the page's buttons wait meanwhile.
    void busyChanged(bool busy);
    // The edit fields the latest command found wrong (none when it went out).
    void fieldsChecked(const QList<int> &wrongFields);

private:
    bool sendAll(const QString &name, const WritePlan &plan, int leadPauseMs);

    Control &statusLine_;
    RegisterWriter &writer_;
    Waiter &waiter_;
    Prompter &prompter_;
    bool busy_ = false;
};
