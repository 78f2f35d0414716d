#include "MqttPublisher.h"

#include "common/Clock.h"
#include "common/Control.h"
#include "common/DecodedPacket.h"
#include "common/FieldNumbers.h"
#include "common/LiveFields.h"
#include "common/NumberText.h"
#include "records/EventLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSettings>
#include <QSysInfo>
#include <cstdlib>
#include <mosquitto.h>

Q_LOGGING_CATEGORY(lcMqtt, "vorsa.mqtt")

namespace
{

const QString Group = QStringLiteral("mqtt/");
constexpr int KeepAliveSeconds = 30;
constexpr int LogTimeLength = 19; // "yyyy/MM/dd HH:mm:ss"

// Always with a numeric offset, "+00:00" included, so that every reader takes it alike.
QString isoTime(const QDateTime &when)
{
    if (!when.isValid())
        return {};
    const QDateTime local = when.toLocalTime();
    const int offsetMinutes = local.offsetFromUtc() / 60;
    const int minutes = std::abs(offsetMinutes);
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) +
           QLatin1Char(offsetMinutes < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// MQTT wildcards and level separators do not belong in one topic level.
QString topicLevel(const QString &text)
{
    QString level = text.trimmed();
    for (QChar &ch : level) {
        if (ch == QLatin1Char('/') || ch == QLatin1Char('+') || ch == QLatin1Char('#'))
            ch = QLatin1Char('_');
    }
    return level;
}

} // namespace

MqttOptions MqttOptions::read(const QSettings &settings)
{
    MqttOptions options;
    auto text = [&settings](const char *key) {
        return settings.value(Group + QLatin1String(key)).toString().trimmed();
    };
    options.host = text("host");
    options.port = settings.value(Group + QStringLiteral("port"), options.port).toInt();
    options.prefix = text("prefix");
    options.clientId = text("clientId");
    options.user = text("user");
    options.passwordFile = text("passwordFile");
    options.tls = settings.value(Group + QStringLiteral("tls"), false).toBool();
    options.caFile = text("caFile");
    options.wave = settings.value(Group + QStringLiteral("wave"), false).toBool();
    return options;
}

bool MqttOptions::setBroker(const QString &hostAndPort)
{
    const qsizetype colon = hostAndPort.lastIndexOf(QLatin1Char(':'));
    if (colon < 0) {
        host = hostAndPort;
        return !host.isEmpty();
    }
    bool ok = false;
    const int number = hostAndPort.mid(colon + 1).toInt(&ok);
    if (!ok || number < 1 || number > 65535 || colon == 0)
        return false;
    host = hostAndPort.left(colon);
    port = number;
    return true;
}

MqttPublisher::MqttPublisher(LiveFields &fields, Control &statusLine, EventLog &log,
                             const Clock &clock, QObject *parent)
    : QObject(parent), fields_(fields), statusLine_(statusLine), log_(log), clock_(clock)
{
    tickTimer_.setInterval(1000);
    connect(&tickTimer_, &QTimer::timeout, this, &MqttPublisher::tick);
    reachTimer_.setSingleShot(true);
    reachTimer_.setInterval(UnreachableAfterMs);
    connect(&reachTimer_, &QTimer::timeout, this, &MqttPublisher::checkReachable);
}

MqttPublisher::~MqttPublisher()
{
    if (!client_)
        return;
    if (connected_)
        publishNow(prefix_ + QStringLiteral("/status"), statusPayload("offline"), 1, true);
    stopNetwork();
    mosquitto_destroy(client_);
}

// The goodbye published last goes out before the disconnection that follows it.
void MqttPublisher::stopNetwork()
{
    {
        const std::lock_guard lock(startMutex_);
        stopping_ = true;
    }
    startWake_.notify_all();
    if (starter_.joinable())
        starter_.join();
    mosquitto_disconnect(client_);
    if (loopStarted_)
        mosquitto_loop_stop(client_, false);
}

void MqttPublisher::start(const MqttOptions &options)
{
    options_ = options;
    if (!options_.enabled())
        return;
    connect(&fields_, &LiveFields::changed, this, [this](int field) {
        if (field == Field::StationCode)
            connectWhenPrefixKnown();
    });
    connectWhenPrefixKnown();
}

void MqttPublisher::connectWhenPrefixKnown()
{
    if (client_)
        return;
    if (options_.prefix.isEmpty() && !fields_.isRead(Field::StationCode))
        return;
    prefix_ = options_.prefix.isEmpty() ? QStringLiteral("vorsa/") + topicLevel(stationCode())
                                        : options_.prefix;
    while (prefix_.endsWith(QLatin1Char('/')))
        prefix_.chop(1);
    if (!openClient()) {
        report(QStringLiteral("MQTT publishing to %1 is off: the client cannot be set up")
                   .arg(brokerName()));
        return;
    }
    tickTimer_.start();
    reachTimer_.start();
}

bool MqttPublisher::openClient()
{
    mosquitto_lib_init();
    const QString id = options_.clientId.isEmpty()
                           ? QStringLiteral("vorsa-%1-%2")
                                 .arg(topicLevel(stationCode()), QSysInfo::machineHostName())
                           : options_.clientId;
    client_ = mosquitto_new(id.toUtf8().constData(), true, this);
    if (!client_)
        return false;
    // No time: the broker sends it when the station is gone, which cannot be known now.
    const QByteArray will =
        QJsonDocument(QJsonObject{{"station", stationCode()}, {"status", "offline"}})
            .toJson(QJsonDocument::Compact);
    const QByteArray statusTopic = (prefix_ + QStringLiteral("/status")).toUtf8();
    mosquitto_will_set(client_, statusTopic.constData(), int(will.size()), will.constData(), 1,
                       true);
    if (!setCredentials())
        return false;
    mosquitto_connect_callback_set(client_, connectCallback);
    mosquitto_disconnect_callback_set(client_, disconnectCallback);
    mosquitto_publish_callback_set(client_, publishCallback);
    mosquitto_reconnect_delay_set(client_, 1, RetryLimitSeconds, true);
    starter_ = std::thread(&MqttPublisher::connectUntilStarted, this, options_.host.toUtf8(),
                           options_.port);
    return true;
}

bool MqttPublisher::setCredentials()
{
    if (!options_.user.isEmpty()) {
        QFile file(options_.passwordFile);
        if (!options_.passwordFile.isEmpty() && !file.open(QIODevice::ReadOnly))
            report(QStringLiteral("MQTT password file %1 cannot be read: %2")
                       .arg(options_.passwordFile, file.errorString()));
        const QByteArray password = file.isOpen() ? file.readLine().trimmed() : QByteArray();
        mosquitto_username_pw_set(client_, options_.user.toUtf8().constData(),
                                  password.isEmpty() ? nullptr : password.constData());
    }
    if (!options_.tls)
        return true;
    // Without a CA file of its own the broker's certificate is checked against the system's.
    const QByteArray caFile = QFile::encodeName(options_.caFile);
    return mosquitto_tls_set(client_, caFile.isEmpty() ? nullptr : caFile.constData(),
                             caFile.isEmpty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr,
                             nullptr) == MOSQ_ERR_SUCCESS;
}

// On the starter thread: once a connection has begun, libmosquitto's network thread keeps it,
// reconnecting with growing delays.
void MqttPublisher::connectUntilStarted(const QByteArray &host, int port)
{
    std::unique_lock lock(startMutex_);
    for (int delay = 1; !stopping_; delay = std::min(delay * 2, RetryLimitSeconds)) {
        if (mosquitto_connect_async(client_, host.constData(), port, KeepAliveSeconds) ==
            MOSQ_ERR_SUCCESS) {
            loopStarted_ = mosquitto_loop_start(client_) == MOSQ_ERR_SUCCESS;
            return;
        }
        startWake_.wait_for(lock, std::chrono::seconds(delay), [this] { return stopping_; });
    }
}

// libmosquitto calls these on its network thread; the work is done on ours.
void MqttPublisher::connectCallback(mosquitto *, void *self, int rc)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    QMetaObject::invokeMethod(
        publisher, [publisher, rc] { publisher->onConnect(rc); }, Qt::QueuedConnection);
}

