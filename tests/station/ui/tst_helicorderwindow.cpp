#include "StationFixture.h"
#include "records/ArchiveWriter.h"
#include "ui/HelicorderWindow.h"

#include <QDir>
#include <QTest>
#include <qcustomplot.h>

class TestHelicorderWindow : public QObject
{
    Q_OBJECT
private slots:
    void drawsTheDayAndOpensAClickedStretch();
};

// Two minutes archived from noon today: they are drawn on the noon line (15-minute lines,
// line 48), and a click there half a minute in cuts the stretch around it into the record
// folder, selects it and shows the history chart.
void TestHelicorderWindow::drawsTheDayAndOpensAClickedStretch()
{
    StationFixture fixture;
    const QDateTime noon(QDate::currentDate(), QTime(12, 0));
    {
        ArchiveWriter writer(fixture.file(QStringLiteral("archive")), MiniSeedOptions{},
                             fixture.clock);
        for (int s = 0; s < 120; ++s) {
            DecodedPacket packet;
            packet.samples.assign(100, {0.0598 * s, 0, 0, 0, 0});
            fixture.clock.set(noon.addMSecs(s * 1000 + 990));
            writer.takePacket(packet);
        }
        writer.flush();
    }
    QVERIFY(QDir().mkpath(fixture.file(QStringLiteral("RecCSV"))));
    Form &form = fixture.station->form();
    form.Dir1.setPath(fixture.file(QStringLiteral("RecCSV")));

    HelicorderWindow window(*fixture.station);
    QCustomPlot *plot = window.plot();
    for (int line : {47, 48, 49})
        QCOMPARE(plot->graph(line)->data()->isEmpty(), line != 48);

    window.openStretchAt(0.5, -48.1);
    QCOMPARE(form.Dir1.selectedFile(), noon.toString(QStringLiteral("'M'MMddHHmmss'.csv'")));
    QVERIFY(form.fraHisTrend.isVisible());
}

QTEST_MAIN(TestHelicorderWindow)
#include "tst_helicorderwindow.moc"
