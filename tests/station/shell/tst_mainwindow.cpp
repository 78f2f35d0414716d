#include "StationFixture.h"
#include "monitor/StripChartWidget.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

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
    w.f.station->Form_Load(QString());
    QSignalSpy quit(w.f.station.get(), &Station::quitRequested);
    w.f.prompter.yesNoAnswers = {false};
    w.f.station->mnuExit_Click();
    QCOMPARE(w.f.prompter.asked.last(), QStringLiteral("Warning!|Do you want to exit ?"));
    QCOMPARE(quit.count(), 0);
    QCOMPARE(w.f.logLines().filter(QStringLiteral("Manual Exit Application")).size(), 0);

    w.f.prompter.yesNoAnswers = {true};
    w.f.station->mnuExit_Click();
    QCOMPARE(quit.count(), 1);
    QCOMPARE(w.f.logLines().filter(QStringLiteral(" Manual Exit Application")).size(), 1);
}

void TestMainWindow::connectionPageMirrorsSettings()
{
    Window w;
    w.f.writeFile(QStringLiteral("sys.txt"), "IP:10.20.30.40\r\nengineer Mode:1\r\n");
    w.f.station->Form_Load(QString());
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
    w.f.station->Form_Load(QString());
    w.f.station->views().mnuRT_Click();
    Form &form = w.f.station->form();
    form.txtReal.setText(37, QStringLiteral("0.123"));
    form.txtReal.setText(10, QStringLiteral("4"));
    form.txtReal.setText(19, QStringLiteral("257"));
    w.f.station->alarmDisplay().UpdateIntensityDisplay();
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
                               << "fraRealtime";
    QTest::newRow("displacement") << "&Displacement"
                                  << "fraAnalyze";
    QTest::newRow("record") << "&Record"
                            << "fraHisTrend";
    QTest::newRow("device") << "&System-Vorsa"
                            << "fraKRT54";
    QTest::newRow("host") << "&System-Host"
                          << "fraHost";
}

void TestMainWindow::menusShowTheirPages()
{
    QFETCH(QString, menu);
    QFETCH(QString, page);
    Window w;
    w.f.station->Form_Load(QString());
    w.f.station->views().mnuRT_Click();
    Form &form = w.f.station->form();
    const QHash<QString, Control *> pages = {{"fraRealtime", &form.fraRealtime},
                                             {"fraAnalyze", &form.fraAnalyze},
                                             {"fraHisTrend", &form.fraHisTrend},
                                             {"fraKRT54", &form.fraKRT54},
                                             {"fraHost", &form.fraHost}};
    QAction *action = nullptr;
    for (QAction *a : w.window.menuBar()->actions())
        if (a->text() == menu)
            action = a;
    QVERIFY2(action, qPrintable(menu));
    action->trigger();
    QVERIFY(pages.value(page)->isVisible());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
