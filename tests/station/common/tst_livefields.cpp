#include "common/LiveFields.h"

#include <QSignalSpy>
#include <QTest>

class TestLiveFields : public QObject
{
    Q_OBJECT
private slots:
    void changeSignalledOnlyOnRealChange();
    void textInPlaceWhenSignalled();
    void bits_data();
    void bits();
    void outOfRangeIndexIgnored();
};

void TestLiveFields::changeSignalledOnlyOnRealChange()
{
    LiveFields fields;
    QSignalSpy spy(&fields, &LiveFields::changed);
    fields.setText(11, QStringLiteral("2"));
    fields.setText(11, QStringLiteral("2"));
    fields.setText(11, QStringLiteral("3"));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toInt(), 11);
}

void TestLiveFields::textInPlaceWhenSignalled()
{
    LiveFields fields;
    QString seen;
    double seenValue = -1;
    connect(&fields, &LiveFields::changed, this, [&](int i) {
        seen = fields.text(i);
        seenValue = fields.value(i);
    });
    fields.setText(37, QStringLiteral("1.25"));
    QCOMPARE(seen, QStringLiteral("1.25"));
    QCOMPARE(seenValue, 1.25);
}

void TestLiveFields::bits_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bit");
    QTest::addColumn<bool>("set");
    QTest::newRow("257 bit 0") << "257" << 0 << true;
    QTest::newRow("257 bit 8") << "257" << 8 << true;
    QTest::newRow("257 bit 1") << "257" << 1 << false;
    QTest::newRow("negative word sign") << "-32768" << 15 << true;
    QTest::newRow("negative word low bit") << "-32767" << 0 << true;
    QTest::newRow("input 7 with sign") << "-32767" << 14 << false;
    QTest::newRow("half to even 2.5") << "2.5" << 1 << true;
    QTest::newRow("half to even 2.5 bit 0") << "2.5" << 0 << false;
    QTest::newRow("no number") << "abc" << 0 << false;
}

void TestLiveFields::bits()
{
    QFETCH(QString, text);
    QFETCH(int, bit);
    QFETCH(bool, set);
    LiveFields fields;
    fields.setText(19, text);
    QCOMPARE(fields.bit(19, bit), set);
}

void TestLiveFields::outOfRangeIndexIgnored()
{
    LiveFields fields;
    QSignalSpy spy(&fields, &LiveFields::changed);
    fields.setText(250, QStringLiteral("1"));
    fields.setText(-1, QStringLiteral("1"));
    QCOMPARE(spy.count(), 0);
    QCOMPARE(fields.text(250), QString());
    QCOMPARE(fields.value(-1), 0.0);
}

QTEST_GUILESS_MAIN(TestLiveFields)
#include "tst_livefields.moc"
