#include "StationFixture.h"
#include "common/FieldNumbers.h"
#include "ui/MainWindow.h"
#include "ui/QtPlatform.h"
#include "ui/StripChartWidget.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <qcustomplot.h>

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void closingIsRefused();
    void exitAsksAndLogsOnYesOnly();
    void connectionPageMirrorsSettings();
    void realTimePageMirrorsLiveValues();
    void menusShowTheirPages_data();
    void menusShowTheirPages();
    void menuMnemonicsAreUnique();
    void displacementViewHasPdRangeAndTimeSpan();
    void typedRangeTakenAsTyped();
    void everyPanelFitsSmallScreens();
    void aNewValueRepaintsItsLabelAlone();
    void combosAndEditsNamedByTheirCaptions();
    void enterOnDeleteQuestionKeepsTheFile();
    void enterOnExitWhileRecordingKeepsRecording();
    void logViewerOpensAtNewestEntry();
};

namespace
{

struct Window {
    StationFixture f;
    // The window takes the charts into its layout and deletes them.
    MainWindow window{
        *f.station,
        new StripChartWidget(QStringLiteral("3-axis Acceleration [gal]"), {"a", "b", "c", "Pd"}),
        new StripChartWidget(QStringLiteral("3-axis Trend [gal]"), {"a", "b", "c", "Pd", "Disp"}),
        new StripChartWidget(QStringLiteral("Displacement"), {"Displacement", "Pd"})};
};

// The shown control of that accessible name (there may be hidden twins on other pages).
template <typename T> T *shownNamed(QWidget &window, const QString &name)
{
    for (T *w : window.findChildren<T *>())
        if (w->accessibleName() == name && w->isVisibleTo(&window))
            return w;
    return nullptr;
}

} // namespace

void TestMainWindow::closingIsRefused()
{
    Window w;
    w.window.show();
    QVERIFY(!w.window.close());
    QVERIFY(w.window.isVisible());
}

void TestMainWindow::exitAsksAndLogsOnYesOnly()
{
    Window w;
    w.f.station->start(QString());
    QSignalSpy quit(w.f.station.get(), &Station::quitRequested);
    w.f.prompter.yesNoAnswers = {false};
    w.f.station->confirmExit();
    QCOMPARE(w.f.prompter.asked.last(), QStringLiteral("Warning!|Do you want to exit ?"));
    QCOMPARE(quit.count(), 0);
    QCOMPARE(w.f.logLines().filter(QStringLiteral("Manual Exit Application")).size(), 0);

    w.f.prompter.yesNoAnswers = {true};
    w.f.station->confirmExit();
    QCOMPARE(quit.count(), 1);
    QCOMPARE(w.f.logLines().filter(QStringLiteral(" Manual Exit Application")).size(), 1);
}

void TestMainWindow::connectionPageMirrorsSettings()
{
    Window w;
    w.f.writeFile(QStringLiteral("sys.txt"), "IP:10.20.30.40\r\nengineer Mode:1\r\n");
    w.f.station->start(QString());
    w.window.show();
    QVERIFY(w.window.windowTitle().endsWith(QStringLiteral("Engineer")));
    const QList<QLineEdit *> edits = w.window.findChildren<QLineEdit *>();
    bool found = false;
    for (QLineEdit *e : edits)
        found = found || e->text() == QStringLiteral("10.20.30.40");
    QVERIFY(found);
    const QImage shot = w.window.grab().toImage();
    QVERIFY(!shot.isNull());
    shot.save(QDir::temp().filePath(QStringLiteral("vorsa-mainwindow.png")));
}

void TestMainWindow::realTimePageMirrorsLiveValues()
{
    Window w;
    w.f.station->start(QString());
    w.f.station->views().showRealTimeView();
    Readout &readout = w.f.station->readout();
    readout.liveFields.setText(Field::Pd, QStringLiteral("0.123"));
    readout.liveFields.setText(Field::Intensity, QStringLiteral("4"));
    readout.liveFields.setText(Field::DigitalIo, QStringLiteral("257"));
    w.f.station->alarmDisplay().updateIntensityDisplay();
    w.window.resize(1280, 800);
    w.window.show();
    QStringList shown;
    for (QLabel *label : w.window.findChildren<QLabel *>())
        if (label->isVisibleTo(&w.window))
            shown << label->text();
    QVERIFY(shown.contains(QStringLiteral("0.123")));
    QVERIFY(shown.contains(QStringLiteral("4")));
    w.window.grab().save(QDir::temp().filePath(QStringLiteral("vorsa-realtime.png")));
}

