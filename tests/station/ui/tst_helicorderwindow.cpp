#include "StationFixture.h"
#include "records/ArchiveWriter.h"
#include "ui/HelicorderWindow.h"

#include <QDir>
#include <QTest>
#include <cmath>
#include <qcustomplot.h>

class TestHelicorderWindow : public QObject
{
    Q_OBJECT
private slots:
    void drawsTheDayAndOpensAClickedStretch();
};

// Two minutes archived from noon today: they are drawn on the noon line (15-minute lines,
// line 48), what the archive gets later is drawn on, and a click there half a minute in cuts
// the stretch around it into the record folder, selects it and shows the history chart.
void TestHelicorderWindow::drawsTheDayAndOpensAClickedStretch()
{
    StationFixture fixture;
    const QDateTime noon(QDate::currentDate(), QTime(12, 0));
    ArchiveWriter writer(fixture.file(QStringLiteral("archive")), MiniSeedOptions{}, fixture.clock);
    const auto archive = [&](const QDateTime &from, int seconds) {
        for (int s = 0; s < seconds; ++s) {
            DecodedPacket packet;
            packet.samples.assign(100, {0.0598 * s, 0, 0, 0, 0});
            fixture.clock.set(from.addMSecs(s * 1000 + 990));
            writer.takePacket(packet);
        }
        writer.flush();
    };
    archive(noon, 120);
    QVERIFY(QDir().mkpath(fixture.file(QStringLiteral("RecCSV"))));
    Pages &pages = fixture.station->views().pages();
    fixture.station->recordFolder().setPath(fixture.file(QStringLiteral("RecCSV")));

    HelicorderWindow window(*fixture.station);
    QCustomPlot *plot = window.plot();
    for (int line : {47, 48, 49})
        QCOMPARE(plot->graph(line)->data()->isEmpty(), line != 48);

    // The archive grows after a gap: the live tick reads on, the noon line breaks at the gap.
    // A window this narrow draws the fewest columns, 600 a line: 1.5 s each.
    window.show();
    window.resize(500, 400);
    plot->replot();
    window.redraw();
    const int drawn = plot->graph(48)->data()->size();
    archive(noon.addSecs(300), 10);
    window.onLiveTick();
    QCOMPARE(plot->graph(48)->data()->size(), drawn + 1 + 2 * 7);
    QVERIFY(std::isnan((plot->graph(48)->data()->constBegin() + drawn)->value));
    QCOMPARE(plot->graph(48)->data()->constEnd()[-1].key, 5 + 9.0 / 60);

    window.openStretchAt(0.5, -48.1);
    QCOMPARE(fixture.station->recordFolder().selectedFile(),
             noon.toString(QStringLiteral("'M'MMddHHmmss'.csv'")));
    QVERIFY(pages.recordView.isVisible());
}

QTEST_MAIN(TestHelicorderWindow)
#include "tst_helicorderwindow.moc"