void MqttPublisher::disconnectCallback(mosquitto *, void *self, int rc)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    QMetaObject::invokeMethod(
        publisher, [publisher, rc] { publisher->onDisconnect(rc); }, Qt::QueuedConnection);
}

void MqttPublisher::publishCallback(mosquitto *, void *self, int mid)
{
    auto *publisher = static_cast<MqttPublisher *>(self);
    QMetaObject::invokeMethod(
        publisher, [publisher, mid] { publisher->onPublish(mid); }, Qt::QueuedConnection);
}

void MqttPublisher::onConnect(int rc)
{
    if (rc != 0) {
        connected_ = false;
        if (!std::exchange(unreachableReported_, true))
            report(QStringLiteral("MQTT broker %1 refused the station: %2")
                       .arg(brokerName(), QString::fromUtf8(mosquitto_connack_string(rc))));
        return;
    }
    connected_ = true;
    reachTimer_.stop();
    if (std::exchange(unreachableReported_, false))
        report(QStringLiteral("MQTT broker %1 reached again").arg(brokerName()));
    publishStatus();
    pump();
}

void MqttPublisher::onDisconnect(int rc)
{
    connected_ = false;
    if (rc != 0 && !reachTimer_.isActive())
        reachTimer_.start();
}

void MqttPublisher::onPublish(int mid)
{
    inFlight_.erase(mid);
    pump();
}