void TestMainWindow::menusShowTheirPages_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QString>("page");
    QTest::newRow("real time") << "&RealTime"
                               << "live";
    QTest::newRow("displacement") << "&Displacement"
                                  << "displacement";
    QTest::newRow("record") << "Rec&ord"
                            << "record";
    QTest::newRow("device") << "&System-Vorsa"
                            << "device";
    QTest::newRow("host") << "System-Hos&t"
                          << "host";
}

void TestMainWindow::menusShowTheirPages()
{
    QFETCH(QString, menu);
    QFETCH(QString, page);
    Window w;
    w.f.station->start(QString());
    w.f.station->views().showRealTimeView();
    Pages &shown = w.f.station->views().pages();
    const QHash<QString, Control *> pages = {{"live", &shown.liveView},
                                             {"displacement", &shown.displacementView},
                                             {"record", &shown.recordView},
                                             {"device", &shown.devicePage},
                                             {"host", &shown.hostPage}};
    QAction *action = nullptr;
    for (QAction *a : w.window.menuBar()->actions())
        if (a->text() == menu)
            action = a;
    QVERIFY2(action, qPrintable(menu));
    action->trigger();
    QVERIFY(pages.value(page)->isVisible());
}

void TestMainWindow::menuMnemonicsAreUnique()
{
    Window w;
    QHash<QChar, QString> taken;
    for (QAction *a : w.window.menuBar()->actions()) {
        const qsizetype amp = a->text().indexOf(QLatin1Char('&'));
        QVERIFY2(amp >= 0 && amp + 1 < a->text().size(), qPrintable(a->text()));
        const QChar key = a->text().at(amp + 1).toLower();
        QVERIFY2(!taken.contains(key), qPrintable(taken.value(key) + " and " + a->text()));
        taken.insert(key, a->text());
    }
    QCOMPARE(taken.size(), w.window.menuBar()->actions().size());
}

void TestMainWindow::displacementViewHasPdRangeAndTimeSpan()
{
    Window w;
    w.f.station->start(QString());
    w.f.station->views().showDisplacementView();
    w.window.show();
    for (const QString &name : {QStringLiteral("Displacement(cm)"), QStringLiteral("Pd Range[cm]"),
                                QStringLiteral("Time-axis Range[sec]")})
        QVERIFY2(shownNamed<QComboBox>(w.window, name), qPrintable(name));
    QVERIFY(!shownNamed<QComboBox>(w.window, QStringLiteral("Acc Range[gal]")));
    // The Pd range typed here is the real-time view's.
    QComboBox *pd = shownNamed<QComboBox>(w.window, QStringLiteral("Pd Range[cm]"));
    pd->lineEdit()->clear();
    QTest::keyClicks(pd->lineEdit(), QStringLiteral("2"));
    QCOMPARE(w.f.station->displaySettings().pdBox().text(), QStringLiteral("2"));
}

