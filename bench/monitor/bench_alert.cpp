#include "BenchSupport.h"
#include "FreePort.h"
#include "common/FieldNumbers.h"
#include "common/Waiter.h"
#include "link/RegisterMap.h"
#include "monitor/EventState.h"
#include "shell/MqttPublisher.h"
#include "shell/Station.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <dlfcn.h>
#include <mosquitto.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

// From the answer whose event flags turn non-zero written to the station's socket to each way
// the operator is told: the trigger's caption in the window model, its line in the monthly log
// (written, unbuffered), the voice handed to the sound player and the MQTT alarm handed to
// libmosquitto. Beside them the floor: a bare client polling the same way, reading the same
// bytes and checking the flags word.
namespace
{

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// The moments of one alarm, 0 while not seen; all are seen on the station's thread.
struct AlarmMoments {
    qint64 caption = 0;
    qint64 logged = 0;
    qint64 voiced = 0;
    qint64 published = 0;
    bool armed = false;
};
AlarmMoments moments;

int offsetOfField(int field)
{
    for (int i = 0; i < RegisterMap::ModbusOffsets; ++i)
        if (RegisterMap::modbusRule(i, false).field == field)
            return i;
    return -1;
}

bool sendAll(int fd, const QByteArray &bytes)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        const ssize_t n =
            ::send(fd, bytes.constData() + at, size_t(bytes.size() - at), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        at += n;
    }
    return true;
}

bool receiveAll(int fd, char *into, size_t size)
{
    size_t at = 0;
    while (at < size) {
        const ssize_t n = ::recv(fd, into + at, size - at, 0);
        if (n <= 0)
            return false;
        at += size_t(n);
    }
    return true;
}

// A Modbus TCP answer to a read of `registers` words, every word 0 but the event flags and the
// intensity when `alarm`.
QByteArray readAnswer(quint16 transaction, int registers, bool alarm)
{
    QByteArray answer(9 + 2 * registers, '\0');
    answer[0] = char(transaction >> 8);
    answer[1] = char(transaction & 0xff);
    const int length = 3 + 2 * registers;
    answer[4] = char(length >> 8);
    answer[5] = char(length & 0xff);
    answer[6] = 1;
    answer[7] = 3;
    answer[8] = char(2 * registers);
    if (alarm) {
        static const int flagsAt = offsetOfField(Field::EventFlags);
        static const int intensityAt = offsetOfField(Field::Intensity);
        answer[9 + 2 * flagsAt + 1] = 1; // the first kind's trigger
        answer[9 + 2 * intensityAt + 1] = 3;
    }
    return answer;
}

// A device on loopback that answers each read on a thread of its own, so that the time its
// answer goes out is taken where the bytes are written, not on the station's thread.
class FakeDevice
{
public:
    FakeDevice()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(listener_, reinterpret_cast<sockaddr *>(&address), size) != 0 ||
            ::listen(listener_, 1) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return;
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~FakeDevice()
    {
        stopping_ = true;
        ::shutdown(listener_, SHUT_RDWR);
        if (const int c = connection_.load(); c >= 0)
            ::shutdown(c, SHUT_RDWR);
        if (thread_.joinable())
            thread_.join();
        ::close(listener_);
    }
    FakeDevice(const FakeDevice &) = delete;
    FakeDevice &operator=(const FakeDevice &) = delete;

    quint16 port() const { return port_; }
    // The next answer raises the event flags, and they stay up until `lowerFlags`.
    void raiseFlags() { raise_ = true; }
    void lowerFlags() { alarm_ = false; }
    // When the answer that raised the flags was written to the socket.
    qint64 writtenNs() const { return written_; }

private:
    void serve()
    {
        const int c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (c < 0)
            return;
        connection_ = c;
        char request[12];
        while (!stopping_ && receiveAll(c, request, sizeof request)) {
            const quint16 transaction = quint16(quint8(request[0]) << 8 | quint8(request[1]));
            const int registers = quint8(request[10]) << 8 | quint8(request[11]);
            const bool raising = raise_.exchange(false);
            if (raising)
                alarm_ = true;
            const QByteArray answer = readAnswer(transaction, registers, alarm_);
            if (raising)
                written_ = nowNs();
            if (!sendAll(c, answer))
                break;
        }
        connection_ = -1;
        ::close(c);
    }

