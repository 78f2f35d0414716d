#include "FreePort.h"
#include "StationFixture.h"
#include "common/NumberText.h"
#include "link/DemoDevice.h"
#include "shell/MqttPublisher.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTest>
#include <mosquitto.h>
#include <mutex>

// The station against a real mosquitto broker that the test starts on a free loopback port,
// and a subscriber with a lasting session that sees what a fleet dashboard would.
class TestMqttPublisher : public QObject
{
    Q_OBJECT
private slots:
    void brokerArgument_data();
    void brokerArgument();
    void quakePublishedAsLogged();
    void brokerAwayDuringAlarms();
};

namespace
{

class Broker
{
public:
    Broker() : port_(freePort())
    {
        QFile conf(dir_.filePath("mosquitto.conf"));
        if (conf.open(QIODevice::WriteOnly))
            conf.write(QStringLiteral("listener %1 127.0.0.1\nallow_anonymous true\n"
                                      "persistence true\npersistence_location %2/\n")
                           .arg(port_)
                           .arg(dir_.path())
                           .toUtf8());
    }
    ~Broker() { stop(); }

    quint16 port() const { return port_; }

    bool start()
    {
        // Debian puts the broker in /usr/sbin, which a user's PATH may lack.
        QString program = QStandardPaths::findExecutable(QStringLiteral("mosquitto"));
        if (program.isEmpty())
            program = QStringLiteral("/usr/sbin/mosquitto");
        process_.start(program, {"-c", dir_.filePath("mosquitto.conf")});
        if (!process_.waitForStarted(5000))
            return false;
        for (int attempt = 0; attempt < 100; ++attempt) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, port_);
            if (probe.waitForConnected(100))
                return true;
            QTest::qWait(50);
        }
        return false;
    }
    void stop()
    {
        if (process_.state() == QProcess::NotRunning)
            return;
        process_.terminate();
        process_.waitForFinished(5000);
    }

private:
    QTemporaryDir dir_;
    quint16 port_;
    QProcess process_;
};

struct Received {
    QString topic;
    QJsonObject payload;
    bool retained;
};

// Subscribes to vorsa/# with QoS 1 in a session the broker keeps across its own restart.
class Subscriber
{
public:
    Subscriber(quint16 port, const char *id)
    {
        mosquitto_lib_init();
        client_ = mosquitto_new(id, false, this);
        mosquitto_connect_callback_set(client_, [](mosquitto *client, void *, int rc) {
            if (rc == 0)
                mosquitto_subscribe(client, nullptr, "vorsa/#", 1);
        });
        mosquitto_message_callback_set(client_, onMessage);
        mosquitto_reconnect_delay_set(client_, 1, 1, false);
        mosquitto_connect_async(client_, "127.0.0.1", port, 10);
        mosquitto_loop_start(client_);
    }
    ~Subscriber()
    {
        mosquitto_disconnect(client_);
        mosquitto_loop_stop(client_, false);
        mosquitto_destroy(client_);
    }

    QList<Received> on(const QString &subtopic)
    {
        const std::lock_guard lock(mutex_);
        QList<Received> found;
        for (const Received &message : messages_) {
            if (message.topic.endsWith(QLatin1Char('/') + subtopic))
                found << message;
        }
        return found;
    }
    QStringList fieldOn(const QString &subtopic, const QString &field)
    {
        QStringList values;
        for (const Received &message : on(subtopic))
            values << message.payload.value(field).toString();
        return values;
    }

private:
    static void onMessage(mosquitto *, void *self, const mosquitto_message *message)
    {
        auto *subscriber = static_cast<Subscriber *>(self);
        const QByteArray payload(static_cast<const char *>(message->payload), message->payloadlen);
        const std::lock_guard lock(subscriber->mutex_);
        subscriber->messages_ << Received{QString::fromUtf8(message->topic),
                                          QJsonDocument::fromJson(payload).object(),
                                          message->retain};
    }

    mosquitto *client_ = nullptr;
    std::mutex mutex_;
    QList<Received> messages_;
};

void pointAtBroker(StationFixture &f, quint16 port)
{
    f.writeFile("vorsa.ini",
                QStringLiteral("[mqtt]\nhost=127.0.0.1\nport=%1\n").arg(port).toUtf8());
}

bool isAlarmLine(const QString &line)
{
    return line.contains("trig") || line.contains("End") || line.contains("Watch") ||
           line.contains("Warning");
}

} // namespace

void TestMqttPublisher::brokerArgument_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::newRow("host alone") << "broker.local" << true << "broker.local" << 1883;
    QTest::newRow("host and port") << "10.0.0.5:1884" << true << "10.0.0.5" << 1884;
    QTest::newRow("port 0") << "broker:0" << false << "" << 1883;
    QTest::newRow("port not a number") << "broker:x" << false << "" << 1883;
    QTest::newRow("port alone") << ":1883" << false << "" << 1883;
    QTest::newRow("empty") << "" << false << "" << 1883;
}

