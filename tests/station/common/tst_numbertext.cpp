#include "common/NumberText.h"

#include <QTest>

class TestNumberText : public QObject
{
    Q_OBJECT
private slots:
    void leadingNumber_data();
    void leadingNumber();
    void fixed_data();
    void fixed();
    void defaultTexts_data();
    void defaultTexts();
    void roundHalfEven_data();
    void roundHalfEven();
    void rightAligned();
    void ranges();
    void dateForm();
};

void TestNumberText::leadingNumber_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    QTest::newRow("integer") << "502" << 502.0;
    QTest::newRow("leading blanks") << "   12.5" << 12.5;
    QTest::newRow("sign") << "-3.25" << -3.25;
    QTest::newRow("plus") << "+7" << 7.0;
    QTest::newRow("trailing text") << "30s" << 30.0;
    QTest::newRow("exponent") << "1.5E+3x" << 1500.0;
    QTest::newRow("half exponent") << "2e" << 2.0;
    QTest::newRow("point first") << ".5" << 0.5;
    QTest::newRow("no number") << "abc" << 0.0;
    QTest::newRow("empty") << "" << 0.0;
    QTest::newRow("lone sign") << "-" << 0.0;
    QTest::newRow("lone point") << "." << 0.0;
    QTest::newRow("sentinel") << "88888" << 88888.0;
    QTest::newRow("drive path") << "C:\\x" << 0.0;
    QTest::newRow("overflowing exponent") << "1e400" << 0.0;
    QTest::newRow("seventy digits") << QString(70, QLatin1Char('1')) << 1.1111111111111111e69;
    QTest::newRow("plus and point") << "+.25 cm" << 0.25;
}

void TestNumberText::leadingNumber()
{
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(NumberText::leadingNumber(text), value);
}

void TestNumberText::fixed_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<QString>("text");
    QTest::newRow("59.8 two places") << 1000 * 0.0598 << 2 << "59.80";
    QTest::newRow("half up in decimal") << 2.345 << 2 << "2.35";
    QTest::newRow("half away from zero") << -2.345 << 2 << "-2.35";
    QTest::newRow("negative zero") << -0.001 << 2 << "0.00";
    QTest::newRow("minus zero itself") << -0.0 << 3 << "0.000";
    QTest::newRow("carry into new digit") << 9.9996 << 3 << "10.000";
    QTest::newRow("one place") << 57.3 << 1 << "57.3";
    QTest::newRow("zero one place") << 0.0 << 1 << "0.0";
    QTest::newRow("four places") << -999.0 << 4 << "-999.0000";
    QTest::newRow("small") << 0.0004 << 3 << "0.000";
    QTest::newRow("small rounds up") << 0.0005 << 3 << "0.001";
    QTest::newRow("big") << 123456.789 << 3 << "123456.789";
    QTest::newRow("time") << 29999 * 0.01 << 2 << "299.99";
    QTest::newRow("no decimals") << 2.5 << 0 << "3";
}

void TestNumberText::fixed()
{
    QFETCH(double, value);
    QFETCH(int, decimals);
    QFETCH(QString, text);
    QCOMPARE(NumberText::fixed(value, decimals), text);
}

void TestNumberText::defaultTexts_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<QString>("single");
    QTest::addColumn<QString>("dbl");
    QTest::newRow("whole") << 80.0 << "80"
                           << "80";
    QTest::newRow("fraction") << 2.5 << "2.5"
                              << "2.5";
    QTest::newRow("0.1") << 0.1 << "0.1"
                         << "0.1";
    QTest::newRow("57 x 0.01") << 57 * 0.01 << "0.57"
                               << "0.57";
    QTest::newRow("negative") << -0.456 << "-0.456"
                              << "-0.456";
    QTest::newRow("seven digits") << 1.2345678 << "1.234568"
                                  << "1.2345678";
    QTest::newRow("smallest plain") << 0.0001 << "0.0001"
                                    << "0.0001";
    QTest::newRow("below plain") << 0.00001 << "1E-05"
                                 << "1E-05";
    QTest::newRow("1e7") << 1e7 << "1E+07"
                         << "10000000";
    QTest::newRow("-999") << -999.0 << "-999"
                          << "-999";
    QTest::newRow("zero") << 0.0 << "0"
                          << "0";
    QTest::newRow("PGA 95.5") << 95.5 << "95.5"
                              << "95.5";
    QTest::newRow("scaled count") << 1000 / 16.7184 << "59.81433"
                                  << "59.8143363001244";
}

void TestNumberText::defaultTexts()
{
    QFETCH(double, value);
    QFETCH(QString, single);
    QFETCH(QString, dbl);
    QCOMPARE(NumberText::singleText(float(value)), single);
    QCOMPARE(NumberText::doubleText(value), dbl);
}

void TestNumberText::roundHalfEven_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<qint64>("rounded");
    QTest::newRow("2.5") << 2.5 << qint64(2);
    QTest::newRow("3.5") << 3.5 << qint64(4);
    QTest::newRow("-2.5") << -2.5 << qint64(-2);
    QTest::newRow("417.96") << 25 * 16.7184 << qint64(418);
    QTest::newRow("0.5 x 1000") << 0.5 * 1000 << qint64(500);
    QTest::newRow("nan") << qQNaN() << qint64(0);
}

void TestNumberText::roundHalfEven()
{
    QFETCH(double, value);
    QFETCH(qint64, rounded);
    QCOMPARE(NumberText::roundHalfEven(value), rounded);
}

void TestNumberText::rightAligned()
{
    QCOMPARE(NumberText::rightAligned(QStringLiteral("12.30"), 10), QStringLiteral("     12.30"));
    QCOMPARE(NumberText::rightAligned(QStringLiteral("4"), 2), QStringLiteral(" 4"));
    QCOMPARE(NumberText::rightAligned(QStringLiteral("12345678901"), 10),
             QStringLiteral("12345678901"));
}

void TestNumberText::ranges()
{
    QVERIFY(NumberText::fitsWord(-32768));
    QVERIFY(NumberText::fitsWord(65535));
    QVERIFY(!NumberText::fitsWord(65536));
    QVERIFY(!NumberText::fitsWord(-32769));
    QVERIFY(NumberText::fitsRegister(0));
    QVERIFY(!NumberText::fitsRegister(-1));
    qint32 out = 0;
    QVERIFY(!NumberText::toInt32(3e9, &out));
    QVERIFY(NumberText::toInt32(-2.5, &out));
    QCOMPARE(out, -2);
}

void TestNumberText::dateForm()
{
    const QDateTime when(QDate(2024, 1, 5), QTime(8, 30, 12));
    QCOMPARE(NumberText::generalDateTime(when), QStringLiteral("2024/01/05 08:30:12"));
    QCOMPARE(NumberText::parseGeneralDateTime(QStringLiteral("2024/01/05 08:30:12")), when);
    QVERIFY(!NumberText::parseGeneralDateTime(QStringLiteral("no date")).isValid());
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