// No completion from the list: "10" typed stays "10" (not "100" or "1000"), and so does the
// range the charts get.
void TestMainWindow::typedRangeTakenAsTyped()
{
    StationFixture f;
    auto *strip1 = new StripChartWidget(QStringLiteral("3-axis Acceleration [gal]"),
                                        {"a", "b", "c", "Pd"}, {"gal", "gal", "gal", "Pd [cm]"});
    f.station.reset(); // the station draws on the real chart instead of the recording one
    f.station = std::make_unique<Station>(StationServices{
        ProgramFolder(f.home()), f.clock, f.waiter, f.sound, f.shell, f.prompter, *strip1, f.strip2,
        f.strip3, StationLinks{&f.links.serial, &f.links.client, &f.links.server}});
    MainWindow window(*f.station, strip1,
                      new StripChartWidget(QStringLiteral("3-axis Trend [gal]"), {"a"}),
                      new StripChartWidget(QStringLiteral("Displacement"), {"Displacement", "Pd"}));
    f.station->start(QString());
    f.station->views().showRealTimeView();
    window.show();
    QComboBox *acc = shownNamed<QComboBox>(window, QStringLiteral("Acc Range[gal]"));
    QVERIFY(acc);
    // Completion works only in the focused field of the active window, as the operator types.
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    acc->lineEdit()->setFocus();
    acc->lineEdit()->clear();
    QTest::keyClicks(acc->lineEdit(), QStringLiteral("10"));
    QTest::keyClick(acc->lineEdit(), Qt::Key_Return);
    QCOMPARE(acc->currentText(), QStringLiteral("10"));
    QCOMPARE(f.station->displaySettings().accelerationBox().text(), QStringLiteral("10"));
    for (int trace = 0; trace < 3; ++trace)
        QCOMPARE(strip1->plot()->graph(trace)->valueAxis()->range(), QCPRange(-10, 10));
    QCOMPARE(acc->count(), 12); // the list and "Auto": Enter added nothing
    // Text that is no range is marked while it stands, and the range in force comes back.
    QTest::keyClicks(acc->lineEdit(), QStringLiteral("x"));
    QVERIFY(acc->toolTip().contains(QStringLiteral("not a range")));
    QTest::keyClick(acc->lineEdit(), Qt::Key_Return);
    QCOMPARE(acc->currentText(), QStringLiteral("10"));
    QCOMPARE(acc->toolTip(), QString());
}

// Every page with the advanced panel open fits a 1366 x 768 screen; the pages of the
// operator's daily work fit a 1024 x 700 window.
void TestMainWindow::everyPanelFitsSmallScreens()
{
    Window w;
    w.f.station->start(QString());
    Readout &readout = w.f.station->readout();
    Pages &pages = w.f.station->views().pages();
    w.f.station->views().showRealTimeView();
    w.f.station->views().toggleDetails();
    readout.serverInfo.setVisible(true); // the server box too
    w.window.show();
    QVERIFY(pages.detailsPanel.isVisible());
    const QSize whole = w.window.minimumSizeHint();
    QVERIFY2(whole.width() <= 1366 && whole.height() <= 768,
             qPrintable(QStringLiteral("%1 x %2").arg(whole.width()).arg(whole.height())));
    for (const QString &title : {QStringLiteral("Real Time"), QStringLiteral("Displacement "),
                                 QStringLiteral("History Trend"), QStringLiteral("History Data"),
                                 QStringLiteral("Host Setting")}) {
        QGroupBox *page = nullptr;
        for (QGroupBox *box : w.window.findChildren<QGroupBox *>())
            if (box->title() == title)
                page = box;
        QVERIFY2(page, qPrintable(title));
        // Menu bar, status bar and the link frame take about 70 px of the height.
        const QSize need = page->minimumSizeHint();
        QVERIFY2(
            need.width() <= 1000 && need.height() <= 620,
            qPrintable(
                QStringLiteral("%1: %2 x %3").arg(title).arg(need.width()).arg(need.height())));
    }
}

// Ten times a second a value changes; the panel, page and window beneath it stay as drawn.
void TestMainWindow::aNewValueRepaintsItsLabelAlone()
{
    Window w;
    w.f.station->start(QString());
    w.f.station->views().showRealTimeView();
    w.window.resize(1280, 800);
    w.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w.window));
    QGroupBox *status = nullptr;
    for (QGroupBox *box : w.window.findChildren<QGroupBox *>())
        if (box->title() == QStringLiteral("Status") && box->isVisible())
            status = box;
    QVERIFY(status);
    QTest::qWait(300); // the window's first layout and paint are over
    struct PaintCount : QObject {
        int count = 0;
        bool eventFilter(QObject *, QEvent *event) override
        {
            count += event->type() == QEvent::Paint;
            return false;
        }
    } panelPaints, labelPaints;
    status->installEventFilter(&panelPaints);
    QLabel *value = nullptr;
    w.f.station->readout().liveFields.setText(Field::AccelerationA, QStringLiteral("12.34"));
    for (QLabel *label : status->findChildren<QLabel *>())
        if (label->text() == QStringLiteral("12.34"))
            value = label;
    QVERIFY(value);
    value->installEventFilter(&labelPaints);
    w.f.station->readout().liveFields.setText(Field::AccelerationA, QStringLiteral("56.78"));
    QTRY_VERIFY(labelPaints.count > 0);
    QCOMPARE(panelPaints.count, 0);
}