    int listener_ = -1;
    quint16 port_ = 0;
    std::atomic<int> connection_{-1};
    std::atomic<bool> stopping_{false};
    std::atomic<bool> raise_{false};
    std::atomic<bool> alarm_{false};
    std::atomic<qint64> written_{0};
    std::thread thread_;
};

// The floor: a bare client on this thread that polls a device of its own back to back, as the
// station does, reads each answer whole and looks at the flags word; nothing else between the
// bytes and the finding.
class BareReader
{
public:
    explicit BareReader(quint16 port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        connected_ = ::connect(fd_, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~BareReader() { ::close(fd_); }
    BareReader(const BareReader &) = delete;
    BareReader &operator=(const BareReader &) = delete;

    bool isConnected() const { return connected_; }

    // The flags go up after `warmUp` answers: from that answer's write to finding them, in ns;
    // -1 when the device failed.
    qint64 latencyNs(FakeDevice &device, int warmUp = 20)
    {
        static const int flagsAt = offsetOfField(Field::EventFlags);
        QByteArray request(12, '\0');
        request[5] = 6;
        request[6] = 1;
        request[7] = 3;
        request[11] = char(Registers);
        QByteArray answer(9 + 2 * Registers, '\0');
        for (int i = 0; i <= warmUp + 1; ++i) {
            if (i == warmUp)
                device.raiseFlags();
            if (!sendAll(fd_, request) || !receiveAll(fd_, answer.data(), size_t(answer.size())))
                return -1;
            if (answer[9 + 2 * flagsAt] || answer[9 + 2 * flagsAt + 1]) {
                const qint64 seen = nowNs();
                device.lowerFlags();
                return seen - device.writtenNs();
            }
        }
        return -1;
    }

private:
    static constexpr int Registers = 101;
    int fd_;
    bool connected_ = false;
};

// The voice as the sound player gets it.
class TimedSound : public SoundPlayer
{
public:
    void play(const QString &) override
    {
        if (moments.armed && moments.voiced == 0)
            moments.voiced = nowNs();
    }
};

// A mosquitto broker of the benchmark's own on a free loopback port.
class Broker
{
public:
    bool start(const QString &folder)
    {
        port_ = freePort();
        QFile conf(folder + QStringLiteral("/mosquitto.conf"));
        if (!conf.open(QIODevice::WriteOnly))
            return false;
        conf.write(
            QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n").arg(port_).toUtf8());
        conf.close();
        QString program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
        if (program.isEmpty())
            program = QStringLiteral("/usr/sbin/mosquitto");
        process_.start(program, {"-c", conf.fileName()});
        if (!process_.waitForStarted(5000))
            return false;
        for (int attempt = 0; attempt < 50; ++attempt) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port_);
            if (probe.waitForConnected(100))
                return true;
            QThread::msleep(50);
        }
        return false;
    }
    ~Broker()
    {
        process_.terminate();
        process_.waitForFinished(5000);
    }
    quint16 port() const { return port_; }

private:
    QProcess process_;
    quint16 port_ = 0;
};

// The station as it runs unattended, on the real clock and event loop, polling the fake
// device, with the voice on and a broker to publish to.
struct AlertPathRig {
    AlertPathRig()
    {
        if (!broker.start(dir.path()))
            return;
        QFile ini(dir.filePath(QStringLiteral("vorsa.ini")));
        if (!ini.open(QIODevice::WriteOnly))
            return;
        ini.write(QStringLiteral("[mqtt]\nhost=127.0.0.1\nport=%1\nprefix=bench\n")
                      .arg(broker.port())
                      .toUtf8());
        ini.close();
        ConnectionPage &connection = station.connectionPage();
        const Control &lamp = station.alarmPanel().triggerLamps[0];
        QObject::connect(&lamp, &Control::changed, &station, [&lamp] {
            if (moments.armed && moments.caption == 0 && lamp.isVisible())
                moments.caption = nowNs();
        });
        station.eventLog().addAlarmObserver([](const QString &line) {
            if (moments.armed && moments.logged == 0 && line.contains(QLatin1String("trig")))
                moments.logged = nowNs();
        });
        station.start(QString());
        connection.voiceBox.setChecked(true);
        connection.hostField.setText(QStringLiteral("127.0.0.1"));
        connection.portField.setText(QString::number(device.port()));
        station.openLink();
        ready = runEventLoopUntil([this] { return station.mqtt().isConnected(); }, 10000);
    }

