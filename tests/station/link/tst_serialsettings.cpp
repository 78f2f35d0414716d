#include "link/SerialSettings.h"

#include <QTest>

class TestSerialSettings : public QObject
{
    Q_OBJECT
private slots:
    void parse_data();
    void parse();
    void refused_data();
    void refused();
};

void TestSerialSettings::parse_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("baud");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("stopBits");
    QTest::newRow("design") << "19200,N,8,1" << 19200 << int(QSerialPort::NoParity) << 8
                            << int(QSerialPort::OneStop);
    QTest::newRow("9600 even 7 2")
        << "9600,E,7,2" << 9600 << int(QSerialPort::EvenParity) << 7 << int(QSerialPort::TwoStop);
    QTest::newRow("odd, lower case")
        << "4800,o,8,1" << 4800 << int(QSerialPort::OddParity) << 8 << int(QSerialPort::OneStop);
    QTest::newRow("mark 1.5") << "1200,M,5,1.5" << 1200 << int(QSerialPort::MarkParity) << 5
                              << int(QSerialPort::OneAndHalfStop);
    QTest::newRow("space, blanks")
        << " 115200 , S , 6 , 1 " << 115200 << int(QSerialPort::SpaceParity) << 6
        << int(QSerialPort::OneStop);
}

void TestSerialSettings::parse()
{
    QFETCH(QString, text);
    const std::optional<SerialSettings> s = SerialSettings::parse(text);
    QVERIFY(s.has_value());
    QTEST(int(s->baudRate), "baud");
    QTEST(int(s->parity), "parity");
    QTEST(int(s->dataBits), "dataBits");
    QTEST(int(s->stopBits), "stopBits");
}

void TestSerialSettings::refused_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("named"); // the part the message points at
    QTest::newRow("empty") << ""
                           << "\"\"";
    QTest::newRow("three parts") << "19200,N,8"
                                 << "19200,N,8";
    QTest::newRow("five parts") << "19200,N,8,1,1"
                                << "19200,N,8,1,1";
    QTest::newRow("baud text") << "fast,N,8,1"
                               << "fast";
    QTest::newRow("baud zero") << "0,N,8,1"
                               << "baud";
    QTest::newRow("baud negative") << "-9600,N,8,1"
                                   << "-9600";
    QTest::newRow("parity") << "19200,X,8,1"
                            << "X";
    QTest::newRow("data bits 9") << "19200,N,9,1"
                                 << "9";
    QTest::newRow("data bits 4") << "19200,N,4,1"
                                 << "4";
    QTest::newRow("stop bits 3") << "19200,N,8,3"
                                 << "3";
    QTest::newRow("stop bits 0") << "19200,N,8,0"
                                 << "stop bits";
}

void TestSerialSettings::refused()
{
    QFETCH(QString, text);
    QFETCH(QString, named);
    QString error;
    QVERIFY(!SerialSettings::parse(text, &error).has_value());
    QVERIFY2(error.contains(named), qPrintable(error));
}

QTEST_GUILESS_MAIN(TestSerialSettings)
#include "tst_serialsettings.moc"
