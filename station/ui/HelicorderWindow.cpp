#include "HelicorderWindow.h"

#include "common/ExtensionSettings.h"
#include "common/MiniSeedOptions.h"
#include "common/MiniSeedPacking.h"
#include "history/ArchiveExtract.h"
#include "history/ArchiveReader.h"
#include "records/ArchiveSettings.h"
#include "shell/Station.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QVBoxLayout>
#include <qcustomplot.h>

namespace
{

struct ArchiveAccess {
    ArchiveSettings settings;
    MiniSeedOptions codes;
};

ArchiveAccess archiveAccess(const ProgramFolder &folder)
{
    const auto ini = openExtensionSettings(folder);
    return {ArchiveSettings::read(*ini, folder), MiniSeedOptions::read(*ini)};
}

void addCaptioned(QHBoxLayout *layout, const QString &caption, QWidget *field)
{
    auto *label = new QLabel(caption);
    label->setBuddy(field);
    field->setAccessibleName(caption);
    layout->addWidget(label);
    layout->addWidget(field);
}

// On Linux a combo box is announced by its text; a read-only edit line carries the name.
void nameChoiceBox(QComboBox *box, const QString &caption)
{
    box->setEditable(true);
    box->lineEdit()->setReadOnly(true);
    box->lineEdit()->setAccessibleName(caption);
}

qint64 micros(const QDateTime &t)
{
    return t.toMSecsSinceEpoch() * 1000;
}

} // namespace

HelicorderWindow::HelicorderWindow(Station &station, QWidget *parent)
    : QWidget(parent, Qt::Window), station_(station), channelBox_(new QComboBox),
      dayEdit_(new QDateEdit(QDate::currentDate())), minutesBox_(new QComboBox),
      clipBox_(new QDoubleSpinBox), summary_(new QLabel), plot_(new QCustomPlot)
{
    setWindowTitle(QStringLiteral("Helicorder"));
    const MiniSeedOptions codes = archiveAccess(station_.folder()).codes;
    for (const QString &channel : codes.channels)
        channelBox_->addItem(channel);
    dayEdit_->setCalendarPopup(true);
    dayEdit_->setDisplayFormat(QStringLiteral("yyyy/MM/dd"));
    for (int minutes : {15, 30, 60})
        minutesBox_->addItem(QString::number(minutes), minutes);
    clipBox_->setRange(0.1, 2000);
    clipBox_->setDecimals(1);
    clipBox_->setValue(5);

    nameChoiceBox(channelBox_, QStringLiteral("Channel"));
    nameChoiceBox(minutesBox_, QStringLiteral("Minutes per line"));
    auto *controls = new QHBoxLayout;
    addCaptioned(controls, QStringLiteral("Channel"), channelBox_);
    addCaptioned(controls, QStringLiteral("Day"), dayEdit_);
    addCaptioned(controls, QStringLiteral("Minutes per line"), minutesBox_);
    addCaptioned(controls, QStringLiteral("Clip level (gal)"), clipBox_);
    controls->addWidget(summary_, 1);
    summary_->setAccessibleName(QStringLiteral("Helicorder state"));
    plot_->setAccessibleName(QStringLiteral("Helicorder"));
    plot_->setAccessibleDescription(
        QStringLiteral("One line per stretch of the day; click a line to open it in the history"));
    plot_->xAxis->setLabel(QStringLiteral("minutes into the line"));
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(plot_, 1);

    connect(channelBox_, &QComboBox::currentIndexChanged, this, &HelicorderWindow::reload);
    connect(dayEdit_, &QDateEdit::dateChanged, this, &HelicorderWindow::reload);
    connect(minutesBox_, &QComboBox::currentIndexChanged, this, &HelicorderWindow::redraw);
    connect(clipBox_, &QDoubleSpinBox::valueChanged, this, &HelicorderWindow::redraw);
    connect(plot_, &QCustomPlot::mousePress, this, &HelicorderWindow::onPlotClicked);
    liveTimer_.setInterval(LiveCheckMs);
    connect(&liveTimer_, &QTimer::timeout, this, &HelicorderWindow::onLiveTick);
    liveTimer_.start();
    resize(QSize(1200, 800).boundedTo(screen()->availableGeometry().size()));
    reload();
}

void HelicorderWindow::reload()
{
    const QDateTime dayStart = dayEdit_->date().startOfDay();
    envelope_ = HelicorderEnvelope(micros(dayStart), micros(dayStart.addDays(1)), SamplesPerColumn);
    readOn();
}

// Folds what the archive holds of the day after the samples read so far into the columns,
// then draws.
void HelicorderWindow::readOn()
{
    const ArchiveAccess archive = archiveAccess(station_.folder());
    const QDateTime dayStart = dayEdit_->date().startOfDay();
    drawnBytes_ = archivedBytesToday();
    ArchiveReader(archive.settings.folder, archive.codes)
        .scan(channelBox_->currentText(), envelope_.readUpTo(), micros(dayStart.addDays(1)),
              [this](qint64 first, const qint32 *counts, qint64 count) {
                  envelope_.add(first, counts, count);
              });
    redraw();
}

