#include "StationFixture.h"
#include "monitor/StripChartWidget.h"
#include "shell/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
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

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