void MqttPublisher::checkReachable()
{
    if (connected_ || !client_ || std::exchange(unreachableReported_, true))
        return;
    report(QStringLiteral("MQTT broker %1 cannot be reached; retrying").arg(brokerName()));
}

void MqttPublisher::report(const QString &text)
{
    qCWarning(lcMqtt).noquote() << text;
    statusLine_.setText(text);
    log_.appendEventLog(NumberText::generalDateTime(clock_.now()) + QLatin1Char(' ') + text);
}

QString MqttPublisher::brokerName() const
{
    return options_.host + QLatin1Char(':') + QString::number(options_.port);
}

QString MqttPublisher::stationCode() const
{
    return fields_.text(Field::StationCode);
}

QJsonObject MqttPublisher::stamped() const
{
    return QJsonObject{{"station", stationCode()}, {"time", isoTime(clock_.now())}};
}

QByteArray MqttPublisher::statusPayload(const char *status) const
{
    QJsonObject payload = stamped();
    payload.insert("status", status);
    return QJsonDocument(payload).toJson(QJsonDocument::Compact);
}

void MqttPublisher::alarmLogged(const QString &line)
{
    if (!options_.enabled())
        return;
    QString phrase = line.mid(LogTimeLength).trimmed();
    const QString suffix = QLatin1Char('_') + stationCode();
    if (phrase.endsWith(suffix))
        phrase.chop(suffix.size());
    QJsonObject payload = stamped();
    payload.insert("text", phrase);
    payload.insert("line", line);
    enqueue(QStringLiteral("alarm"), payload);
}

void MqttPublisher::eventSummary(const QString &summary, const QDateTime &start,
                                 const QString &eventFileName)
{
    if (!options_.enabled())
        return;
    QJsonObject payload = stamped();
    payload.insert("start", isoTime(start));
    payload.insert("summary", summary);
    payload.insert("file", eventFileName.isEmpty() ? QJsonValue() : QJsonValue(eventFileName));
    enqueue(QStringLiteral("event"), payload);
}

// The prefix may not be known yet: an alarm can come in the same response as the station code.
void MqttPublisher::enqueue(const QString &subtopic, const QJsonObject &payload)
{
    if (int(queue_.size()) >= QueueLimit) {
        queue_.pop_front();
        if (!std::exchange(dropReported_, true))
            report(QStringLiteral("MQTT queue full: the oldest messages are dropped"));
    }
    queue_.push_back({subtopic, payload});
    pump();
}

