#pragma once

#include <QProcess>
#include <QString>

// The simulated device of the demo: `vorsa-devsim` on a free loopback port, playing the
// earthquake scenario over and over, stopped when the station ends.
class DemoDevice
{
public:
    static constexpr const char *ProgramName = "vorsa-devsim";
    static constexpr int StartTimeoutMs = 5000;

    DemoDevice() = default;
    ~DemoDevice();
    DemoDevice(const DemoDevice &) = delete;
    DemoDevice &operator=(const DemoDevice &) = delete;

    // Next to the station's executable, in the build tree's devsim folder, or in the bin
    // folder beside the installed headless program's libexec folder; empty when none exists.
    static QString locate(const QString &stationDir);

    // Starts it with the demo's arguments and waits until it listens on its TCP port; false
    // with `error` when it does not.
    bool start(const QString &program, QString *error);
    // The same with other arguments, which must include a TCP port ("--tcp 0").
    bool start(const QString &program, const QStringList &arguments, QString *error);
    quint16 port() const { return port_; }
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    void stop();

private:
    bool awaitListening(QString *error);

    QProcess process_;
    quint16 port_ = 0;
};
