#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <set>
#include <thread>

struct mosquitto;
struct DecodedPacket;
class Clock;
class EventLog;
class Control;
class LiveFields;
class QSettings;

// The [mqtt] group of vorsa.ini, or `--mqtt HOST[:PORT]`: off while no host is set.
struct MqttOptions {
    QString host;
    int port = 1883;
    QString prefix; // empty: "vorsa/" + the station code
    QString clientId;
    QString user;
    QString passwordFile; // its first line is the password
    bool tls = false;
    QString caFile;    // empty: the system's certificates
    bool wave = false; // every second's samples on <prefix>/wave

    static MqttOptions read(const QSettings &settings);
    // "HOST" or "HOST:PORT"; false (and nothing changed) when the port is not 1..65535.
    bool setBroker(const QString &hostAndPort);
    bool enabled() const { return !host.isEmpty(); }
};

// Publishes the station's state to an MQTT broker for fleet dashboards: whether the device
// link carries data (retained, "offline" as last will and at exit), live values once a second,
// each alarm line and event summary (QoS 1), and optionally the waveform. libmosquitto's
// network thread does the network work, so neither the window nor the poll ever waits for the
// broker. QoS 1 messages wait in a bounded queue while the broker is away and go out in order
// when it is back.
class MqttPublisher : public QObject
{
    Q_OBJECT
public:
    static constexpr int QueueLimit = 10000;
    static constexpr int InFlightLimit = 20;
    static constexpr int UnreachableAfterMs = 5000;
    static constexpr int RetryLimitSeconds = 60;
    // A streaming device sends a packet a second: two missed ones are jitter, three silence.
    static constexpr int SilentLinkMs = 3000;
    static constexpr int WaveSamples = 100;

    MqttPublisher(LiveFields &fields, Control &statusLine, EventLog &log, const Clock &clock,
                  QObject *parent = nullptr);
    // Tells the broker "offline" before leaving: a clean goodbye does not fire the last will.
    ~MqttPublisher() override;

    // Connects as soon as the topic prefix is known (the device's station code, unless set).
    void start(const MqttOptions &options);

    // A trigger, watch, warning, P-wave or end line of the event log, as written.
    void alarmLogged(const QString &line);
    // The summary of the event that began at `start`; `eventFileName` is empty when no event
    // file is recorded.
    void eventSummary(const QString &summary, const QDateTime &start, const QString &eventFileName);
    void packetDecoded(const DecodedPacket &packet);

    // The one-second tick: the link's status once it falls silent, and the live values.
    void tick();
    // Tells the operator once that the broker cannot be reached; the connection is retried.
    void checkReachable();

    bool isConnected() const { return connected_; }
    int queuedMessages() const { return int(queue_.size()); }
    QString prefix() const { return prefix_; }

private:
    struct Message {
        QString subtopic; // below the prefix
        QJsonObject payload;
    };

    void connectWhenPrefixKnown();
    bool openClient();
    bool setCredentials();
    void connectUntilStarted(const QByteArray &host, int port);
    void stopNetwork();
    QJsonObject stamped() const;
    QByteArray statusPayload(const char *status) const;
    void enqueue(const QString &subtopic, const QJsonObject &payload);
    void pump();
    void setDeviceOnline(bool online);
    void publishStatus();
    void publishNow(const QString &topic, const QByteArray &payload, int qos, bool retain);
    void publishLive();
    void publishWave();
    void onConnect(int rc);
    void onDisconnect(int rc);
    void onPublish(int mid);
    void report(const QString &text);
    QString brokerName() const;
    QString stationCode() const;

    static void connectCallback(mosquitto *, void *self, int rc);
    static void disconnectCallback(mosquitto *, void *self, int rc);
    static void publishCallback(mosquitto *, void *self, int mid);

    LiveFields &fields_;
    Control &statusLine_;
    EventLog &log_;
    const Clock &clock_;
    MqttOptions options_;
    mosquitto *client_ = nullptr;
    QString prefix_;
    bool connected_ = false;
    bool unreachableReported_ = false;
    bool dropReported_ = false;
    bool deviceOnline_ = false;
    qint64 lastData_ = 0;
    std::deque<Message> queue_;
    std::set<int> inFlight_;
    std::array<QJsonArray, 3> wave_;
    QTimer tickTimer_;
    QTimer reachTimer_;

    // The first connection is tried on its own thread: libmosquitto's network thread retries
    // only a connection that once began, and a name lookup may take seconds.
    std::thread starter_;
    std::mutex startMutex_;
    std::condition_variable startWake_;
    bool stopping_ = false;    // guarded by startMutex_
    bool loopStarted_ = false; // guarded by startMutex_
};
