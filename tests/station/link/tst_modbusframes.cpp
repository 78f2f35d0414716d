#include "link/ModbusFrames.h"

#include <QTest>

class TestModbusFrames : public QObject
{
    Q_OBJECT
private slots:
    void frames_data();
    void frames();
    void crcOverwritesPlaceholders();
    void valueSplit_data();
    void valueSplit();
};

void TestModbusFrames::frames_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("hex");
    QTest::newRow("RTU poll 101 registers")
        << ModbusFrames::rtuReadHolding(1, 101) << QByteArray("01030063006575ff");
    QTest::newRow("RTU poll 107 registers") << ModbusFrames::rtuReadHolding(1, 107)
                                            << QByteArray("0103006300"
                                                          "6bf43b");
    QTest::newRow("RTU write 3 to 118")
        << *ModbusFrames::rtuWriteSingle(1, 118, 3) << QByteArray("0106007600032811");
    QTest::newRow("TCP write 1 to 192")
        << *ModbusFrames::tcpWriteSingle(1, 192, 1) << QByteArray("000000000006010600c00001");
    QTest::newRow("TCP poll 101") << ModbusFrames::tcpReadHolding(1, 101)
                                  << QByteArray("000000000006010300630065");
    QTest::newRow("TCP write -1") << *ModbusFrames::tcpWriteSingle(1, 117, -1)
                                  << QByteArray("0000000000060106"
                                                "0075ffff");
    QTest::newRow("TCP write 65535") << *ModbusFrames::tcpWriteSingle(1, 117, 65535)
                                     << QByteArray("0000000000060106"
                                                   "0075ffff");
    QTest::newRow("TCP write -32767") << *ModbusFrames::tcpWriteSingle(1, 117, -32767)
                                      << QByteArray("0000000000060106"
                                                    "00758001");
}

void TestModbusFrames::frames()
{
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, hex);
    QCOMPARE(frame.toHex(), hex);
}

void TestModbusFrames::crcOverwritesPlaceholders()
{
    QByteArray frame = QByteArray::fromHex("0103006300659999");
    ModbusFrames::ModbusCrc16(frame, 7);
    QCOMPARE(frame.toHex(), QByteArray("01030063006575ff"));
}

void TestModbusFrames::valueSplit_data()
{
    QTest::addColumn<qint64>("reg");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<bool>("ok");
    QTest::newRow("65536 refused") << qint64(118) << qint64(65536) << false;
    QTest::newRow("-32769 refused") << qint64(118) << qint64(-32769) << false;
    QTest::newRow("sentinel 88888 refused") << qint64(118) << qint64(88888) << false;
    QTest::newRow("negative register refused") << qint64(-1) << qint64(0) << false;
    QTest::newRow("-32768 fits") << qint64(118) << qint64(-32768) << true;
}

void TestModbusFrames::valueSplit()
{
    QFETCH(qint64, reg);
    QFETCH(qint64, value);
    QFETCH(bool, ok);
    QCOMPARE(ModbusFrames::rtuWriteSingle(1, reg, value).has_value(), ok);
    QCOMPARE(ModbusFrames::tcpWriteSingle(1, reg, value).has_value(), ok);
}

QTEST_GUILESS_MAIN(TestModbusFrames)
#include "tst_modbusframes.moc"
