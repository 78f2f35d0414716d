#include "LinkBench.h"
#include "LoopbackPeer.h"
#include "RecordingPrompter.h"
#include "StartOptions.h"

#include <QCommandLineParser>
#include <QTest>

// The command line that fills the form and presses its buttons at start.
class TestStartOptions : public QObject
{
    Q_OBJECT

private slots:
    void checkedValues_data();
    void checkedValues();
    void connectSplitsHostAndPort_data();
    void connectSplitsHostAndPort();
    void listensAndSendsOnceLinked();
    void asciiPeriodicSendStartsOnceLinked();
    void fieldsWithoutLink();
};

static StartOptionsResult read(const QStringList &arguments)
{
    QCommandLineParser parser;
    addStartOptions(parser);
    if (!parser.parse(QStringList(QStringLiteral("linkbench")) + arguments))
        return {{}, parser.errorText()};
    return readStartOptions(parser);
}

void TestStartOptions::checkedValues_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("nothing") << QStringList() << true;
    QTest::newRow("all") << QStringList{"--listen",  "15020",   "--connect", "127.0.0.1:1502",
                                        "--forward", "--ascii", "--send",    "x",
                                        "--every",   "100"}
                         << true;
    QTest::newRow("listen port 0") << QStringList{"--listen", "0"} << true;
    QTest::newRow("listen port text") << QStringList{"--listen", "http"} << false;
    QTest::newRow("listen port too large") << QStringList{"--listen", "65536"} << false;
    QTest::newRow("connect without port") << QStringList{"--connect", "127.0.0.1"} << false;
    QTest::newRow("connect without host") << QStringList{"--connect", ":502"} << false;
    QTest::newRow("connect port 0") << QStringList{"--connect", "host:0"} << false;
    QTest::newRow("every not a number") << QStringList{"--every", "often"} << false;
    QTest::newRow("unknown option") << QStringList{"--serial"} << false;
}

void TestStartOptions::checkedValues()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, accepted);
    const StartOptionsResult result = read(arguments);
    QVERIFY2(result.error.isEmpty() == accepted, qPrintable(result.error));
}

void TestStartOptions::connectSplitsHostAndPort_data()
{
    QTest::addColumn<QString>("argument");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::newRow("IPv4") << "192.168.1.100:502"
                          << "192.168.1.100"
                          << "502";
    QTest::newRow("name") << "localhost:1502"
                          << "localhost"
                          << "1502";
    QTest::newRow("IPv6 in brackets") << "[::1]:502"
                                      << "::1"
                                      << "502";
}

void TestStartOptions::connectSplitsHostAndPort()
{
    QFETCH(QString, argument);
    QFETCH(QString, host);
    QFETCH(QString, port);
    const StartOptionsResult result = read({QStringLiteral("--connect"), argument});
    QVERIFY2(result.error.isEmpty(), qPrintable(result.error));
    QCOMPARE(result.options.connectHost.value_or(QString()), host);
    QCOMPARE(result.options.connectPort.value_or(QString()), port);
}

void TestStartOptions::listensAndSendsOnceLinked()
{
    LoopbackPeer peer;
    RecordingPrompter prompter;
    LinkBench bench(prompter);
    const StartOptionsResult start =
        read({"--listen", "0", "--connect", QStringLiteral("127.0.0.1:%1").arg(peer.port()),
              "--forward", "--send", "F0  FF"});
    QVERIFY2(start.error.isEmpty(), qPrintable(start.error));
    applyStartOptions(bench, start.options);

    QVERIFY(bench.isListening());
    QVERIFY(bench.Check1.isChecked());
    QCOMPARE(bench.Text7.text(), QStringLiteral("F0  FF"));
    QTRY_COMPARE(peer.received, QByteArray::fromHex("F0FF"));
    QVERIFY(!bench.isPeriodicSendOn());
    QVERIFY(prompter.texts.isEmpty());
}

void TestStartOptions::asciiPeriodicSendStartsOnceLinked()
{
    LoopbackPeer peer;
    RecordingPrompter prompter;
    LinkBench bench(prompter);
    const StartOptionsResult start =
        read({"--connect", QStringLiteral("127.0.0.1:%1").arg(peer.port()), "--ascii", "--send",
              "poll;", "--every", "10"});
    QVERIFY2(start.error.isEmpty(), qPrintable(start.error));
    applyStartOptions(bench, start.options);

    QVERIFY(bench.Option1.isChecked());
    QTRY_VERIFY(bench.isPeriodicSendOn());
    QCOMPARE(bench.send_interval.interval(), 10);
    QTRY_VERIFY(peer.received.size() >= 10);
    QVERIFY(peer.received.startsWith("poll;poll;"));
    QVERIFY(prompter.texts.isEmpty());
}

void TestStartOptions::fieldsWithoutLink()
{
    RecordingPrompter prompter;
    LinkBench bench(prompter);
    const StartOptionsResult start = read({"--send", "01 02", "--every", "500"});
    QVERIFY2(start.error.isEmpty(), qPrintable(start.error));
    applyStartOptions(bench, start.options);

    QCOMPARE(bench.Text6.text(), QStringLiteral("01 02"));
    QCOMPARE(bench.send_in_msec.text(), QStringLiteral("500"));
    QVERIFY(!bench.isListening());
    QVERIFY2(!bench.isPeriodicSendOn(), "without a link nothing may start sending");
    QCOMPARE(bench.Command2.text(), QStringLiteral("Link"));
    QVERIFY(prompter.texts.isEmpty());
}

QTEST_GUILESS_MAIN(TestStartOptions)
#include "tst_startoptions.moc"
