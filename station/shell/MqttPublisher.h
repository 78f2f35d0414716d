#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTimer>
#include <deque>
#include <set>

struct mosquitto;
class Clock;
class EventLog;
class Form;
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
    QString caFile;
    bool wave = false; // every second's samples on <prefix>/wave

    static MqttOptions read(const QSettings &settings);
    // "HOST" or "HOST:PORT"; false (and nothing changed) when the port is not 1..65535.
    bool setBroker(const QString &hostAndPort);
    bool enabled() const { return !host.isEmpty(); }
};

// Publishes the station's state to an MQTT broker for fleet dashboards: the device link's
// status (retained, "offline" as last will), live values once a second, each alarm line and
// event summary (QoS 1), and optionally the waveform. libmosquitto's own thread does the
// network work, so neither the window nor the poll ever waits for the broker. QoS 1 messages
// wait in a bounded queue while the broker is away and go out in order when it is back.
class MqttPublisher : public QObject
{
    Q_OBJECT
public:
    static constexpr int QueueLimit = 10000;
    static constexpr int InFlightLimit = 20;
    static constexpr int UnreachableAfterMs = 5000;

    MqttPublisher(Form &form, EventLog &log, const Clock &clock, QObject *parent = nullptr);
    ~MqttPublisher() override;

    // Connects as soon as the topic prefix is known (the device's station code, unless set).
    void start(const MqttOptions &options);

    // A line of the event log as written: alarm lines and link changes are published.
    void logLine(const QString &line);
    void eventSummary(const QString &summary, const QString &eventFileName);

    // The one-second tick: live values (and the waveform when asked for), while connected.
    void publishLive();
    // Tells the operator once that the broker cannot be reached; libmosquitto keeps retrying.
    void checkReachable();

    bool isConnected() const { return connected_; }
    int queuedMessages() const { return int(queue_.size()); }
    QString prefix() const { return prefix_; }

private:
    struct Message {
        QString topic;
        QByteArray payload;
    };

    void connectWhenPrefixKnown();
    bool openClient();
    QJsonObject stamped() const;
    void enqueue(const QString &topic, const QJsonObject &payload);
    void pump();
    void publishStatus();
    void publishNow(const QString &topic, const QJsonObject &payload, int qos, bool retain);
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

    Form &form_;
    EventLog &log_;
    const Clock &clock_;
    MqttOptions options_;
    mosquitto *client_ = nullptr;
    QString prefix_;
    bool connected_ = false;
    bool unreachableReported_ = false;
    bool linkOnline_ = false;
    qint64 dropped_ = 0;
    std::deque<Message> queue_;
    std::set<int> inFlight_;
    int waveIndex_ = -1;
    QTimer liveTimer_;
    QTimer reachTimer_;
};
