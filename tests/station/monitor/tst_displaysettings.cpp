#include "monitor/DisplaySettings.h"

#include <QTest>

// The real-time charts' range and time-span boxes: which text puts which range in force, what
// the boxes read once left, and the defaults for text that is no range.
class TestDisplaySettings : public QObject
{
    Q_OBJECT
private slots:
    void boxes_data();
    void boxes();
    void readableRangesBeforeAnyNumber();
};

namespace
{

Control &box(DisplaySettings &settings, const QString &name)
{
    if (name == QLatin1String("cboXYZ"))
        return settings.accelerationBox();
    if (name == QLatin1String("cboPd"))
        return settings.pdBox();
    if (name == QLatin1String("cbodisp"))
        return settings.displacementBox();
    return settings.spanBox();
}

// Every range in force that changes, as "<which> <value>", in order.
struct ChangeLog {
    explicit ChangeLog(DisplaySettings &settings)
    {
        record(settings, &DisplaySettings::accelerationRangeChanged, "acceleration");
        record(settings, &DisplaySettings::pdRangeChanged, "pd");
        record(settings, &DisplaySettings::displacementRangeChanged, "displacement");
        record(settings, &DisplaySettings::spanChanged, "span");
    }
    void record(DisplaySettings &settings, void (DisplaySettings::*changed)(double),
                const char *which)
    {
        QObject::connect(&settings, changed, &settings, [this, which](double value) {
            changes << QStringLiteral("%1 %2").arg(QLatin1String(which)).arg(value);
        });
    }
    QStringList changes;
};

} // namespace

void TestDisplaySettings::boxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("typed"); // typed text (Change) or a list choice (Click)
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("changes"); // ranges in force that changed
    QTest::addColumn<QString>("finalText");
    QTest::addColumn<bool>("accepted");   // the box is not marked as refused
    QTest::addColumn<QString>("inForce"); // what the box reads once it loses focus
    const QStringList none;
    QTest::newRow("acceleration 250")
        << "cboXYZ" << false << "250" << QStringList{"acceleration 250"} << "250" << true << "250";
    QTest::newRow("Pd 0.5") << "cboPd" << false << "0.5" << QStringList{"pd 0.5"} << "0.5" << true
                            << "0.5";
    QTest::newRow("displacement typed 2")
        << "cbodisp" << true << "2" << QStringList{"displacement 2"} << "2" << true << "2";
    QTest::newRow("typed 2.50 reads 2.5 once left")
        << "cbodisp" << true << "2.50" << QStringList{"displacement 2.5"} << "2.50" << true
        << "2.5";
    QTest::newRow("span 30") << "cboXaxis" << false << "30" << QStringList{"span 30"} << "30"
                             << true << "30";
    QTest::newRow("typed 300 becomes 120")
        << "cboXaxis" << true << "300" << QStringList{"span 120"} << "120" << true << "120";
    QTest::newRow("typed 120 stays")
        << "cboXaxis" << true << "120" << QStringList{"span 120"} << "120" << true << "120";
    QTest::newRow("chosen 300 has no limit")
        << "cboXaxis" << false << "300" << QStringList{"span 300"} << "300" << true << "300";
    QTest::newRow("acceleration Auto")
        << "cboXYZ" << false << "Auto" << QStringList{"acceleration 0"} << "Auto" << true << "Auto";
    QTest::newRow("displacement typed auto")
        << "cbodisp" << true << "auto" << QStringList{"displacement 0"} << "auto" << true << "Auto";
    QTest::newRow("no Auto for Pd") << "cboPd" << true << "Auto" << none << "Auto" << false << "7";
    QTest::newRow("no Auto for the span")
        << "cboXaxis" << true << "Auto" << none << "Auto" << false << "7";
    // Text that is no range keeps the previous one, and the box says so once left.
    for (const QString &name : QStringList{"cboXYZ", "cboPd", "cbodisp", "cboXaxis"}) {
        for (const QString &text : QStringList{"", "-", ".", "abc", "12a"})
            QTest::addRow("%s typed '%s'", qPrintable(name), qPrintable(text))
                << name << true << text << none << text << false << "7";
    }
    for (const QString &name : QStringList{"cboXYZ", "cboPd", "cbodisp"})
        QTest::addRow("%s typed range 0", qPrintable(name))
            << name << true << "0" << none << "0" << false << "7";
    QTest::newRow("typed span 0") << "cboXaxis" << true << "0" << none << "0" << false << "7";
    QTest::newRow("typed negative span")
        << "cboXaxis" << true << "-5" << none << "-5" << false << "7";
}

void TestDisplaySettings::boxes()
{
    QFETCH(QString, name);
    QFETCH(bool, typed);
    QFETCH(QString, text);
    QFETCH(QStringList, changes);
    QFETCH(QString, finalText);
    QFETCH(bool, accepted);
    QFETCH(QString, inForce);
    DisplaySettings settings;
    Control &combo = box(settings, name);
    combo.setText(QStringLiteral("7")); // a previous range, so that every row is a change
    ChangeLog log(settings);
    if (typed)
        combo.setText(text);
    else
        combo.choose(text);
    QCOMPARE(log.changes, changes);
    QCOMPARE(combo.text(), finalText);
    QCOMPARE(settings.accepts(combo), accepted);
    settings.showRangeInForce(combo);
    QCOMPARE(combo.text(), inForce);
    QCOMPARE(settings.accepts(combo), true);
}

// A first start without settings leaves the design text "Combo1" in the range boxes: the
// defaults stay in force, and settling puts them into each box that holds no range.
void TestDisplaySettings::readableRangesBeforeAnyNumber()
{
    DisplaySettings settings;
    QList<Control *> boxes{&settings.accelerationBox(), &settings.pdBox(),
                           &settings.displacementBox(), &settings.spanBox()};
    ChangeLog log(settings);
    for (Control *box : boxes)
        box->setText(QStringLiteral("Combo1"));
    QCOMPARE(log.changes, QStringList());
    const auto inForce = [&settings, &boxes] {
        QStringList texts;
        for (Control *box : boxes)
            texts << settings.rangeInForce(*box);
        return texts;
    };
    QCOMPARE(inForce(), (QStringList{"250", "0.5", "3", "60"}));
    settings.pdBox().setText(QStringLiteral("2"));
    settings.settleRanges();
    QStringList shown;
    for (Control *box : boxes)
        shown << box->text();
    QCOMPARE(shown, (QStringList{"250", "2", "3", "60"}));
    QCOMPARE(inForce(), shown);
    QCOMPARE(log.changes, QStringList{"pd 2"});
}

QTEST_GUILESS_MAIN(TestDisplaySettings)
#include "tst_displaysettings.moc"
