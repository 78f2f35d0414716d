#include "link/DemoDevice.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <memory>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// The headless station run as systemd runs a notify service with a watchdog: the test owns
// the notification socket and reads what the station sends, including while it is stopped.
class TestServiceWatchdog : public QObject
{
    Q_OBJECT
private slots:
    void readyStatusAndPingsOnlyWhileRunning();
};

namespace
{

struct Notification {
    qint64 atMs;
    QByteArray text;
};

// A datagram socket bound to a path, as systemd's NOTIFY_SOCKET is.
class NotifySocket
{
public:
    explicit NotifySocket(const QString &path) : path_(QFile::encodeName(path))
    {
        fd_ = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (fd_ < 0 || path_.size() >= qsizetype(sizeof address.sun_path))
            return;
        memcpy(address.sun_path, path_.constData(), size_t(path_.size()));
        bound_ = ::bind(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
        clock_.start();
        // Read as they arrive, so each is timed by its arrival.
        notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
        QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] { receive(); });
    }
    ~NotifySocket()
    {
        notifier_.reset();
        if (fd_ >= 0)
            ::close(fd_);
    }
    NotifySocket(const NotifySocket &) = delete;
    NotifySocket &operator=(const NotifySocket &) = delete;

    bool isBound() const { return bound_; }
    QString path() const { return QFile::decodeName(path_); }

    // What has arrived since the last call.
    QList<Notification> take()
    {
        receive();
        return std::exchange(received_, {});
    }

private:
    void receive()
    {
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
            if (n < 0)
                break;
            received_.append({clock_.elapsed(), QByteArray(buffer, qsizetype(n))});
        }
    }

    QByteArray path_;
    int fd_ = -1;
    bool bound_ = false;
    QElapsedTimer clock_;
    QList<Notification> received_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

QList<qint64> pingTimes(const QList<Notification> &notifications)
{
    QList<qint64> times;
    for (const Notification &n : notifications) {
        if (n.text.split('\n').contains("WATCHDOG=1"))
            times << n.atMs;
    }
    return times;
}

QString transcript(const QList<Notification> &notifications)
{
    QStringList lines;
    for (const Notification &n : notifications)
        lines << QString::number(n.atMs) + QStringLiteral(" ms: ") + QString::fromUtf8(n.text);
    return lines.join(QLatin1Char('\n'));
}

// Stopped by a signal: the kernel's state letter of the process is T.
bool isStopped(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype afterName = line.lastIndexOf(')');
    return afterName > 0 && line.mid(afterName + 2, 1) == "T";
}

} // namespace

void TestServiceWatchdog::readyStatusAndPingsOnlyWhileRunning()
{
    DemoDevice sim;
    QString error;
    QVERIFY2(sim.start(QStringLiteral(DEVSIM_PROGRAM), {"--tcp", "0", "--serial", "77"}, &error),
             qPrintable(error));
    QTemporaryDir home;
    QFile settings(home.filePath(QStringLiteral("sys.txt")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("Port:%1\r\n").arg(sim.port()).toUtf8());
    settings.close();
    NotifySocket socket(home.filePath(QStringLiteral("notify")));
    QVERIFY(socket.isBound());

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "WATCHDOG_PID"})
        env.remove(QLatin1String(name));
    env.insert(QStringLiteral("VORSA_HOME"), home.path());
    env.insert(QStringLiteral("NOTIFY_SOCKET"), socket.path());
    env.insert(QStringLiteral("WATCHDOG_USEC"), QStringLiteral("1000000"));
    QProcess station;
    station.setProcessEnvironment(env);
    station.setProcessChannelMode(QProcess::ForwardedChannels);
    station.start(QStringLiteral(HEADLESS_PROGRAM), {"127.0.0.1"});
    QVERIFY(station.waitForStarted());
    const qint64 pid = station.processId();

    QList<Notification> seen;
    const auto sent = [&](const QByteArray &text) {
        seen << socket.take();
        return std::any_of(seen.cbegin(), seen.cend(),
                           [&](const Notification &n) { return n.text.contains(text); });
    };
    QTRY_VERIFY2_WITH_TIMEOUT(sent("READY=1"), qPrintable(transcript(seen)), 20000);
    // Ready comes after the link has opened, and says so.
    const auto ready = std::find_if(seen.cbegin(), seen.cend(), [](const Notification &n) {
        return n.text.startsWith("READY=1");
    });
    QVERIFY2(ready->text.contains("\nSTATUS=link open"), qPrintable(transcript(seen)));
    QTRY_VERIFY2_WITH_TIMEOUT(sent("STATUS=link open, data from the device"),
                              qPrintable(transcript(seen)), 10000);

    // Pings at half the interval asked for, each well within the watchdog's second.
    socket.take();
    QTest::qWait(2200);
    const QList<Notification> running = socket.take();
    const QList<qint64> pings = pingTimes(running);
    QVERIFY2(pings.size() >= 3 && pings.size() <= 6, qPrintable(transcript(running)));
    for (qsizetype i = 1; i < pings.size(); ++i)
        QVERIFY2(pings[i] - pings[i - 1] < 1000, qPrintable(transcript(running)));

    // A stopped loop sends nothing; it pings again as soon as it runs.
    QCOMPARE(::kill(pid_t(pid), SIGSTOP), 0);
    QTRY_VERIFY(isStopped(pid));
    socket.take();
    QTest::qWait(1500);
    const QList<Notification> stopped = socket.take();
    QCOMPARE(::kill(pid_t(pid), SIGCONT), 0);
    QVERIFY2(stopped.isEmpty(), qPrintable(transcript(stopped)));
    QList<Notification> resumed;
    QTRY_VERIFY_WITH_TIMEOUT((resumed << socket.take(), !pingTimes(resumed).isEmpty()), 1000);

    station.terminate();
    QVERIFY(station.waitForFinished(10000));
    QCOMPARE(station.exitCode(), 0);
    const QList<Notification> last = socket.take();
    QVERIFY2(!last.isEmpty() && last.last().text == "STOPPING=1", qPrintable(transcript(last)));
}

QTEST_GUILESS_MAIN(TestServiceWatchdog)
#include "tst_servicewatchdog.moc"
