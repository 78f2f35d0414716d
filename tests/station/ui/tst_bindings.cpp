#include "common/LiveFields.h"
#include "ui/Bindings.h"

#include <QLabel>
#include <QTest>

// Live labels are shown at once, then at most once a tick, all together; the last value of a
// burst is never lost, and a label of fixed width is never cut.
class TestBindings : public QObject
{
    Q_OBJECT
private slots:
    void burstShowsFirstAndLastValues();
    void fixedWidthLabelWidensForLongerText();
};

void TestBindings::burstShowsFirstAndLastValues()
{
    LiveFields fields;
    QLabel first, second;
    Bindings::liveField(fields, 1, &first);
    Bindings::liveField(fields, 2, &second);
    fields.setText(1, QStringLiteral("1.5"));
    QCOMPARE(first.text(), QStringLiteral("1.5"));
    fields.setText(1, QStringLiteral("2.5"));
    fields.setText(2, QStringLiteral("7"));
    QCOMPARE(first.text(), QStringLiteral("1.5"));
    QCOMPARE(second.text(), QString());
    QTRY_COMPARE_WITH_TIMEOUT(first.text(), QStringLiteral("2.5"), 1000);
    QCOMPARE(second.text(), QStringLiteral("7")); // the same tick
    // Once a tick passed with nothing new, the next change shows at once again.
    QTest::qWait(250);
    fields.setText(2, QStringLiteral("8"));
    QCOMPARE(second.text(), QStringLiteral("8"));
}

void TestBindings::fixedWidthLabelWidensForLongerText()
{
    LiveFields fields;
    QLabel label;
    label.setFixedSize(10, label.fontMetrics().height());
    Bindings::liveField(fields, 1, &label);
    fields.setText(1, QStringLiteral("2026/12/10 05:50:31"));
    QCOMPARE(label.minimumWidth(), label.maximumWidth());
    QVERIFY(label.width() >= label.sizeHint().width());
}

QTEST_MAIN(TestBindings)
#include "tst_bindings.moc"