void TestMqttPublisher::brokerArgument()
{
    QFETCH(QString, argument);
    QFETCH(bool, accepted);
    QFETCH(QString, host);
    QFETCH(int, port);
    MqttOptions options;
    QCOMPARE(options.setBroker(argument), accepted);
    if (accepted) {
        QCOMPARE(options.host, host);
        QCOMPARE(options.port, port);
    }
}

// The simulator's quake: alarms arrive in the order they were logged, with the logged texts;
// the event summary names its file; the link's status follows the simulator.
void TestMqttPublisher::quakePublishedAsLogged()
{
    Broker broker;
    QVERIFY(broker.start());
    Subscriber dashboard(broker.port(), "dashboard");
    DemoDevice sim;
    QString error;
    QVERIFY2(sim.start(QStringLiteral(DEVSIM_PROGRAM),
                       {"--tcp", "0", "--serial", "4321", "--scenario", "quake", "--speed", "10"},
                       &error),
             qPrintable(error));
    StationFixture f(StationFixture::LinkKind::Real);
    pointAtBroker(f, broker.port());
    f.station->Form_Load(QString());
    f.useClientLinkTo(sim.port());
    f.station->cmdComset_Click();

    QTRY_VERIFY_WITH_TIMEOUT(f.station->mqtt().isConnected(), 10000);
    QCOMPARE(f.station->mqtt().prefix(), QStringLiteral("vorsa/4321"));
    QTRY_VERIFY_WITH_TIMEOUT(dashboard.fieldOn("status", "status").contains("online"), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!dashboard.on("event").isEmpty(), 20000);

    QStringList logged;
    for (const QString &line : f.logLines()) {
        if (isAlarmLine(line))
            logged << line;
    }
    QVERIFY(logged.size() >= 2);
    QTRY_COMPARE(dashboard.fieldOn("alarm", "line"), logged);
    const QList<Received> events = dashboard.on("event");
    QCOMPARE(events.size(), 1);
    QCOMPARE(events[0].payload.value("summary").toString(), f.readFile("Vorsa.txt").trimmed());
    QCOMPARE(events[0].payload.value("file").toString(), f.station->eventFile().fileName());
    QVERIFY(!dashboard.on("live").isEmpty());

    sim.stop();
    QTRY_COMPARE_WITH_TIMEOUT(dashboard.fieldOn("status", "status").last(),
                              QStringLiteral("offline"), 10000);
    Subscriber late(broker.port(), "late-dashboard");
    QTRY_VERIFY_WITH_TIMEOUT(!late.on("status").isEmpty(), 10000);
    QVERIFY(late.on("status").last().retained);
    QCOMPARE(late.fieldOn("status", "status").last(), QStringLiteral("offline"));
}

// Alarms and a summary while the broker is down wait, and arrive after its restart in the
// order logged, each once; the outage is told once.
void TestMqttPublisher::brokerAwayDuringAlarms()
{
    Broker broker;
    QVERIFY(broker.start());
    Subscriber dashboard(broker.port(), "dashboard");
    StationFixture f;
    pointAtBroker(f, broker.port());
    f.station->form().txtReal.setText(100, QStringLiteral("77"));
    f.station->Form_Load(QString());
    QTRY_VERIFY_WITH_TIMEOUT(f.station->mqtt().isConnected(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!dashboard.on("status").isEmpty(), 10000);

    EventLog &log = f.station->eventLog();
    const QString now = NumberText::generalDateTime(f.clock.now());
    log.AppendEventLog(now + " Pga trig");
    QTRY_COMPARE_WITH_TIMEOUT(dashboard.on("alarm").size(), 1, 10000);

    broker.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!f.station->mqtt().isConnected(), 10000);
    const QStringList phrases{" Pd trig", " P Watch Pd 0.5 cm", " PGA End", " P End"};
    for (const QString &phrase : phrases)
        log.AppendEventLog(now + phrase);
    log.WriteEventSummary();
    QCOMPARE(f.station->mqtt().queuedMessages(), phrases.size() + 1);
    f.station->mqtt().checkReachable();
    f.station->mqtt().checkReachable();
    QCOMPARE(f.logLines().filter("cannot be reached").size(), 1);

    QVERIFY(broker.start());
    QTRY_COMPARE_WITH_TIMEOUT(dashboard.on("alarm").size(), 1 + phrases.size(), 20000);
    QTRY_COMPARE_WITH_TIMEOUT(dashboard.on("event").size(), 1, 10000);
    QStringList expected{now + " Pga trig_77"};
    for (const QString &phrase : phrases)
        expected << now + phrase + "_77";
    QCOMPARE(dashboard.fieldOn("alarm", "line"), expected);
    QCOMPARE(f.station->mqtt().queuedMessages(), 0);
    QTest::qWait(500); // a second copy would come right behind the first
    QCOMPARE(dashboard.on("alarm").size(), 1 + phrases.size());
    QCOMPARE(dashboard.on("event").size(), 1);
}

QTEST_GUILESS_MAIN(TestMqttPublisher)
#include "tst_mqttpublisher.moc"
