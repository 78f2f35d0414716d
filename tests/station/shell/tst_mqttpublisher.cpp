#include "FreePort.h"
#include "StationFixture.h"
#include "link/DemoDevice.h"
#include "shell/MqttPublisher.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
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
    void brokerAwayDuringQuake();
    void lastWillWhenStationDies();
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

void pointAtBroker(StationFixture &f, quint16 port, const QString &more)
{
    f.writeFile("vorsa.ini",
                QStringLiteral("[mqtt]\nhost=127.0.0.1\nport=%1\n").arg(port).toUtf8() +
                    more.toUtf8());
}

// The trigger, watch, warning, P-wave and end lines of the station's log, in order.
QStringList loggedAlarms(const StationFixture &f)
{
    static const QRegularExpression alarm(
        QStringLiteral("^\\S+ \\S+ (\\S+ trig|.*End|.*Watch|.*Warning|P Wave)"));
    return f.logLines().filter(alarm);
}

bool summaryLogged(const StationFixture &f)
{
    return !f.logLines().filter("Max Intensity---").isEmpty();
}

// The simulator's quake, ten times the device's pace, with the station polling it.
struct QuakeRig {
    QuakeRig(quint16 brokerPort, const QString &moreSettings = QString())
    {
        QString error;
        started = sim.start(
            QStringLiteral(DEVSIM_PROGRAM),
            {"--tcp", "0", "--serial", "4321", "--scenario", "quake", "--speed", "10"}, &error);
        if (!started)
            qWarning() << error;
        pointAtBroker(f, brokerPort, moreSettings);
        f.station->start(QString());
        f.useClientLinkTo(sim.port());
        f.station->openLink();
    }
    DemoDevice sim;
    bool started = false;
    StationFixture f{StationFixture::LinkKind::Real};
};

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
    QTest::newRow("port 65536") << "broker:65536" << false << "" << 1883;
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
// the event summary as written; the link's status follows the simulator, and stays for a
// dashboard that subscribes later.
void TestMqttPublisher::quakePublishedAsLogged()
{
    Broker broker;
    QVERIFY(broker.start());
    Subscriber dashboard(broker.port(), "dashboard");
    QuakeRig rig(broker.port());
    QVERIFY(rig.started);
    StationFixture &f = rig.f;

    QTRY_VERIFY_WITH_TIMEOUT(f.station->mqtt().isConnected(), 10000);
    QCOMPARE(f.station->mqtt().prefix(), QStringLiteral("vorsa/4321"));
    QTRY_COMPARE_WITH_TIMEOUT(dashboard.fieldOn("status", "status"), QStringList{"online"}, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!dashboard.on("event").isEmpty(), 20000);

    const QStringList logged = loggedAlarms(f);
    QVERIFY2(logged.size() >= 4, qPrintable(logged.join('\n')));
    QTRY_COMPARE(dashboard.fieldOn("alarm", "line"), logged);
    const QJsonObject firstAlarm = dashboard.on("alarm")[0].payload;
    QCOMPARE(firstAlarm.value("station").toString(), QStringLiteral("4321"));
    static const QRegularExpression isoWithOffset(
        QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d[+-]\\d\\d:\\d\\d$"));
    QVERIFY2(isoWithOffset.match(firstAlarm.value("time").toString()).hasMatch(),
             qPrintable(firstAlarm.value("time").toString()));
    const QList<Received> events = dashboard.on("event");
    QCOMPARE(events.size(), 1);
    QCOMPARE(events[0].payload.value("summary").toString(), f.readFile("Vorsa.txt").trimmed());
    QVERIFY(events[0].payload.value("file").isNull()); // polling records no event file
    const QList<Received> live = dashboard.on("live");
    QVERIFY(!live.isEmpty());
    QCOMPARE(live.last().payload.value("station").toString(), QStringLiteral("4321"));
    QVERIFY(live.last().payload.contains("pga"));

    rig.sim.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!f.logLines().filter(QRegularExpression(" Offline_")).isEmpty(),
                             5000); // no data is on its way any more
    f.clock.advanceSeconds(MqttPublisher::SilentLinkMs / 1000);
    f.station->mqtt().tick();
    QTRY_COMPARE_WITH_TIMEOUT(dashboard.fieldOn("status", "status"),
                              QStringList({"online", "offline"}), 10000);
    Subscriber late(broker.port(), "late-dashboard");
    QTRY_VERIFY_WITH_TIMEOUT(!late.on("status").isEmpty(), 10000);
    QVERIFY(late.on("status").last().retained);
    QCOMPARE(late.fieldOn("status", "status"), QStringList{"offline"});
    QVERIFY(dashboard.on("wave").isEmpty()); // off unless asked for
}