void HelicorderWindow::redraw()
{
    const HelicorderLayout layout(dayEdit_->date().startOfDay(),
                                  minutesBox_->currentData().toInt());
    const QString channel = channelBox_->currentText();
    const HelicorderTrace trace = HelicorderTrace::build(
        layout, envelope_, MiniSeedPacking::Archive::GalPerCount, clipBox_->value(),
        qMax(LeastColumnsPerLine, plot_->axisRect()->width()));

    plot_->clearGraphs();
    const QPen tracePen(QColor(20, 20, 120));
    for (int line = 0; line < layout.lineCount(); ++line) {
        const auto &x = trace.x[size_t(line)];
        const auto &y = trace.y[size_t(line)];
        QCPGraph *graph = plot_->addGraph();
        graph->setPen(tracePen);
        QVector<double> minutes(qsizetype(x.size()));
        for (size_t i = 0; i < x.size(); ++i)
            minutes[qsizetype(i)] = x[i] / 60;
        graph->setData(minutes, QVector<double>(y.begin(), y.end()), true);
    }
    QCPGraph *events = plot_->addGraph();
    events->setLineStyle(QCPGraph::lsNone);
    events->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDiamond, Qt::red, Qt::red, 9));
    int marked = 0;
    for (const QDateTime &when :
         eventTimesFromSummaries(station_.folder().file(QStringLiteral("Vorsa.txt")))) {
        if (const auto at = layout.place(micros(when))) {
            events->addData(at->seconds / 60, -at->line);
            ++marked;
        }
    }

    auto ticker = QSharedPointer<QCPAxisTickerText>::create();
    const int linesPerLabel = qMax(1, layout.lineCount() / 24);
    for (int line = 0; line < layout.lineCount(); line += linesPerLabel)
        ticker->addTick(-line, QDateTime::fromMSecsSinceEpoch(layout.timeAt(line, 0) / 1000)
                                   .toString(QStringLiteral("HH:mm")));
    plot_->yAxis->setTicker(ticker);
    plot_->yAxis->setRange(-layout.lineCount() + 0.2, 0.8);
    plot_->xAxis->setRange(0, layout.lineSeconds() / 60);

    const qint64 samples = envelope_.sampleCount();
    summary_->setText(samples == 0
                          ? QStringLiteral("The archive holds nothing of %1 that day").arg(channel)
                          : QStringLiteral("%1: %2 min archived, events: %3")
                                .arg(channel)
                                .arg(samples / 6000)
                                .arg(marked));
    plot_->replot();
}

// The day files the drum of today reads from; they grow with every flush of the archive.
qint64 HelicorderWindow::archivedBytesToday() const
{
    const ArchiveAccess archive = archiveAccess(station_.folder());
    const MiniSeedPacking::TraceName name{archive.codes.network,
                                          MiniSeedOptions::stationCode(archive.codes.station),
                                          archive.codes.location, channelBox_->currentText()};
    const QDateTime start = dayEdit_->date().startOfDay().toUTC();
    qint64 bytes = 0;
    for (const QDate &day : {start.date(), start.addDays(1).addMSecs(-1).date()})
        bytes += QFileInfo(MiniSeedPacking::sdsDayFile(archive.settings.folder, name, day)).size();
    return bytes;
}

void HelicorderWindow::onLiveTick()
{
    if (!isVisible() || dayEdit_->date() != QDate::currentDate())
        return;
    if (archivedBytesToday() != drawnBytes_)
        readOn();
}

void HelicorderWindow::onPlotClicked(QMouseEvent *event)
{
    openStretchAt(plot_->xAxis->pixelToCoord(event->position().x()),
                  plot_->yAxis->pixelToCoord(event->position().y()));
}

void HelicorderWindow::openStretchAt(double x, double y)
{
    const HelicorderLayout layout(dayEdit_->date().startOfDay(),
                                  minutesBox_->currentData().toInt());
    const int line = qRound(-y);
    if (line < 0 || line >= layout.lineCount() || x < 0 || x * 60 > layout.lineSeconds())
        return;
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(layout.timeAt(line, x * 60) / 1000);
    const ArchiveAccess archive = archiveAccess(station_.folder());
    Readout &readout = station_.readout();
    RecordFolder &records = station_.recordFolder();
    const ArchiveExtract::Result result =
        ArchiveExtract(archive.settings.folder, archive.codes)
            .writeRecordFile(at.addSecs(-StretchSeconds / 2), at.addSecs(StretchSeconds / 2),
                             records.path());
    readout.statusLine.setText(result.message);
    summary_->setText(result.message);
    if (result.output.isEmpty())
        return;
    records.refresh();
    records.select(int(records.files().indexOf(QFileInfo(result.output).fileName())));
    station_.views().showRecordView();
    emit stretchOpened();
}
