#include "StationFixture.h"

#include <QTest>

class TestViews : public QObject
{
    Q_OBJECT
private slots:
    void pagesOnScreen_data();
    void pagesOnScreen();
    void moreTogglesAdvancedPanel();
    void tabStripsShowOnePage_data();
    void tabStripsShowOnePage();
    void recordViewReloadsSelectedFile();
    void documentsThatCannotBeOpenedAreTold_data();
    void documentsThatCannotBeOpenedAreTold();
    void setupOpensTheInstallationChapter();
    void aboutNamesVersionAndFilesInUse();
};

namespace
{

// The main pages and overlays, in a fixed order, and whether each is on screen.
QString pagesShown(const Pages &p)
{
    const QList<QPair<const char *, const Control *>> pages = {
        {"Realtime", &p.liveView}, {"Analyze", &p.displacementView}, {"HisTrend", &p.recordView},
        {"His", &p.historyList},   {"KRT54", &p.devicePage},         {"Host", &p.hostPage},
        {"RT", &p.detailsPanel},   {"Strip1", &p.realTimeChart}};
    QStringList shown;
    for (const auto &page : pages)
        if (page.second->isVisible())
            shown << QLatin1String(page.first);
    return shown.join(QLatin1Char(' '));
}

void act(Station &station, const QString &action)
{
    Views &views = station.views();
    if (action == QLatin1String("RealTime"))
        views.showRealTimeView();
    else if (action == QLatin1String("Displacement"))
        views.showDisplacementView();
    else if (action == QLatin1String("Record"))
        views.showRecordView();
    else if (action == QLatin1String("List"))
        views.showHistoryList();
    else if (action == QLatin1String("More"))
        views.toggleDetails();
    else if (action == QLatin1String("System-Host"))
        station.showHostSettings();
    else if (action == QLatin1String("System-Vorsa"))
        station.showDeviceSettings();
    else
        QFAIL(qPrintable(QStringLiteral("unknown action ") + action));
}

} // namespace

void TestViews::pagesOnScreen_data()
{
    QTest::addColumn<QStringList>("actions");
    QTest::addColumn<QString>("shown");
    QTest::newRow("start-up: host page over the real-time page")
        << QStringList() << "Realtime Host Strip1";
    QTest::newRow("real time") << QStringList{"RealTime"} << "Realtime Strip1";
    QTest::newRow("displacement") << QStringList{"Displacement"} << "Realtime Analyze";
    QTest::newRow("record") << QStringList{"Record"} << "Realtime HisTrend";
    QTest::newRow("list keeps the displacement page")
        << QStringList{"Displacement", "More", "List"} << "Realtime Analyze His";
    QTest::newRow("system-host hides the others, chart back")
        << QStringList{"Displacement", "More", "System-Host"} << "Realtime Host Strip1";
    QTest::newRow("system-vorsa hides the others, chart back")
        << QStringList{"Record", "System-Vorsa"} << "Realtime KRT54 Strip1";
    QTest::newRow("real time hides the advanced panel")
        << QStringList{"RealTime", "More", "RealTime"} << "Realtime Strip1";
}

void TestViews::pagesOnScreen()
{
    QFETCH(QStringList, actions);
    QFETCH(QString, shown);
    StationFixture f;
    f.station->start(QString());
    for (const QString &action : actions)
        act(*f.station, action);
    QCOMPARE(pagesShown(f.station->views().pages()), shown);
}

void TestViews::moreTogglesAdvancedPanel()
{
    StationFixture f;
    f.station->start(QString());
    f.station->views().showRealTimeView();
    Pages &pages = f.station->views().pages();
    const bool before = pages.detailsPanel.isVisible();
    f.station->views().toggleDetails();
    QCOMPARE(pages.detailsPanel.isVisible(), !before);
    f.station->views().toggleDetails();
    QCOMPARE(pages.detailsPanel.isVisible(), before);
}

void TestViews::tabStripsShowOnePage_data()
{
    QTest::addColumn<int>("tab");
    QTest::addColumn<QList<bool>>("shown"); // first, second, third page after the click
    QTest::newRow("first") << 1 << QList<bool>{true, false, false};
    QTest::newRow("second") << 2 << QList<bool>{false, true, false};
    QTest::newRow("third") << 3 << QList<bool>{false, false, true};
    // Other indexes leave the pages as the second tab left them.
    QTest::newRow("zero") << 0 << QList<bool>{false, true, false};
    QTest::newRow("four") << 4 << QList<bool>{false, true, false};
}