// The broker stopped during the quake and started after it: every alarm and the event arrive
// after the restart in the order logged, each once; the outage is told once; leaving the
// station tells "offline" although the device is still there.
void TestMqttPublisher::brokerAwayDuringQuake()
{
    Broker broker;
    QVERIFY(broker.start());
    Subscriber dashboard(broker.port(), "dashboard");
    QuakeRig rig(broker.port(), "wave=true\n");
    QVERIFY(rig.started);
    StationFixture &f = rig.f;
    MqttPublisher &mqtt = f.station->mqtt();

    QTRY_VERIFY_WITH_TIMEOUT(!dashboard.on("alarm").isEmpty(), 20000);
    broker.stop();
    QTRY_VERIFY_WITH_TIMEOUT(!mqtt.isConnected(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(summaryLogged(f), 20000);
    mqtt.checkReachable();
    mqtt.checkReachable();
    QCOMPARE(f.logLines().filter("cannot be reached").size(), 1);
    QVERIFY(f.station->readout().statusLine.text().contains("cannot be reached"));

    QVERIFY(broker.start());
    const QStringList logged = loggedAlarms(f);
    QTRY_COMPARE_WITH_TIMEOUT(dashboard.on("event").size(), 1, 30000);
    QTRY_COMPARE_WITH_TIMEOUT(dashboard.fieldOn("alarm", "line"), logged, 10000);
    QCOMPARE(mqtt.queuedMessages(), 0);
    QCOMPARE(f.logLines().filter("reached again").size(), 1);
    QTest::qWait(500); // a second copy would come right behind the first
    QCOMPARE(dashboard.fieldOn("alarm", "line"), logged);
    QCOMPARE(dashboard.on("event").size(), 1);
    // A wave message holds a second of samples, and the poll reads at the device's pace.
    QTRY_VERIFY_WITH_TIMEOUT(!dashboard.on("wave").isEmpty(), 5000);
    const QList<Received> wave = dashboard.on("wave");
    for (const Received &second : wave) {
        for (const char *axis : {"a", "b", "c"})
            QCOMPARE(second.payload.value(axis).toArray().size(), MqttPublisher::WaveSamples);
    }

    f.station.reset();
    QTRY_COMPARE_WITH_TIMEOUT(dashboard.fieldOn("status", "status").last(),
                              QStringLiteral("offline"), 10000);
}

// The station's process killed while its device runs: the broker tells "offline" for it, the
// last will, which carries no time of its own.
void TestMqttPublisher::lastWillWhenStationDies()
{
    Broker broker;
    QVERIFY(broker.start());
    Subscriber dashboard(broker.port(), "dashboard");
    DemoDevice sim;
    QString error;
    QVERIFY2(sim.start(QStringLiteral(DEVSIM_PROGRAM),
                       {"--tcp", "0", "--serial", "55", "--latency", "10"}, &error),
             qPrintable(error));
    QTemporaryDir home;
    QFile settings(home.filePath(QStringLiteral("sys.txt")));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(QStringLiteral("Port:%1\r\n").arg(sim.port()).toUtf8());
    settings.close();
    QProcess station;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VORSA_HOME"), home.path());
    station.setProcessEnvironment(env);
    station.start(QStringLiteral(HEADLESS_PROGRAM),
                  {"--mqtt", QStringLiteral("127.0.0.1:%1").arg(broker.port()), "127.0.0.1"});
    QVERIFY(station.waitForStarted());

    QTRY_COMPARE_WITH_TIMEOUT(dashboard.fieldOn("status", "status"), QStringList{"online"}, 15000);
    QCOMPARE(dashboard.on("status")[0].topic, QStringLiteral("vorsa/55/status"));
    station.kill(); // SIGKILL: no goodbye
    QVERIFY(station.waitForFinished(5000));
    QTRY_COMPARE_WITH_TIMEOUT(dashboard.fieldOn("status", "status"),
                              QStringList({"online", "offline"}), 10000);
    QVERIFY(!dashboard.on("status").last().payload.contains("time"));
}

QTEST_GUILESS_MAIN(TestMqttPublisher)
#include "tst_mqttpublisher.moc"