    QTemporaryDir dir;
    Broker broker;
    FakeDevice device;
    SystemClock clock;
    EventLoopWaiter waiter;
    TimedSound sound;
    RecordingShell shell;
    ScriptedPrompter prompter;
    NoOpChart strip1, strip2, strip3;
    Station station{StationServices{ProgramFolder(dir.path()), clock, waiter, sound, shell,
                                    prompter, strip1, strip2, strip3}};
    bool ready = false;
};

struct Latencies {
    std::vector<double> caption, logged, voiced, published, floor;
};

double percentile(std::vector<double> values, double p)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto at = std::size_t(std::max(0.0, std::ceil(p * double(values.size())) - 1));
    return values[std::min(at, values.size() - 1)];
}

void report(benchmark::State &state, const char *name, const std::vector<double> &us)
{
    state.counters[std::string(name) + "_p50_us"] = percentile(us, 0.50);
    state.counters[std::string(name) + "_p99_us"] = percentile(us, 0.99);
    state.counters[std::string(name) + "_max_us"] = percentile(us, 1.0);
}

// One alarm per iteration: the device raises the flags, the four steps are awaited, the flags
// go down and the event ends before the next.
void AlertPathLatency(benchmark::State &state)
{
    AlertPathRig rig;
    FakeDevice floorDevice;
    BareReader bare(floorDevice.port());
    if (!rig.ready || !bare.isConnected()) {
        state.SkipWithError("no broker or no connection for the station");
        return;
    }
    Latencies us;
    const auto since = [](qint64 written, qint64 seen) { return double(seen - written) / 1e3; };
    for (auto _ : state) {
        moments.caption = moments.logged = moments.voiced = 0;
        moments.published = 0;
        moments.armed = true;
        rig.device.raiseFlags();
        const bool all = runEventLoopUntil(
            [] { return moments.caption && moments.logged && moments.voiced && moments.published; },
            5000);
        moments.armed = false;
        if (!all) {
            state.SkipWithError("an alarm step did not happen within 5 s");
            break;
        }
        const qint64 written = rig.device.writtenNs();
        us.caption.push_back(since(written, moments.caption));
        us.logged.push_back(since(written, moments.logged));
        us.voiced.push_back(since(written, moments.voiced));
        us.published.push_back(since(written, moments.published));
        us.floor.push_back(double(bare.latencyNs(floorDevice)) / 1e3);
        rig.device.lowerFlags();
        EventState &events = rig.station.eventState();
        if (!runEventLoopUntil([&events] { return !events.isInProgress(); }, 5000)) {
            state.SkipWithError("the event did not end");
            break;
        }
    }
    report(state, "caption", us.caption);
    report(state, "log", us.logged);
    report(state, "voice", us.voiced);
    report(state, "mqtt", us.published);
    report(state, "floor", us.floor);
}

} // namespace

// libmosquitto's publish, as the station's publisher calls it: the alarm's moment is taken at
// the hand-over, then the library's own function does the work.
extern "C" int mosquitto_publish(mosquitto *client, int *mid, const char *topic, int length,
                                 const void *payload, int qos, bool retain)
{
    using Publish = int (*)(mosquitto *, int *, const char *, int, const void *, int, bool);
    static const auto library = reinterpret_cast<Publish>(::dlsym(RTLD_NEXT, "mosquitto_publish"));
    if (moments.armed && moments.published == 0 && topic && QByteArray(topic).endsWith("/alarm"))
        moments.published = nowNs();
    return library(client, mid, topic, length, payload, qos, retain);
}

BENCHMARK(AlertPathLatency)
    ->Unit(benchmark::kMillisecond)
    ->MinTime(benchMinTime(30.0))
    ->UseRealTime();
