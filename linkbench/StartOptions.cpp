#include "StartOptions.h"

#include "DataText.h"
#include "LinkBench.h"

#include <QCommandLineParser>

namespace
{

const QString listenName = QStringLiteral("listen");
const QString connectName = QStringLiteral("connect");
const QString asciiName = QStringLiteral("ascii");
const QString forwardName = QStringLiteral("forward");
const QString sendName = QStringLiteral("send");
const QString everyName = QStringLiteral("every");

bool isNumberWithin(const QString &text, int lowest, int highest)
{
    const std::optional<int> value = roundedNumber(text);
    return value && *value >= lowest && *value <= highest;
}

// HOST:PORT, with an IPv6 host in brackets.
bool splitHostAndPort(const QString &text, StartOptions &options)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    QString host = text.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
        host = host.mid(1, host.size() - 2);
    options.connectHost = host;
    options.connectPort = text.mid(colon + 1);
    return !host.isEmpty() && isNumberWithin(*options.connectPort, 1, 65535);
}

QString checkValues(const QCommandLineParser &parser, StartOptions &options)
{
    if (parser.isSet(listenName)) {
        options.listenPort = parser.value(listenName);
        if (!isNumberWithin(*options.listenPort, 0, 65535))
            return QStringLiteral("--listen needs a port from 0 to 65535");
    }
    if (parser.isSet(connectName) && !splitHostAndPort(parser.value(connectName), options))
        return QStringLiteral("--connect needs HOST:PORT with a port from 1 to 65535");
    if (parser.isSet(everyName)) {
        options.everyMs = parser.value(everyName);
        if (!roundedNumber(*options.everyMs))
            return QStringLiteral("--every needs a number of milliseconds");
    }
    return {};
}

} // namespace

void addStartOptions(QCommandLineParser &parser)
{
    parser.addOptions({
        {listenName, QStringLiteral("Listen on <port> (server side)."), QStringLiteral("port")},
        {connectName, QStringLiteral("Link to <host:port> (client side)."),
         QStringLiteral("host:port")},
        {asciiName, QStringLiteral("Data are text (default: hexadecimal bytes such as F0 FF).")},
        {forwardName, QStringLiteral("Relay what clients send to the server side out through the "
                                     "client link (hexadecimal mode only).")},
        {sendName,
         QStringLiteral("Put <text> in both send boxes; with --connect, send it once "
                        "the link is up."),
         QStringLiteral("text")},
        {everyName,
         QStringLiteral("Send period in milliseconds; with --connect, the periodic "
                        "send starts once the link is up."),
         QStringLiteral("ms")},
    });
}

StartOptionsResult readStartOptions(const QCommandLineParser &parser)
{
    StartOptionsResult result;
    result.options.ascii = parser.isSet(asciiName);
    result.options.forward = parser.isSet(forwardName);
    if (parser.isSet(sendName))
        result.options.sendText = parser.value(sendName);
    result.error = checkValues(parser, result.options);
    return result;
}

namespace
{

void fillFields(LinkBench &bench, const StartOptions &options)
{
    if (options.ascii)
        bench.Option1_Click();
    bench.Check1.setChecked(options.forward);
    if (options.sendText) {
        bench.Text6.setText(*options.sendText);
        bench.Text7.setText(*options.sendText);
    }
    if (options.everyMs)
        bench.send_in_msec.setText(*options.everyMs);
}

void sendOnceLinked(LinkBench &bench, const StartOptions &options)
{
    if (!options.sendText && !options.everyMs)
        return;
    const bool periodic = options.everyMs.has_value();
    QObject::connect(
        &bench, &LinkBench::linked, &bench,
        [&bench, periodic] {
            if (periodic)
                bench.botton_interval_Click();
            else
                bench.Command5_Click();
        },
        Qt::SingleShotConnection);
}

} // namespace

void applyStartOptions(LinkBench &bench, const StartOptions &options)
{
    fillFields(bench, options);
    if (options.listenPort) {
        bench.Text2.setText(*options.listenPort);
        bench.Command1_Click();
    }
    if (options.connectHost) {
        bench.Text3.setText(*options.connectHost);
        bench.Text4.setText(*options.connectPort);
        sendOnceLinked(bench, options);
        bench.Command2_Click();
    }
}
