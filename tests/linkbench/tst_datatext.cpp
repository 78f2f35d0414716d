#include "DataText.h"

#include <QTest>

class TestDataText : public QObject
{
    Q_OBJECT

private slots:
    void hexEntry_data();
    void hexEntry();
    void badHexToken_data();
    void badHexToken();
    void hexDisplay_data();
    void hexDisplay();
    void logNewestOnTop();
    void logKeepsNewestWithinCapacity();
    void roundedNumber_data();
    void roundedNumber();
};

void TestDataText::hexEntry_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("two bytes") << "F0 FF" << QByteArray::fromHex("F0FF");
    QTest::newRow("sample frame is 12 bytes")
        << "1 2 0 0 0 6 1 6 0 c0 0 1" << QByteArray::fromHex("010200000006010600C00001");
    QTest::newRow("runs of two blanks") << "01  02  03" << QByteArray::fromHex("010203");
    QTest::newRow("runs of three blanks") << "01   02   03" << QByteArray::fromHex("010203");
    QTest::newRow("runs of two and three blanks") << "01  02   03" << QByteArray::fromHex("010203");
    QTest::newRow("run of five blanks") << "01     02" << QByteArray::fromHex("0102");
    QTest::newRow("trailing blank adds 0") << "01 02 " << QByteArray::fromHex("010200");
    QTest::newRow("trailing blanks add one 0") << "01 02   " << QByteArray::fromHex("010200");
    QTest::newRow("leading blank adds 0") << " 01" << QByteArray::fromHex("0001");
    QTest::newRow("only blanks") << "   " << QByteArray::fromHex("0000");
    QTest::newRow("lower and mixed case") << "a B cD Ef" << QByteArray::fromHex("0A0BCDEF");
    QTest::newRow("one digit") << "7" << QByteArray::fromHex("07");
    QTest::newRow("line break separates") << "01\r\n02\n03" << QByteArray::fromHex("010203");
    QTest::newRow("tab separates") << "01\t02" << QByteArray::fromHex("0102");
    QTest::newRow("empty box sends nothing") << "" << QByteArray();
}

void TestDataText::hexEntry()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    const HexEntry entry = parseHexEntry(text);
    QVERIFY2(entry.valid, qPrintable(entry.badToken));
    QCOMPARE(entry.bytes.toHex(' '), bytes.toHex(' '));
}

void TestDataText::badHexToken_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("badToken");
    QTest::newRow("three digits") << "01 100 02"
                                  << "100";
    QTest::newRow("leading zero makes three digits") << "001"
                                                     << "001";
    QTest::newRow("letter beyond F") << "01 G1"
                                     << "G1";
    QTest::newRow("prefix") << "0x1"
                            << "0x1";
    QTest::newRow("sign") << "+1 -1"
                          << "+1";
    QTest::newRow("first bad token named") << "ZZ YY"
                                           << "ZZ";
    QTest::newRow("bad token after trailing blank rule") << "01 02 G "
                                                         << "G";
}

void TestDataText::badHexToken()
{
    QFETCH(QString, text);
    QFETCH(QString, badToken);
    const HexEntry entry = parseHexEntry(text);
    QVERIFY(!entry.valid);
    QCOMPARE(entry.badToken, badToken);
    QVERIFY2(entry.bytes.isEmpty(), "a text with a bad token must yield nothing to send");
}

static QByteArray countingBytes(int count)
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes.append(char(i));
    return bytes;
}

void TestDataText::hexDisplay_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    QTest::newRow("nothing") << QByteArray() << QString();
    QTest::newRow("one byte below 0x10") << QByteArray::fromHex("0A") << "\r\n0A";
    QTest::newRow("upper case, blanks between")
        << QByteArray::fromHex("00ff7fab") << "\r\n00 FF 7F AB";
    QTest::newRow("25 bytes: 20 then 5")
        << countingBytes(25)
        << "\r\n00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 "
           "\r\n14 15 16 17 18";
    QTest::newRow("40 bytes: two full lines, no empty third")
        << countingBytes(40)
        << "\r\n00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 "
           "\r\n14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20 21 22 23 24 25 26 27";
}

void TestDataText::hexDisplay()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    QCOMPARE(::hexDisplay(bytes), shown);
}

void TestDataText::logNewestOnTop()
{
    QString log = prependToLog(QString(), QStringLiteral("\r\n01"));
    QCOMPARE(log, QStringLiteral("\r\n01"));
    log = prependToLog(log, QStringLiteral("\r\n02 03"));
    QCOMPARE(log, QStringLiteral("\r\n02 03\r\n\r\n01"));
    log = prependToLog(log, QStringLiteral("text"));
    QCOMPARE(log, QStringLiteral("text\r\n\r\n02 03\r\n\r\n01"));
}

void TestDataText::logKeepsNewestWithinCapacity()
{
    const QString block = ::hexDisplay(countingBytes(25));
    QString log;
    for (int i = 0; i < 2 * logCapacity / block.size(); ++i)
        log = prependToLog(log, block);
    const QString newest = QStringLiteral("\r\nAA BB");
    log = prependToLog(log, newest);

    QVERIFY(log.size() <= logCapacity);
    QVERIFY(log.size() > logCapacity - block.size());
    QVERIFY(log.startsWith(newest + QStringLiteral("\r\n") + block));
    QVERIFY2(log.endsWith(
                 QStringLiteral("00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F 10 11 12 13 ")) ||
                 log.endsWith(QStringLiteral("14 15 16 17 18")),
             "the oldest text must be dropped by whole lines");
}

void TestDataText::roundedNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("isNumber");
    QTest::addColumn<int>("value");
    QTest::newRow("plain") << "502" << true << 502;
    QTest::newRow("blanks around") << " 15020 " << true << 15020;
    QTest::newRow("half rounds to even down") << "2.5" << true << 2;
    QTest::newRow("half rounds to even up") << "3.5" << true << 4;
    QTest::newRow("negative") << "-5" << true << -5;
    QTest::newRow("empty") << "" << false << 0;
    QTest::newRow("letters") << "abc" << false << 0;
    QTest::newRow("trailing letters") << "502x" << false << 0;
    QTest::newRow("too large for an integer") << "1e20" << false << 0;
    QTest::newRow("infinite") << "inf" << false << 0;
}

void TestDataText::roundedNumber()
{
    QFETCH(QString, text);
    QFETCH(bool, isNumber);
    QFETCH(int, value);
    const std::optional<int> number = ::roundedNumber(text);
    QCOMPARE(number.has_value(), isNumber);
    if (isNumber)
        QCOMPARE(*number, value);
}

QTEST_GUILESS_MAIN(TestDataText)
#include "tst_datatext.moc"
