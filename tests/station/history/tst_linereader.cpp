#include "history/LineReader.h"

#include <QBuffer>
#include <QTest>

class TestLineReader : public QObject
{
    Q_OBJECT
private slots:
    void lines_data();
    void lines();
};

void TestLineReader::lines_data()
{
    const QByteArray million(1000000, 'x');
    const QString cut(LineReader::MaxLineLength, QLatin1Char('x'));
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QByteArray() << QStringList();
    QTest::newRow("CR LF and LF") << QByteArray("a\r\nb\nc\r\n") << QStringList({"a", "b", "c"});
    QTest::newRow("no end on the last line") << QByteArray("a\r\nb") << QStringList({"a", "b"});
    QTest::newRow("empty lines") << QByteArray("\r\n\r\nz\r\n") << QStringList({"", "", "z"});
    QTest::newRow("a line of a million characters is cut, the next one read whole")
        << million + "\r\nnext\r\n"
        << QStringList({cut, "next"});
    QTest::newRow("a million characters without a line end") << million << QStringList({cut});
    QTest::newRow("longest whole line")
        << QByteArray(LineReader::MaxLineLength, 'y') + "\r\nz"
        << QStringList({QString(LineReader::MaxLineLength, QLatin1Char('y')), "z"});
    QTest::newRow("binary with NUL bytes")
        << QByteArray("\x00\x01\xff\r\n", 5) << QStringList({QString::fromUtf8("\x00\x01\xff", 3)});
}

void TestLineReader::lines()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    LineReader reader(buffer);
    QStringList read;
    QString line;
    while (reader.next(&line))
        read << line;
    QCOMPARE(read, lines);
    QVERIFY(reader.atEnd());
}

QTEST_GUILESS_MAIN(TestLineReader)
#include "tst_linereader.moc"
