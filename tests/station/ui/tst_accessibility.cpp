#include "StationFixture.h"
#include "common/Colours.h"
#include "common/FieldNumbers.h"
#include "ui/AlarmAnnouncer.h"
#include "ui/AlertCaption.h"
#include "ui/Bindings.h"
#include "ui/IndicatorLamp.h"
#include "ui/MainWindow.h"
#include "ui/StripChartWidget.h"

#include <QAccessible>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTest>

// What assistive technology does to the window (set text, toggle, select) reaches the
// station, and what it must hear (alarms, lamp states) it is told.
class TestAccessibility : public QObject
{
    Q_OBJECT
private slots:
    void textSetWithoutTypingReachesTheModel();
    void comboTextSetWithoutTypingIsTypedAndAChoiceStaysAChoice();
    void toggleActionReachesTheModel();
    void historyFileSelectedWithoutCurrentItemLoads();
    void alarmsAreAnnouncedOncePerNewCaption();
    void lampsIntensityAndChartsTellTheirState();
};

namespace
{

QAccessibleInterface *accessible(QObject *object)
{
    return QAccessible::queryAccessibleInterface(object);
}

// As a screen reader's SetTextContents does: the whole text replaced, no key pressed.
void setTextContents(QWidget *edit, const QString &text)
{
    QAccessibleInterface *iface = accessible(edit);
    const int length = iface->textInterface()->characterCount();
    iface->editableTextInterface()->replaceText(0, length, text);
}

} // namespace

void TestAccessibility::textSetWithoutTypingReachesTheModel()
{
    Control model(QStringLiteral("5"));
    QLineEdit edit;
    Bindings::lineEdit(model, &edit);
    QSignalSpy changes(&model, &Control::textChanged);
    setTextContents(&edit, QStringLiteral("37"));
    QCOMPARE(model.text(), QStringLiteral("37"));
    QCOMPARE(changes.count(), 1);
    model.setText(QStringLiteral("12"));
    QCOMPARE(edit.text(), QStringLiteral("12"));
    QCOMPARE(changes.count(), 2);     // the model's own change is not echoed back as an edit
    edit.insert(QStringLiteral("3")); // as a paste or an input method does
    QCOMPARE(model.text(), QStringLiteral("123"));
}

void TestAccessibility::comboTextSetWithoutTypingIsTypedAndAChoiceStaysAChoice()
{
    Control model(QStringLiteral("10"));
    model.setItems({QStringLiteral("10"), QStringLiteral("20"), QStringLiteral("50")});
    QComboBox combo;
    Bindings::comboBox(model, &combo);
    QSignalSpy typed(&model, &Control::textChanged);
    QSignalSpy chosen(&model, &Control::chosen);
    setTextContents(combo.lineEdit(), QStringLiteral("35"));
    QTRY_COMPARE(model.text(), QStringLiteral("35"));
    QCOMPARE(typed.count(), 1);
    QCOMPARE(chosen.count(), 0);
    // A choice from the list changes the text before it tells it was a choice.
    combo.setCurrentIndex(2);
    emit combo.activated(2);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    QCOMPARE(model.text(), QStringLiteral("50"));
    QCOMPARE(chosen.count(), 1);
    QCOMPARE(typed.count(), 1);
}

void TestAccessibility::toggleActionReachesTheModel()
{
    Control model;
    QCheckBox box(QStringLiteral("NTP enable"));
    Bindings::checkable(model, &box);
    QAccessibleActionInterface *action = accessible(&box)->actionInterface();
    QVERIFY(action);
    action->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(model.isChecked());
    action->doAction(QAccessibleActionInterface::toggleAction());
    QVERIFY(!model.isChecked());
}

void TestAccessibility::historyFileSelectedWithoutCurrentItemLoads()
{
    StationFixture f;
    const QByteArray head = "#StationCode:9\r\n#InstrumentKind: CSV  (x)\r\n"
                            "#StartTime:2026/03/01 10:00:00\r\n"
                            "#RecordLength(sec):   120.00 \r\n#SampleRate(Hz): 100\r\n"
                            "#AmplitudeUnit:  gal. DCoffset(corr)\r\n#AmplitudeMAX. a:   ";
    const QByteArray tail = "\r\n#AmplitudeMAX. b:   1 ~ -1\r\n#AmplitudeMAX. c:   2 ~ -3\r\n";
    f.writeFile(QStringLiteral("RecCSV/first.csv"), head + "12.5 ~ -3" + tail);
    f.writeFile(QStringLiteral("RecCSV/second.csv"), head + "7.25 ~ -1" + tail);
    MainWindow window(*f.station, new StripChartWidget(QStringLiteral("a"), {"a"}),
                      new StripChartWidget(QStringLiteral("b"), {"a"}),
                      new StripChartWidget(QStringLiteral("c"), {"a"}));
    f.station->start(QString());
    f.station->views().showRecordView();
    window.show();
    Readout &readout = f.station->readout();
    QCOMPARE(f.station->recordFolder().selectedFile(),
             QStringLiteral("second.csv")); // the last, at start
    auto *files = window.findChild<QListWidget *>();
    QVERIFY(files);
    // Assistive technology selects the row; it does not move the current item.
    accessible(files)->tableInterface()->selectRow(0);
    QCOMPARE(f.station->recordFolder().selectedFile(), QStringLiteral("first.csv"));
    QCOMPARE(readout.liveFields.text(Field::FirstHistoryPeak), QStringLiteral("12.50"));
}