void TestMainWindow::combosAndEditsNamedByTheirCaptions()
{
    Window w;
    w.f.station->start(QString());
    QStringList unnamed;
    int examined = 0;
    for (const QString &title : {QStringLiteral("Real Time"), QStringLiteral("Displacement "),
                                 QStringLiteral("History Trend"), QStringLiteral("Host Setting")}) {
        for (QGroupBox *page : w.window.findChildren<QGroupBox *>()) {
            if (page->title() != title)
                continue;
            for (QWidget *field : page->findChildren<QWidget *>()) {
                const bool named = !field->accessibleName().isEmpty();
                const bool editable = qobject_cast<QComboBox *>(field) ||
                                      (qobject_cast<QLineEdit *>(field) &&
                                       !qobject_cast<QComboBox *>(field->parent()));
                examined += editable ? 1 : 0;
                if (editable && !named)
                    unnamed << title + QStringLiteral(": ") + field->metaObject()->className();
            }
        }
    }
    QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(QStringLiteral(", "))));
    QVERIFY2(examined >= 25, qPrintable(QString::number(examined))); // the pages were found
}

// The question's default button is No: an operator who presses Enter keeps the record.
void TestMainWindow::enterOnDeleteQuestionKeepsTheFile()
{
    StationFixture f;
    f.writeFile(QStringLiteral("RecCSV/E20261207101010.csv"), "#Station:1\r\n");
    DialogPrompter prompter;
    Readout &readout = f.station->readout();
    History history(readout.liveFields, f.station->recordFolder(), readout.statusLine,
                    readout.windowTitle, f.strip2, prompter, f.shell, f.station->folder());
    f.station->start(QString());
    QCOMPARE(f.station->recordFolder().selectedFile(), QStringLiteral("E20261207101010.csv"));
    bool asked = false;
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&asked] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            asked = true;
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    press.start(20);
    history.deleteSelectedFile();
    QVERIFY(asked);
    QVERIFY(QFile::exists(f.file(QStringLiteral("RecCSV/E20261207101010.csv"))));
}

void TestMainWindow::enterOnExitWhileRecordingKeepsRecording()
{
    StationFixture f;
    f.station->start(QString());
    DialogPrompter dialogs;
    f.prompter.dialogs = &dialogs;
    f.station->manualRecording().toggleRecording();
    QSignalSpy quit(f.station.get(), &Station::quitRequested);
    QString question;
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [&question] {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            question = box->text();
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    press.start(20);
    f.station->confirmExit();
    QCOMPARE(question,
             QStringLiteral("An event is being recorded; exit now and keep what is recorded?"));
    QCOMPARE(quit.count(), 0);
    QVERIFY(f.station->manualRecording().isRecording());
}

void TestMainWindow::logViewerOpensAtNewestEntry()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("202612.txt"));
    QFile log(path);
    QVERIFY(log.open(QIODevice::WriteOnly));
    for (int i = 0; i < 500; ++i)
        log.write(QByteArray::number(i) + " Online_1\r\n");
    log.close();
    QWidget owner;
    DesktopShell shell;
    shell.setParent(&owner);
    shell.showText(path, QStringLiteral("Event log 202612"));
    auto *text = owner.findChild<QPlainTextEdit *>();
    QVERIFY(text);
    QScrollBar *bar = text->verticalScrollBar();
    QTRY_VERIFY(bar->maximum() > 0);
    QTRY_COMPARE(bar->value(), bar->maximum());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