void TestViews::tabStripsShowOnePage()
{
    QFETCH(int, tab);
    QFETCH(QList<bool>, shown);
    StationFixture f;
    Pages &pages = f.station->views().pages();
    Views &views = f.station->views();
    views.showHostTab(2);
    views.showDeviceTab(2);
    views.showHostTab(tab);
    views.showDeviceTab(tab);
    QCOMPARE((QList<bool>{pages.linkTab.isVisible(), pages.recordTab.isVisible(),
                          pages.voiceTab.isVisible()}),
             shown);
    QCOMPARE((QList<bool>{pages.deviceGeneralTab.isVisible(), pages.deviceConnectionTab.isVisible(),
                          pages.deviceSystemTab.isVisible()}),
             shown);
}

// "&Record" re-reads the folder and loads the selected file; the operator's choice survives
// the re-read.
void TestViews::recordViewReloadsSelectedFile()
{
    StationFixture f;
    f.writeFile(QStringLiteral("RecCSV/a.csv"), QByteArray());
    f.writeFile(QStringLiteral("RecCSV/c.csv"), QByteArray());
    f.station->start(QString());
    f.station->recordFolder().select(0);
    f.writeFile(QStringLiteral("RecCSV/b.csv"), QByteArray());
    f.strip2.operations.clear();
    f.station->views().showRecordView();
    QCOMPARE(f.station->recordFolder().files(), QStringList({"a.csv", "b.csv", "c.csv"}));
    QCOMPARE(f.station->recordFolder().selectedFile(), QStringLiteral("a.csv"));
    QVERIFY2(f.strip2.operations.contains(QStringLiteral("clear")),
             qPrintable(f.strip2.operations.join(QLatin1Char(' '))));
}

void TestViews::documentsThatCannotBeOpenedAreTold_data()
{
    QTest::addColumn<bool>("present");
    QTest::addColumn<bool>("viewer");
    QTest::addColumn<int>("opened");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("document"); // the one opened or named on the status line
    QTest::newRow("the site's own") << true << true << 1 << ""
                                    << "vorsa_software_manual.pdf";
    QTest::newRow("no viewer") << true << false << 1 << "No viewer opens"
                               << "vorsa_software_manual.pdf";
    QTest::newRow("none of the site's: the program's manual")
        << false << true << 0 << "no such file"
        << "manual/index.html";
}

void TestViews::documentsThatCannotBeOpenedAreTold()
{
    QFETCH(bool, present);
    QFETCH(bool, viewer);
    QFETCH(int, opened);
    QFETCH(QString, status);
    QFETCH(QString, document);
    StationFixture f;
    f.station->start(QString());
    f.station->views().setManualFolder(f.file(QStringLiteral("missing/manual")));
    f.station->readout().statusLine.setText(QString());
    if (present)
        f.writeFile(QStringLiteral("vorsa_software_manual.pdf"), "%PDF-1.4");
    f.shell.viewerFound = viewer;
    f.station->views().openManual();
    QCOMPARE(f.shell.opened.size(), opened);
    const QString shown = f.station->readout().statusLine.text();
    QVERIFY2(status.isEmpty() ? shown.isEmpty() : shown.contains(status), qPrintable(shown));
    QVERIFY(status.isEmpty() ? f.shell.opened.last().endsWith(document) : shown.contains(document));
}

void TestViews::aboutNamesVersionAndFilesInUse()
{
    StationFixture f;
    const QStringList lines = f.station->views().aboutText().split(QLatin1Char('\n'));
    QCOMPARE(lines.value(0), QStringLiteral("Vorsa station " VORSA_VERSION));
    QCOMPARE(lines.value(1), QStringLiteral("Program folder: ") + f.home());
    QCOMPARE(lines.value(2), QStringLiteral("Settings: ") + f.file(QStringLiteral("sys.txt")));
    QCOMPARE(lines.value(3),
             QStringLiteral("Station's own settings: ") + f.file(QStringLiteral("vorsa.ini")));
}

void TestViews::setupOpensTheInstallationChapter()
{
    StationFixture f;
    f.station->start(QString());
    f.writeFile(QStringLiteral("manual/installation.html"), "<html></html>");
    f.station->views().setManualFolder(f.file(QStringLiteral("manual")));
    f.station->views().openSetupGuide();
    QCOMPARE(f.shell.opened, QStringList{f.file(QStringLiteral("manual/installation.html"))});
}

QTEST_GUILESS_MAIN(TestViews)
#include "tst_views.moc"