void TestAccessibility::alarmsAreAnnouncedOncePerNewCaption()
{
    AlarmPanel panel;
    EventState events;
    QWidget window;
    AlarmAnnouncer announcer(panel, events, {"Displacement trig", "Pd trig", "Pga trig", "STA"},
                             window);
    window.show();
    QStringList heard;
    for (AlertCaption *alert : window.findChildren<AlertCaption *>()) {
        connect(alert, &AlertCaption::announced, this, [alert, &heard](const QString &text) {
            QAccessibleInterface *iface = accessible(alert);
            if (iface->role() == QAccessible::AlertMessage && !iface->state().invisible &&
                iface->text(QAccessible::Name) == text)
                heard << text;
            else
                heard << QStringLiteral("not an alert: ") + text;
        });
    }
    const auto after = [&heard](const std::function<void()> &change) {
        heard.clear();
        change();
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        return heard;
    };
    QCOMPARE(after([&] { panel.triggerLamps[1].setVisible(true); }), QStringList{"Pd trig"});
    QCOMPARE(after([&] { panel.triggerLamps[1].setBackColor(Qt::red); }), QStringList());
    // Set and then shown while one packet is handled: heard once.
    QCOMPARE(after([&] {
                 panel.caption.setText(QStringLiteral("P Watch Pd 0.201 cm"));
                 panel.caption.setVisible(true);
             }),
             QStringList{"P Watch Pd 0.201 cm"});
    QCOMPARE(after([&] { panel.caption.setText(QStringLiteral("P Warning Pd 0.351 cm")); }),
             QStringList{"P Warning Pd 0.351 cm"});
    QCOMPARE(after([&] { panel.caption.setText(QStringLiteral("P Warning Pd 0.4 cm")); }),
             QStringList()); // the same Warning with a higher peak
    // A trigger's end is logged as a caption that is never shown.
    QCOMPARE(after([&] {
                 panel.caption.setVisible(false);
                 panel.caption.setText(QStringLiteral("P End"));
             }),
             QStringList{"P End"});
    QCOMPARE(after([&] {
                 panel.caption.setText(QStringLiteral("P Wave"));
                 panel.caption.setVisible(true);
             }),
             QStringList{"P Wave"});
    QCOMPARE(after([&] { panel.caption.setVisible(false); }), QStringList());
    QCOMPARE(after([&] { panel.caption.setVisible(true); }), QStringList{"P Wave"});
    QCOMPARE(after([&] { events.setIntensity(QStringLiteral("2")); }), QStringList());
    events.run();
    QCOMPARE(after([&] { events.setIntensity(QStringLiteral("4")); }), QStringList{"Intensity 4"});
    // Several in one packet: each alert keeps its own text for whoever reads it late.
    QCOMPARE(after([&] {
                 panel.triggerLamps[2].setVisible(true);
                 events.setIntensity(QStringLiteral("5"));
             }),
             QStringList({"Pga trig", "Intensity 5"}));
    QStringList names; // a late reader still finds each text of the last packet
    for (AlertCaption *alert : window.findChildren<AlertCaption *>())
        names << accessible(alert)->text(QAccessible::Name);
    QVERIFY2(names.contains(QStringLiteral("Pga trig")) &&
                 names.contains(QStringLiteral("Intensity 5")),
             qPrintable(names.join(QStringLiteral(", "))));
}

void TestAccessibility::lampsIntensityAndChartsTellTheirState()
{
    StationFixture f;
    auto *strip1 = new StripChartWidget(QStringLiteral("3-axis Acceleration [gal]"), {"a", "Pd"});
    MainWindow window(*f.station, strip1, new StripChartWidget(QStringLiteral("b"), {"a"}),
                      new StripChartWidget(QStringLiteral("c"), {"a"}));
    QStringList names;
    for (IndicatorLamp *lamp : window.findChildren<IndicatorLamp *>())
        names << lamp->accessibleName();
    QCOMPARE(names, QStringList({"DO 0", "DO 1", "DO 2", "DO 3", "DO 4", "DO 5", "DO 6", "DO 7",
                                 "DI 0", "DI 1", "DI 2", "DI 3", "DI 4", "DI 5", "DI 6", "DI 7"}));
    IndicatorLamp *do3 = window.findChildren<IndicatorLamp *>().at(3);
    QVERIFY(accessible(do3)->state().checkable);
    f.station->alarmPanel().ioLamps[3].setBackColor(Colours::Red);
    QVERIFY(accessible(do3)->state().checked);
    f.station->alarmPanel().ioLamps[3].setBackColor(Colours::LampOff);
    QVERIFY(!accessible(do3)->state().checked);

    f.station->alarmPanel().intensity.setText(QStringLiteral("5"));
    QLabel *intensity = nullptr;
    for (QLabel *label : window.findChildren<QLabel *>())
        if (label->accessibleName() == QLatin1String("Intensity"))
            intensity = label;
    QVERIFY(intensity);
    QCOMPARE(accessible(intensity)->text(QAccessible::Description), QStringLiteral("5"));

    strip1->selectTrace(0);
    strip1->setRange(100, -100);
    strip1->selectTrace(1);
    strip1->setRange(0.5, -0.5);
    strip1->setVisibleWidth(3000);
    QCOMPARE(accessible(strip1)->text(QAccessible::Name),
             QStringLiteral("3-axis Acceleration [gal]"));
    QCOMPARE(accessible(strip1)->text(QAccessible::Description),
             QStringLiteral("a -100 to 100; Pd -0.5 to 0.5; 30 s shown"));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
