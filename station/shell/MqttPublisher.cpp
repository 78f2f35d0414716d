#include "MqttPublisher.h"

#include "common/Clock.h"
#include "common/FieldNumbers.h"
#include "common/Form.h"
#include "common/NumberText.h"
#include "records/EventLog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLoggingCategory>
#include <QSettings>
#include <QSysInfo>
#include <mosquitto.h>

Q_LOGGING_CATEGORY(lcMqtt, "vorsa.mqtt")

namespace
{

const QString Group = QStringLiteral("mqtt/");
constexpr int KeepAliveSeconds = 30;
constexpr int LogTimeLength = 19; // "yyyy/MM/dd HH:mm:ss"

QString isoTime(const QDateTime &when)
{
    const QDateTime local = when.toLocalTime();
    return local.toOffsetFromUtc(local.offsetFromUtc()).toString(Qt::ISODate);
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

bool isAlarmPhrase(const QString &phrase)
{
    return phrase.contains(QLatin1String("trig")) || phrase.contains(QLatin1String("End")) ||
           phrase.contains(QLatin1String("Watch")) || phrase.contains(QLatin1String("Warning"));
}

// The station code is "88888" until the device has been read.
bool isKnownCode(const QString &code)
{
    return !code.trimmed().isEmpty() && code != QLatin1String("88888");
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
    const int colon = hostAndPort.lastIndexOf(QLatin1Char(':'));
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

MqttPublisher::MqttPublisher(Form &form, EventLog &log, const Clock &clock, QObject *parent)
    : QObject(parent), form_(form), log_(log), clock_(clock)
{
    liveTimer_.setInterval(1000);
    connect(&liveTimer_, &QTimer::timeout, this, &MqttPublisher::publishLive);
    reachTimer_.setSingleShot(true);
    reachTimer_.setInterval(UnreachableAfterMs);
    connect(&reachTimer_, &QTimer::timeout, this, &MqttPublisher::checkReachable);
}

MqttPublisher::~MqttPublisher()
{
    if (!client_)
        return;
    mosquitto_disconnect(client_);
    mosquitto_loop_stop(client_, false);
    mosquitto_destroy(client_);
}

void MqttPublisher::start(const MqttOptions &options)
{
    options_ = options;
    if (!options_.enabled())
        return;
    connect(&form_.txtReal, &LiveFields::changed, this, [this](int field) {
        if (field == Field::StationCode)
            connectWhenPrefixKnown();
    });
    connectWhenPrefixKnown();
}

void MqttPublisher::connectWhenPrefixKnown()
{
    if (client_)
        return;
    if (options_.prefix.isEmpty() && !isKnownCode(stationCode()))
        return;
    prefix_ = options_.prefix.isEmpty() ? QStringLiteral("vorsa/") + topicLevel(stationCode())
                                        : options_.prefix;
    if (!openClient()) {
        report(QStringLiteral("MQTT publishing to %1 is off: the client cannot be set up")
                   .arg(brokerName()));
        return;
    }
    liveTimer_.start();
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
    const QByteArray will =
        QJsonDocument(QJsonObject{{"station", stationCode()}, {"status", "offline"}})
            .toJson(QJsonDocument::Compact);
    const QByteArray statusTopic = (prefix_ + QStringLiteral("/status")).toUtf8();
    mosquitto_will_set(client_, statusTopic.constData(), int(will.size()), will.constData(), 1,
                       true);
    if (!options_.user.isEmpty()) {
        QFile file(options_.passwordFile);
        const QByteArray password =
            file.open(QIODevice::ReadOnly) ? file.readLine().trimmed() : QByteArray();
        mosquitto_username_pw_set(client_, options_.user.toUtf8().constData(),
                                  password.isEmpty() ? nullptr : password.constData());
    }
    if (options_.tls && mosquitto_tls_set(client_, QFile::encodeName(options_.caFile).constData(),
                                          nullptr, nullptr, nullptr, nullptr) != MOSQ_ERR_SUCCESS)
        return false;
    mosquitto_connect_callback_set(client_, connectCallback);
    mosquitto_disconnect_callback_set(client_, disconnectCallback);
    mosquitto_publish_callback_set(client_, publishCallback);
    mosquitto_reconnect_delay_set(client_, 1, 60, true);
    // A broker that is down now is retried by the network thread with growing delays.
    mosquitto_connect_async(client_, options_.host.toUtf8().constData(), options_.port,
                            KeepAliveSeconds);
    return mosquitto_loop_start(client_) == MOSQ_ERR_SUCCESS;
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
        report(QStringLiteral("MQTT broker %1 refused the station: %2")
                   .arg(brokerName(), QString::fromUtf8(mosquitto_connack_string(rc))));
        return;
    }
    connected_ = true;
    reachTimer_.stop();
    if (unreachableReported_) {
        unreachableReported_ = false;
        report(QStringLiteral("MQTT broker %1 reached again").arg(brokerName()));
    }
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
    if (connected_ || unreachableReported_ || !client_)
        return;
    unreachableReported_ = true;
    report(QStringLiteral("MQTT broker %1 cannot be reached; retrying").arg(brokerName()));
}

void MqttPublisher::report(const QString &text)
{
    qCWarning(lcMqtt).noquote() << text;
    form_.statusLine.setText(text);
    log_.AppendEventLog(NumberText::generalDateTime(clock_.now()) + QLatin1Char(' ') + text);
}

QString MqttPublisher::brokerName() const
{
    return options_.host + QLatin1Char(':') + QString::number(options_.port);
}

QString MqttPublisher::stationCode() const
{
    return form_.txtReal.text(Field::StationCode);
}

QJsonObject MqttPublisher::stamped() const
{
    return QJsonObject{{"station", stationCode()}, {"time", isoTime(clock_.now())}};
}

void MqttPublisher::logLine(const QString &line)
{
    QString phrase = line.mid(LogTimeLength).trimmed();
    const QString suffix = QLatin1Char('_') + stationCode();
    if (phrase.endsWith(suffix))
        phrase.chop(suffix.size());
    if (phrase == QLatin1String("Online") || phrase == QLatin1String("Offline")) {
        linkOnline_ = phrase == QLatin1String("Online");
        publishStatus();
    } else if (client_ && isAlarmPhrase(phrase)) {
        QJsonObject payload = stamped();
        payload.insert("text", phrase);
        payload.insert("line", line);
        enqueue(prefix_ + QStringLiteral("/alarm"), payload);
    }
}

void MqttPublisher::eventSummary(const QString &summary, const QString &eventFileName)
{
    if (!client_)
        return;
    QJsonObject payload = stamped();
    payload.insert("start", isoTime(form_.eventStartTime));
    payload.insert("summary", summary);
    payload.insert("file", eventFileName);
    enqueue(prefix_ + QStringLiteral("/event"), payload);
}

void MqttPublisher::enqueue(const QString &topic, const QJsonObject &payload)
{
    if (int(queue_.size()) >= QueueLimit) {
        queue_.pop_front();
        if (dropped_++ == 0)
            report(QStringLiteral("MQTT queue full: the oldest messages are dropped"));
    }
    queue_.push_back({topic, QJsonDocument(payload).toJson(QJsonDocument::Compact)});
    pump();
}

// Hands the oldest waiting messages to libmosquitto while the broker is there. What it has
// taken it keeps and sends again after a reconnection, in order, so it is never handed twice.
void MqttPublisher::pump()
{
    while (connected_ && !queue_.empty() && int(inFlight_.size()) < InFlightLimit) {
        const Message &message = queue_.front();
        int mid = 0;
        const QByteArray topic = message.topic.toUtf8();
        const int rc =
            mosquitto_publish(client_, &mid, topic.constData(), int(message.payload.size()),
                              message.payload.constData(), 1, false);
        if (rc != MOSQ_ERR_SUCCESS)
            return; // not taken: it waits for the next connection
        inFlight_.insert(mid);
        queue_.pop_front();
    }
}

void MqttPublisher::publishStatus()
{
    QJsonObject payload = stamped();
    payload.insert("status", linkOnline_ ? "online" : "offline");
    publishNow(prefix_ + QStringLiteral("/status"), payload, 1, true);
}

// Only the latest state matters for these: sent while connected, never queued.
void MqttPublisher::publishNow(const QString &topic, const QJsonObject &payload, int qos,
                               bool retain)
{
    if (!connected_)
        return;
    const QByteArray bytes = QJsonDocument(payload).toJson(QJsonDocument::Compact);
    mosquitto_publish(client_, nullptr, topic.toUtf8().constData(), int(bytes.size()),
                      bytes.constData(), qos, retain);
}

void MqttPublisher::publishLive()
{
    if (!connected_)
        return;
    const LiveFields &f = form_.txtReal;
    QJsonObject payload = stamped();
    payload.insert("a", f.value(Field::AccelerationA));
    payload.insert("b", f.value(Field::AccelerationB));
    payload.insert("c", f.value(Field::AccelerationC));
    payload.insert("pd", f.value(Field::Pd));
    payload.insert("displacement", f.value(Field::Displacement));
    payload.insert("pga", f.value(Field::Pga));
    payload.insert("intensity", f.text(Field::Intensity));
    publishNow(prefix_ + QStringLiteral("/live"), payload, 0, false);
    if (options_.wave)
        publishWave();
}

// The samples the ring took since the last tick.
void MqttPublisher::publishWave()
{
    const SampleRing &ring = form_.ring;
    const int from = waveIndex_ < 0 ? ring.ringWriteIndex : waveIndex_;
    waveIndex_ = ring.ringWriteIndex;
    std::array<QJsonArray, 3> axes;
    for (int r = from; r != ring.ringWriteIndex; r = SampleRing::next(r)) {
        for (int axis = 0; axis < 3; ++axis)
            axes[axis].append(double(ring.rows[r][axis]));
    }
    if (axes[0].isEmpty())
        return;
    QJsonObject payload = stamped();
    payload.insert("a", axes[0]);
    payload.insert("b", axes[1]);
    payload.insert("c", axes[2]);
    publishNow(prefix_ + QStringLiteral("/wave"), payload, 0, false);
}