// Hands the oldest waiting messages to libmosquitto while the broker is there. A QoS 1 message
// that libmosquitto has taken it keeps, also when it finds the connection gone, and sends
// again after reconnecting, in order; so it is handed over only once.
void MqttPublisher::pump()
{
    while (connected_ && !queue_.empty() && int(inFlight_.size()) < InFlightLimit) {
        const Message &message = queue_.front();
        const QString topic = prefix_ + QLatin1Char('/') + message.subtopic;
        // The code of the topic: a line logged before the device's code was read says 88888.
        QJsonObject payload = message.payload;
        payload.insert("station", stationCode());
        const QByteArray bytes = QJsonDocument(payload).toJson(QJsonDocument::Compact);
        int mid = 0;
        const int rc = mosquitto_publish(client_, &mid, topic.toUtf8().constData(),
                                         int(bytes.size()), bytes.constData(), 1, false);
        if (rc == MOSQ_ERR_SUCCESS || rc == MOSQ_ERR_NO_CONN)
            inFlight_.insert(mid);
        else
            report(QStringLiteral("MQTT message on %1 not sent: %2")
                       .arg(topic, QString::fromUtf8(mosquitto_strerror(rc))));
        queue_.pop_front();
    }
    if (queue_.empty())
        dropReported_ = false;
}

void MqttPublisher::packetDecoded(const DecodedPacket &packet)
{
    lastData_ = clock_.msecsSinceEpoch(); // per packet: no time zone lookup
    setDeviceOnline(true);
    if (!options_.wave)
        return;
    for (const DecodedPacket::Sample &sample : packet.samples) {
        wave_[0].append(sample.a);
        wave_[1].append(sample.b);
        wave_[2].append(sample.c);
    }
    if (wave_[0].size() >= WaveSamples)
        publishWave();
}

void MqttPublisher::tick()
{
    if (deviceOnline_ && clock_.msecsSinceEpoch() - lastData_ >= SilentLinkMs)
        setDeviceOnline(false);
    publishLive();
}

void MqttPublisher::setDeviceOnline(bool online)
{
    if (online == deviceOnline_)
        return;
    deviceOnline_ = online;
    publishStatus();
}

// Retained, so a dashboard that subscribes later learns it; sent again on every connection.
void MqttPublisher::publishStatus()
{
    if (connected_)
        publishNow(prefix_ + QStringLiteral("/status"),
                   statusPayload(deviceOnline_ ? "online" : "offline"), 1, true);
}

// Only the latest state matters for these: sent while connected, never queued.
void MqttPublisher::publishNow(const QString &topic, const QByteArray &payload, int qos,
                               bool retain)
{
    mosquitto_publish(client_, nullptr, topic.toUtf8().constData(), int(payload.size()),
                      payload.constData(), qos, retain);
}

void MqttPublisher::publishLive()
{
    if (!connected_)
        return;
    const LiveFields &f = fields_;
    QJsonObject payload = stamped();
    payload.insert("a", f.value(Field::AccelerationA));
    payload.insert("b", f.value(Field::AccelerationB));
    payload.insert("c", f.value(Field::AccelerationC));
    payload.insert("pd", f.value(Field::Pd));
    payload.insert("displacement", f.value(Field::Displacement));
    payload.insert("pga", f.value(Field::Pga));
    payload.insert("intensity", f.text(Field::Intensity));
    publishNow(prefix_ + QStringLiteral("/live"),
               QJsonDocument(payload).toJson(QJsonDocument::Compact), 0, false);
}

// Samples that arrive while the broker is away are dropped, as live values are.
void MqttPublisher::publishWave()
{
    QJsonObject payload = stamped();
    payload.insert("a", std::exchange(wave_[0], {}));
    payload.insert("b", std::exchange(wave_[1], {}));
    payload.insert("c", std::exchange(wave_[2], {}));
    if (connected_)
        publishNow(prefix_ + QStringLiteral("/wave"),
                   QJsonDocument(payload).toJson(QJsonDocument::Compact), 0, false);
}
