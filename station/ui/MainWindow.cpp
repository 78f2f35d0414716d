#include "MainWindow.h"

#include "AlarmAnnouncer.h"
#include "Bindings.h"
#include "DevicePage.h"
#include "HelicorderWindow.h"
#include "IndicatorLamp.h"
#include "OpaquePanelContent.h"
#include "OutageMark.h"
#include "StripChartWidget.h"
#include "common/Colours.h"
#include "common/FieldNumbers.h"
#include "link/LinkStatus.h"
#include "monitor/AlarmPanel.h"
#include "shell/Station.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{

// The event lamps' captions, in the order of the form's lamps; a lamp lighting says its caption.
const QStringList TriggerCaptions = {QStringLiteral("Displacement trig"), QStringLiteral("Pd trig"),
                                     QStringLiteral("Pga trig"), QStringLiteral("STA/LTA trig")};

QLineEdit *boundEdit(Control &model)
{
    auto *edit = new QLineEdit;
    Bindings::lineEdit(model, edit);
    return edit;
}

QComboBox *boundCombo(Control &model)
{
    auto *combo = new QComboBox;
    Bindings::comboBox(model, combo);
    combo->setMinimumContentsLength(5);
    return combo;
}

QCheckBox *boundCheck(Control &model, const QString &caption)
{
    auto *box = new QCheckBox(caption);
    Bindings::checkable(model, box);
    return box;
}

QLabel *boundLabel(Control &model)
{
    auto *label = new QLabel;
    Bindings::label(model, label);
    return label;
}

QLabel *boundField(LiveFields &fields, int index)
{
    auto *label = new QLabel;
    // A fixed size, wide enough for the longest value, a date: a new value then neither moves
    // the layout nor has the window lay itself out again, a hundred times a second.
    label->setFixedSize(label->fontMetrics().horizontalAdvance(QStringLiteral("2026/12/07")),
                        label->fontMetrics().height());
    // The poll and the stream give the accelerations and the PGA with different decimals; the
    // window shows them alike in both modes.
    int decimals = -1;
    if (index >= Field::AccelerationA && index <= Field::AccelerationC)
        decimals = 2;
    else if (index == Field::Pga)
        decimals = 1;
    Bindings::liveField(fields, index, label, decimals);
    return label;
}

// The caption beside a combo box or edit field is also its accessible name, so that screen
// readers and UI automation find it by what the operator reads.
void addCaptioned(QFormLayout *layout, const QString &caption, QWidget *field)
{
    field->setAccessibleName(caption);
    layout->addRow(caption, field);
}

void addCaptioned(QBoxLayout *layout, const QString &caption, QWidget *field)
{
    auto *label = new QLabel(caption);
    label->setBuddy(field);
    field->setAccessibleName(caption);
    layout->addWidget(label);
    layout->addWidget(field);
}

// Caption and value pairs in `columns` columns, filled row by row.
QGridLayout *valueGrid(LiveFields &fields, const QList<QPair<QString, int>> &rows, int columns)
{
    auto *grid = new QGridLayout;
    grid->setVerticalSpacing(2);
    for (int i = 0; i < rows.size(); ++i) {
        const int row = i / columns;
        const int column = 2 * (i % columns);
        grid->addWidget(new QLabel(rows[i].first), row, column);
        grid->addWidget(boundField(fields, rows[i].second), row, column + 1);
    }
    return grid;
}

// The name an exported chart takes: the record's, with the picture's suffix.
QString exportName(const QString &folder, const QString &recordFile)
{
    const QString base =
        recordFile.isEmpty() ? QStringLiteral("history") : QFileInfo(recordFile).completeBaseName();
    return QDir(folder).filePath(base + QStringLiteral(".png"));
}

} // namespace

MainWindow::MainWindow(Station &station, StripChartWidget *strip1, StripChartWidget *strip2,
                       StripChartWidget *strip3, QWidget *parent)
    : QMainWindow(parent), station_(station), strip2_(strip2)
{
    Readout &readout = station.readout();
    Pages &pages = station.views().pages();
    auto syncTitle = [this, &readout] { setWindowTitle(readout.windowTitle.text()); };
    connect(&readout.windowTitle, &Control::changed, this, syncTitle);
    syncTitle();
    connect(&readout.maximised, &Control::changed, this, [this, &readout] {
        if (!readout.maximised.isChecked())
            return;
        // Without a window manager (a kiosk, a bare X server) maximising alone does nothing.
        setGeometry(screen()->availableGeometry());
        showMaximized();
    });
    connect(&readout.statusLine, &Control::changed, this,
            [this, &readout] { statusBar()->showMessage(readout.statusLine.text()); });

    AlarmPanel &panel = station.alarmPanel();
    outage_ = new OutageMark(station.linkStatus(), station.eventState(), panel.intensity,
                             panel.caption, this);
    buildMenus();
    pages_ = new QStackedWidget;
    pageOrder_ = {{&pages.hostPage, buildHostPage()},
                  {&pages.devicePage, new DevicePage(station)},
                  {&pages.historyList, buildHistoryDataPage()},
                  {&pages.recordView, buildHistoryPage(strip2)},
                  {&pages.displacementView, buildDisplacementPage(strip3)},
                  {&pages.liveView, buildRealTimePage(strip1)}};
    for (const auto &page : pageOrder_) {
        pages_->addWidget(page.second);
        connect(page.first, &Control::changed, this, &MainWindow::showTopPage);
    }
    setCentralWidget(buildLinkFrame(pages_));
    showTopPage();
    // Beside the status line, not in it: the next status message must not replace it.
    QLabel *writeWarning = boundLabel(station.eventLog().writeWarning());
    writeWarning->setAccessibleName(QStringLiteral("Files waiting to be written"));
    statusBar()->addPermanentWidget(writeWarning);
    QLabel *archiveWarning = boundLabel(station.archiveWarning());
    archiveWarning->setAccessibleName(QStringLiteral("Archive records waiting to be written"));
    statusBar()->addPermanentWidget(archiveWarning);
    new AlarmAnnouncer(panel, station.eventState(), TriggerCaptions, *this, this);
    resize(QSize(1280, 740).boundedTo(screen()->availableGeometry().size()));
    centreOnScreen();
}

void MainWindow::showHelicorder()
{
    if (!helicorder_) {
        helicorder_ = new HelicorderWindow(station_, this);
        connect(helicorder_, &HelicorderWindow::stretchOpened, this, [this] {
            raise();
            activateWindow();
        });
    }
    helicorder_->show();
    helicorder_->raise();
}

void MainWindow::centreOnScreen()
{
    const QRect screenArea = screen()->availableGeometry();
    move(screenArea.center() - QPoint(width() / 2, height() / 2));
}

// The link's state colours a frame around the pages and a mark on the status bar, never the
// panels themselves: red lamps and red captions stay readable while the link is down.
QWidget *MainWindow::buildLinkFrame(QWidget *pages)
{
    auto *frame = new QWidget;
    frame->setObjectName(QStringLiteral("linkFrame"));
    frame->setAttribute(Qt::WA_StyledBackground);
    auto *layout = new QVBoxLayout(frame);
    // As wide as the border, so that the border never covers a page's edge.
    layout->setContentsMargins(5, 5, 5, 5);
    layout->addWidget(pages);
    // Where the link goes and how it fares, kept apart from the status line's messages.
    LinkStatus &status = station_.linkStatus();
    auto *linkState = new QLabel(status.summary());
    linkState->setAccessibleName(QStringLiteral("Link state"));
    statusBar()->addPermanentWidget(linkState);
    connect(&status, &LinkStatus::summaryChanged, linkState,
            [linkState, &status] { linkState->setText(status.summary()); });
    auto sync = [frame, linkState, &status] {
        const QColor c = status.isSilent() ? Colours::SilentLink : QColor();
        // No style sheet at all while the link runs: one on the frame would restyle every
        // widget under it, and each live value's repaint would cost more.
        frame->setStyleSheet(
            c.isValid() ? QStringLiteral("#linkFrame { border: 5px solid %1; }").arg(c.name())
                        : QString());
        linkState->setStyleSheet(
            c.isValid() ? QStringLiteral("background-color: %1; color: white; font-weight: bold;")
                              .arg(c.name())
                        : QString());
    };
    connect(&status, &LinkStatus::silentChanged, frame, sync);
    sync();
    return frame;
}

void MainWindow::buildMenus()
{
    Station &s = station_;
    Views &views = s.views();
    QMenuBar *bar = menuBar();
    // Each entry its own Alt key: a shared one lands on the second entry on a second press.
    bar->addAction(QStringLiteral("&RealTime"), &views, &Views::showRealTimeView);
    bar->addAction(QStringLiteral("&Displacement"), &views, &Views::showDisplacementView);
    bar->addAction(QStringLiteral("Rec&ord"), &views, &Views::showRecordView);
    bar->addAction(QStringLiteral("&System-Vorsa"), &s, &Station::showDeviceSettings);
    QAction *host = bar->addAction(QStringLiteral("System-Hos&t"), &s, &Station::showHostSettings);
    // The connection page would change the folder a running manual recording moves into.
    connect(&s.manualRecording(), &ManualRecording::recordingChanged, host,
            [host](bool recording) { host->setEnabled(!recording); });
    bar->addAction(QStringLiteral("&Logfile"), this, [&s] { s.eventLog().openMonthlyLog(); });
    bar->addAction(QStringLiteral("Heli&corder"), this, &MainWindow::showHelicorder);
    buildModeMenu(bar->addMenu(QStringLiteral("&Mode")));
    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("Setup"), &views, &Views::openSetupGuide);
    help->addAction(QStringLiteral("Doc"), &views, &Views::openManual);
    help->addAction(QStringLiteral("About"), this, [this, &views] {
        QMessageBox::about(this, QStringLiteral("About the Vorsa station"), views.aboutText());
    });
    bar->addAction(QStringLiteral("&Exit"), &s, &Station::confirmExit);
}

// One of the three user modes at a time; the station says which is in force.
void MainWindow::buildModeMenu(QMenu *menu)
{
    Station &s = station_;
    auto *group = new QActionGroup(menu);
    const QStringList captions{QStringLiteral("&General"), QStringLiteral("&Engineer"),
                               QStringLiteral("E&ducate")};
    QList<QAction *> actions;
    for (int mode = 0; mode < int(captions.size()); ++mode) {
        QAction *action = menu->addAction(captions[mode]);
        action->setCheckable(true);
        group->addAction(action);
        connect(action, &QAction::triggered, &s, [&s, mode] { s.setUserMode(mode); });
        actions << action;
    }
    auto sync = [actions, &s] {
        if (QAction *current = actions.value(s.userMode()))
            current->setChecked(true);
    };
    connect(&s, &Station::userModeChanged, menu, sync);
    sync();
}

// The chart with its scales below it and the advanced panel under them; the live values in a
// column beside, so that every panel fits a 1024 x 700 window.
QWidget *MainWindow::buildRealTimePage(StripChartWidget *strip1)
{
    Pages &pages = station_.views().pages();
    auto *page = new QGroupBox(QStringLiteral("Real Time"));
    auto *layout = new QHBoxLayout(page);
    auto *main = new QVBoxLayout;
    main->addWidget(strip1, 1);
    Bindings::visibility(pages.realTimeChart, strip1);
    auto *ranges = new QHBoxLayout;
    addCaptioned(ranges, QStringLiteral("Acc Range[gal]"),
                 boundRangeCombo(station_.displaySettings().accelerationBox()));
    addCaptioned(ranges, QStringLiteral("Pd Range[cm]"),
                 boundRangeCombo(station_.displaySettings().pdBox()));
    addCaptioned(ranges, QStringLiteral("Time-axis Range[sec]"),
                 boundRangeCombo(station_.displaySettings().spanBox()));
    ranges->addStretch();
    main->addLayout(ranges);
    main->addWidget(buildAdvancedBox());
    layout->addLayout(main, 1);
    auto *side = new QVBoxLayout;
    side->addWidget(buildIntensityBox());
    side->addWidget(buildEventBox());
    side->addWidget(buildDigitalIoBox());
    side->addWidget(buildValuesBox());
    side->addWidget(buildServerBox());
    side->addLayout(buildRecordingRow());
    side->addStretch();
    auto *sideColumn = new QWidget;
    sideColumn->setLayout(side);
    sideColumn->setFixedWidth(sideColumn->sizeHint().width());
    layout->addWidget(sideColumn);
    return page;
}

// The intensity and the alarm caption as the outage mark holds them; a caption wraps rather
// than being cut, and says its whole text to tooltips and screen readers.
QWidget *MainWindow::buildIntensityBox()
{
    auto *box = new QGroupBox(QStringLiteral("Intensity"));
    new QVBoxLayout(box);
    auto *layout = new QGridLayout(new OpaquePanelContent(box));
    layout->setContentsMargins(0, 0, 0, 0);
    auto *intensity = new QLabel;
    intensity->setAccessibleName(QStringLiteral("Intensity"));
    QFont big = intensity->font();
    big.setPointSize(28);
    big.setBold(true);
    intensity->setFont(big);
    intensity->setAlignment(Qt::AlignCenter);
    intensity->setMinimumWidth(80);
    layout->addWidget(intensity, 0, 0);
    layout->addWidget(boundLabel(station_.alarmPanel().scaleName), 0, 1);
    auto *alarm = new QLabel;
    alarm->setWordWrap(true);
    alarm->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    layout->addWidget(alarm, 1, 0, 1, 2);
    auto *lastEvent = new QLabel;
    lastEvent->setAccessibleName(QStringLiteral("Last event"));
    layout->addWidget(lastEvent, 2, 0, 1, 2);
    layout->setColumnStretch(1, 1);
    EventState &events = station_.eventState();
    const Control &intensityBox = station_.alarmPanel().intensity;
    auto sync = [this, intensity, alarm, &intensityBox] {
        // Asked for with every packet; a style sheet or text set again unchanged would still
        // restyle, lay out and repaint the panel.
        const QString value = outage_->intensity();
        if (intensity->text() != value) {
            intensity->setText(value);
            intensity->setAccessibleDescription(value);
        }
        Bindings::mirrorColours(intensityBox, intensity);
        const QString caption = outage_->caption();
        if (alarm->text() != caption) {
            alarm->setText(caption);
            alarm->setToolTip(caption);
            alarm->setAccessibleName(caption);
        }
        alarm->setVisible(outage_->isCaptionVisible());
    };
    connect(outage_, &OutageMark::changed, box, Bindings::paced(box, sync));
    sync();
    auto syncLastEvent = [lastEvent, &events] {
        lastEvent->setText(events.lastEventLine());
        lastEvent->setVisible(!lastEvent->text().isEmpty());
    };
    connect(&events, &EventState::lastEventChanged, lastEvent, syncLastEvent);
    syncLastEvent();
    return box;
}

QWidget *MainWindow::buildEventBox()
{
    AlarmPanel &panel = station_.alarmPanel();
    auto *box = new QGroupBox(QStringLiteral("Event"));
    auto *layout = new QGridLayout(box);
    for (int k = 0; k < 4; ++k) {
        auto *lamp = new QLabel(TriggerCaptions[k]);
        lamp->setStyleSheet(QStringLiteral("background-color: red; color: white; padding: 2px;"));
        // An unlit lamp keeps its place, so lighting one never moves the panels below.
        QSizePolicy keepPlace = lamp->sizePolicy();
        keepPlace.setRetainSizeWhenHidden(true);
        lamp->setSizePolicy(keepPlace);
        Bindings::visibility(panel.triggerLamps[std::size_t(k)], lamp);
        layout->addWidget(lamp, k / 2, k % 2);
    }
    return box;
}

QWidget *MainWindow::buildDigitalIoBox()
{
    AlarmPanel &panel = station_.alarmPanel();
    auto *box = new QGroupBox(QStringLiteral("Digital I/O"));
    auto *layout = new QGridLayout(box);
    layout->addWidget(new QLabel(QStringLiteral("DO")), 1, 0);
    layout->addWidget(new QLabel(QStringLiteral("DI")), 2, 0);
    for (int k = 0; k < 8; ++k)
        layout->addWidget(new QLabel(QString::number(k)), 0, k + 1, Qt::AlignCenter);
    for (int k = 0; k < 16; ++k) {
        auto *lamp = new IndicatorLamp(QStringLiteral("%1 %2").arg(k < 8 ? "DO" : "DI").arg(k % 8));
        lamp->setFixedSize(16, 16);
        Control &model = panel.ioLamps[std::size_t(k)];
        Bindings::label(model, lamp);
        auto syncLit = [lamp, &model] {
            lamp->setLit(model.backColor().isValid() && model.backColor() != Colours::LampOff);
        };
        connect(&model, &Control::changed, lamp, syncLit);
        syncLit();
        layout->addWidget(lamp, k < 8 ? 1 : 2, k % 8 + 1, Qt::AlignCenter);
    }
    markStaleWhileSilent(box);
    return box;
}

// Text that is no range turns the box red and says why; the chart keeps its range, and the box
// reads that range again once the operator leaves it.
QComboBox *MainWindow::boundRangeCombo(Control &model)
{
    QComboBox *combo = boundCombo(model);
    DisplaySettings &settings = station_.displaySettings();
    auto mark = [combo, &model, &settings] {
        const bool refused = !model.text().isEmpty() && !settings.accepts(model);
        const QString why = refused ? QStringLiteral("\"%1\" is not a range: the chart keeps %2")
                                          .arg(model.text(), settings.rangeInForce(model))
                                    : QString();
        if (combo->toolTip() == why)
            return;
        combo->setStyleSheet(refused ? QStringLiteral("QComboBox { background-color: #ff7070; }")
                                     : QString());
        combo->setToolTip(why);
        combo->setAccessibleDescription(why);
    };
    connect(&model, &Control::changed, combo, mark);
    connect(combo->lineEdit(), &QLineEdit::editingFinished, combo,
            [&settings, &model] { settings.showRangeInForce(model); });
    mark();
    return combo;
}

void MainWindow::markStaleWhileSilent(QWidget *panel)
{
    auto sync = [this, panel] {
        if (!outage_->isStale()) {
            panel->setGraphicsEffect(nullptr);
            return;
        }
        if (panel->graphicsEffect())
            return;
        auto *fade = new QGraphicsOpacityEffect;
        fade->setOpacity(0.4);
        panel->setGraphicsEffect(fade);
    };
    connect(outage_, &OutageMark::changed, panel, sync);
    sync();
}

QWidget *MainWindow::buildValuesBox()
{
    Readout &readout = station_.readout();
    auto *box = new QGroupBox(QStringLiteral("Status"));
    auto *layout = new QVBoxLayout(box);
    auto *stale = new QLabel;
    stale->setAccessibleName(QStringLiteral("Live values stale"));
    stale->setStyleSheet(QStringLiteral("font-weight: bold;"));
    auto syncStale = [this, stale] {
        stale->setText(outage_->notice());
        stale->setVisible(outage_->isStale());
    };
    connect(outage_, &OutageMark::changed, stale, syncStale);
    syncStale();
    layout->addWidget(stale);
    auto *values = new OpaquePanelContent(box);
    auto *valuesLayout = new QVBoxLayout(values);
    valuesLayout->setContentsMargins(0, 0, 0, 0);
    markStaleWhileSilent(values);
    valuesLayout->addLayout(valueGrid(readout.liveFields,
                                      {{QStringLiteral("a [gal]"), Field::AccelerationA},
                                       {QStringLiteral("Pd [cm]"), Field::Pd},
                                       {QStringLiteral("b [gal]"), Field::AccelerationB},
                                       {QStringLiteral("Disp [cm]"), Field::Displacement},
                                       {QStringLiteral("c [gal]"), Field::AccelerationC},
                                       {QStringLiteral("PGA [gal]"), Field::Pga},
                                       {QStringLiteral("max [gal]"), Field::VectorMaxShown},
                                       {QStringLiteral("Date"), Field::PcDate},
                                       {QStringLiteral("Time"), Field::PcTime}},
                                      2));
    auto *rows = new QFormLayout;
    rows->setVerticalSpacing(2);
    rows->addRow(QStringLiteral("Event"), boundLabel(readout.deviceEventTime));
    rows->addRow(QStringLiteral("Device"), boundLabel(readout.deviceAddress));
    // The rate of each second, shown with the engineering controls.
    auto *rate = new QLabel;
    Bindings::visibility(readout.rateCaption, rate);
    const LinkStatus &link = station_.linkStatus();
    auto syncRate = [rate, &link] {
        rate->setText(QStringLiteral("%1 data/sec").arg(link.dataPerSecond(), 3));
    };
    connect(&link, &LinkStatus::dataPerSecondChanged, rate, syncRate);
    syncRate();
    rows->addRow(rate);
    valuesLayout->addLayout(rows);
    return box;
}

QWidget *MainWindow::buildServerBox()
{
    Readout &readout = station_.readout();
    auto *box = new QGroupBox(QStringLiteral("Server infomation"));
    auto *layout = new QFormLayout(box);
    layout->addRow(QStringLiteral("divination instensity"), boundLabel(readout.serverIntensity));
    layout->addRow(QStringLiteral("count down"), boundLabel(readout.serverCountdown));
    Bindings::visibility(readout.serverInfo, box);
    return box;
}

QWidget *MainWindow::buildAdvancedBox()
{
    Readout &readout = station_.readout();
    Pages &pages = station_.views().pages();
    auto *box = new QGroupBox(QStringLiteral("Advanced Information"));
    auto *layout = new QVBoxLayout(box);
    layout->addLayout(valueGrid(readout.liveFields,
                                {{QStringLiteral("NTP Synchronous"), Field::NtpStatus},
                                 {QStringLiteral("Server0 Connected"), Field::Server0Connected},
                                 {QStringLiteral("Server1 Connected"), Field::Server1Connected},
                                 {QStringLiteral("RVD-K09 Connected"), Field::DisplayConnected},
                                 {QStringLiteral("Firmware Version"), Field::FirmwareVersion},
                                 {QStringLiteral("Serial No."), Field::StationCode},
                                 {QStringLiteral("Pgv_1s"), Field::Pgv1s},
                                 {QStringLiteral("Pgd_1s"), Field::Pgd1s},
                                 {QStringLiteral("Pga_max_in10s"), Field::PgaMaxIn10s}},
                                3));
    auto *lastRow = new QHBoxLayout;
    LinkStatus &status = station_.linkStatus();
    auto *rejected = new QLabel(QString::number(status.rejectedFrames()));
    connect(&status, &LinkStatus::rejectedFramesChanged, rejected,
            [rejected](qint64 count) { rejected->setText(QString::number(count)); });
    rejected->setAccessibleName(QStringLiteral("Rejected frames"));
    lastRow->addWidget(new QLabel(QStringLiteral("Rejected frames")));
    lastRow->addWidget(rejected);
    auto *peer = new QLabel(status.peer());
    connect(&status, &LinkStatus::peerChanged, peer, &QLabel::setText);
    peer->setAccessibleName(QStringLiteral("Server-link peer"));
    lastRow->addWidget(new QLabel(QStringLiteral("Server-link peer")));
    lastRow->addWidget(peer);
    lastRow->addStretch();
    lastRow->addWidget(
        boundCheck(readout.rawLogBox, QStringLiteral("Raw receive log (Vorsarec.txt)")));
    layout->addLayout(lastRow);
    Bindings::visibility(pages.detailsPanel, box);
    return box;
}

QLayout *MainWindow::buildRecordingRow()
{
    auto *row = new QHBoxLayout;
    auto *more = new QPushButton(QStringLiteral("More..."));
    connect(more, &QPushButton::clicked, &station_.views(), &Views::toggleDetails);
    auto *record = new QPushButton(QStringLiteral("Manual Rec"));
    ManualRecording &manual = station_.manualRecording();
    connect(record, &QPushButton::clicked, &manual, &ManualRecording::toggleRecording);
    connect(&manual, &ManualRecording::recordingChanged, record, [record](bool recording) {
        record->setText(recording ? QStringLiteral("Stop Rec") : QStringLiteral("Manual Rec"));
    });
    row->addWidget(more);
    row->addWidget(record);
    row->addWidget(boundLabel(station_.alarmPanel().recording));
    return row;
}

// The Pd range and the time span are the real-time view's: their combos here mirror the same
// settings.
QWidget *MainWindow::buildDisplacementPage(StripChartWidget *strip3)
{
    auto *page = new QGroupBox(QStringLiteral("Displacement "));
    auto *layout = new QHBoxLayout(page);
    layout->addWidget(strip3, 1);
    auto *side = new QVBoxLayout;
    side->addWidget(buildIntensityBox());
    side->addWidget(buildEventBox());
    auto *ranges = new QFormLayout;
    addCaptioned(ranges, QStringLiteral("Displacement(cm)"),
                 boundRangeCombo(station_.displaySettings().displacementBox()));
    addCaptioned(ranges, QStringLiteral("Pd Range[cm]"),
                 boundRangeCombo(station_.displaySettings().pdBox()));
    addCaptioned(ranges, QStringLiteral("Time-axis Range[sec]"),
                 boundRangeCombo(station_.displaySettings().spanBox()));
    side->addLayout(ranges);
    side->addStretch();
    layout->addLayout(side);
    return page;
}

QWidget *MainWindow::buildHistoryPage(StripChartWidget *strip2)
{
    Readout &readout = station_.readout();
    auto *page = new QGroupBox(QStringLiteral("History Trend"));
    auto *layout = new QHBoxLayout(page);
    layout->addWidget(strip2, 1);
    strip2->setBrowsable(true);
    auto *side = new QVBoxLayout;
    auto *files = new QListWidget;
    RecordFolder &records = station_.recordFolder();
    auto syncFiles = [files, &records] {
        const QSignalBlocker block(files);
        files->clear();
        files->addItems(records.files());
        files->setCurrentRow(records.selectedIndex());
    };
    connect(&records, &RecordFolder::listChanged, files, syncFiles);
    connect(&records, &RecordFolder::selected, files, syncFiles);
    connect(files, &QListWidget::currentRowChanged, &records, &RecordFolder::select);
    // Assistive technology selects an item without making it current; the file selected is
    // the one to load all the same.
    connect(files->selectionModel(), &QItemSelectionModel::selectionChanged, files, [files] {
        const QList<QListWidgetItem *> chosen = files->selectedItems();
        if (chosen.size() == 1 && chosen.first() != files->currentItem())
            files->setCurrentItem(chosen.first());
    });
    syncFiles();
    side->addWidget(files);
    auto *event = new QFormLayout;
    event->addRow(QStringLiteral("ID"), boundField(readout.liveFields, Field::HistoryStationCode));
    event->addRow(QStringLiteral("Event Date"),
                  boundField(readout.liveFields, Field::HistoryEventDate));
    event->addRow(QStringLiteral("Event Time"),
                  boundField(readout.liveFields, Field::HistoryEventTime));
    event->addRow(QStringLiteral("a(gal)"),
                  boundField(readout.liveFields, Field::FirstHistoryPeak));
    event->addRow(QStringLiteral("b(gal)"),
                  boundField(readout.liveFields, Field::FirstHistoryPeak + 1));
    event->addRow(QStringLiteral("c(gal)"),
                  boundField(readout.liveFields, Field::FirstHistoryPeak + 2));
    event->addRow(QStringLiteral("Intensity"), boundLabel(station_.history().loadedIntensity()));
    History &history = station_.history();
    auto *length = new QLabel(history.recordLength());
    length->setAccessibleName(QStringLiteral("Length"));
    connect(&history, &History::recordLengthChanged, length, &QLabel::setText);
    event->addRow(QStringLiteral("Length"), length);
    side->addLayout(event);
    auto *buttons = new QHBoxLayout;
    auto *list = new QPushButton(QStringLiteral("List"));
    connect(list, &QPushButton::clicked, &station_.views(), &Views::showHistoryList);
    auto *remove = new QPushButton(QStringLiteral("Delete"));
    connect(remove, &QPushButton::clicked, &station_.history(), &History::deleteSelectedFile);
    buttons->addWidget(list);
    buttons->addWidget(remove);
    side->addLayout(buttons);
    auto *chartButtons = new QHBoxLayout;
    auto *whole = new QPushButton(QStringLiteral("Whole file"));
    whole->setToolTip(QStringLiteral("Drag the chart or turn the wheel over it to move and zoom "
                                     "along time; this shows the whole file again"));
    connect(whole, &QPushButton::clicked, strip2, &StripChartWidget::showWhole);
    auto *exportChart = new QPushButton(QStringLiteral("Export chart..."));
    connect(exportChart, &QPushButton::clicked, this, &MainWindow::exportHistoryChart);
    chartButtons->addWidget(whole);
    chartButtons->addWidget(exportChart);
    side->addLayout(chartButtons);
    auto *exportMseed = new QPushButton(QStringLiteral("Export miniSEED"));
    exportMseed->setAccessibleName(exportMseed->text());
    connect(exportMseed, &QPushButton::clicked, &station_.history(), &History::exportSelectedFile);
    side->addWidget(exportMseed);
    auto *ranges = new QFormLayout;
    addCaptioned(ranges, QStringLiteral("Acc Range[gal]"),
                 boundCombo(station_.history().accelerationBox()));
    addCaptioned(ranges, QStringLiteral("Pd-Disp Range[cm]"),
                 boundCombo(station_.history().pdBox()));
    addCaptioned(ranges, QStringLiteral("Time-axis Range[sec]"),
                 boundCombo(station_.history().spanBox()));
    side->addLayout(ranges);
    layout->addLayout(side);
    return page;
}

QWidget *MainWindow::buildHistoryDataPage()
{
    auto *page = new QGroupBox(QStringLiteral("History Data"));
    auto *layout = new QVBoxLayout(page);
    auto *summaries = new QPlainTextEdit;
    summaries->setReadOnly(true);
    summaries->setLineWrapMode(QPlainTextEdit::NoWrap);
    const Control &model = station_.eventLog().summaries();
    auto sync = [summaries, &model] { summaries->setPlainText(model.text()); };
    connect(&model, &Control::changed, summaries, sync);
    sync();
    layout->addWidget(summaries);
    auto *buttons = new QHBoxLayout;
    auto *print = new QPushButton(QStringLiteral("Show Vorsa.txt"));
    connect(print, &QPushButton::clicked, &station_.history(), &History::openSummaryFile);
    auto *cancel = new QPushButton(QStringLiteral("Cancel"));
    connect(cancel, &QPushButton::clicked, &station_.views(), &Views::closeHistoryList);
    buttons->addStretch();
    buttons->addWidget(print);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    return page;
}

QWidget *MainWindow::buildHostPage()
{
    ConnectionPage &connection = station_.connectionPage();
    auto *page = new QGroupBox(QStringLiteral("Host Setting"));
    auto *layout = new QVBoxLayout(page);
    auto *tabs = new QTabWidget;
    tabs->addTab(buildConnectionTab(), QStringLiteral("Connection"));
    tabs->addTab(buildRecordTab(), QStringLiteral("Record"));
    tabs->addTab(buildVoiceTab(), QStringLiteral("Voice file"));
    connect(tabs, &QTabWidget::currentChanged, &station_.views(),
            [this](int index) { station_.views().showHostTab(index + 1); });
    layout->addWidget(tabs);
    auto *buttons = new QHBoxLayout;
    auto *ok = new QPushButton(QStringLiteral("OK"));
    Bindings::button(connection.okButton, ok);
    connect(ok, &QPushButton::clicked, &station_, &Station::openLink);
    auto *save = new QPushButton(QStringLiteral("Save Setting"));
    Bindings::button(connection.saveButton, save);
    connect(save, &QPushButton::clicked, &station_, &Station::saveSettingsIfValid);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    return page;
}

QWidget *MainWindow::buildConnectionTab()
{
    ConnectionPage &connection = station_.connectionPage();
    auto *tab = new QWidget;
    auto *layout = new QFormLayout(tab);
    auto *rtu = new QRadioButton(QStringLiteral("Modbus_RTU"));
    auto *tcp = new QRadioButton(QStringLiteral("Modbus_TCP"));
    auto *server = new QRadioButton(QStringLiteral("TCP/IP Server"));
    Bindings::checkable(connection.serialOption, rtu);
    Bindings::checkable(connection.tcpClientOption, tcp);
    Bindings::checkable(connection.tcpServerOption, server);
    auto *kinds = new QHBoxLayout;
    kinds->addWidget(rtu);
    kinds->addWidget(tcp);
    kinds->addWidget(server);
    layout->addRow(kinds);
    addCaptioned(layout, QStringLiteral("COM"), boundEdit(connection.serialPortField));
    addCaptioned(layout, QStringLiteral("Baud"), boundEdit(connection.serialSettingsField));
    addCaptioned(layout, QStringLiteral("IP"), boundEdit(connection.hostField));
    addCaptioned(layout, QStringLiteral("Port"), boundEdit(connection.portField));
    addCaptioned(layout, QStringLiteral("ID"), boundEdit(connection.unitAddressField));
    auto *locked = new QLabel(QStringLiteral("Educate mode: link settings are locked"));
    locked->setAccessibleName(locked->text());
    auto syncLock = [locked, this] { locked->setVisible(station_.userMode() == 2); };
    connect(&station_, &Station::userModeChanged, locked, syncLock);
    syncLock();
    layout->addRow(locked);
    QLabel *anyHost = boundLabel(connection.anyHostNote);
    anyHost->setAccessibleName(connection.anyHostNote.text());
    layout->addRow(anyHost);
    return tab;
}

QWidget *MainWindow::buildRecordTab()
{
    ConnectionPage &connection = station_.connectionPage();
    RecordFolder &records = station_.recordFolder();
    auto *tab = new QWidget;
    auto *layout = new QFormLayout(tab);
    addCaptioned(layout, QStringLiteral("Pre-alarm time (Sec)"),
                 boundEdit(connection.preEventField));
    addCaptioned(layout, QStringLiteral("Post-alarm time (Sec)"),
                 boundEdit(connection.postEventField));
    layout->addRow(boundCheck(connection.recordModeBox, QStringLiteral("Record mode")));
    layout->addRow(boundCheck(connection.autoRunBox, QStringLiteral("Auto Run")));
    auto *folder = new QLabel;
    auto syncFolder = [folder, &records] { folder->setText(records.path()); };
    connect(&records, &RecordFolder::folderChanged, folder, syncFolder);
    syncFolder();
    auto *choose = new QPushButton(QStringLiteral("..."));
    connect(choose, &QPushButton::clicked, this, [this, &records] {
        const QString dir = QFileDialog::getExistingDirectory(this, QString(), records.path());
        if (!dir.isEmpty())
            records.setPath(dir);
    });
    auto *row = new QHBoxLayout;
    row->addWidget(folder, 1);
    row->addWidget(choose);
    layout->addRow(QStringLiteral("Record folder"), row);
    return tab;
}

QWidget *MainWindow::buildVoiceTab()
{
    ConnectionPage &connection = station_.connectionPage();
    auto *tab = new QWidget;
    auto *layout = new QGridLayout(tab);
    for (int k = 0; k < 13; ++k) {
        const QString caption =
            k == 0 ? QStringLiteral("Self Test") : QStringLiteral("Degree %1").arg(k);
        auto *pick = new QPushButton(QStringLiteral("..."));
        Control &path = connection.voiceFileFields[k];
        connect(pick, &QPushButton::clicked, this, [this, &path] {
            const QString file = QFileDialog::getOpenFileName(
                this, QString(), path.text(), QStringLiteral("Wave files (*.wav);;All files (*)"));
            if (!file.isEmpty())
                path.setText(file);
        });
        QLineEdit *edit = boundEdit(path);
        edit->setAccessibleName(caption);
        layout->addWidget(new QLabel(caption), k, 0);
        layout->addWidget(edit, k, 1);
        layout->addWidget(pick, k, 2);
    }
    layout->addWidget(boundCheck(connection.voiceBox, QStringLiteral("Voice Enable")), 13, 1);
    return tab;
}

void MainWindow::exportHistoryChart()
{
    Readout &readout = station_.readout();
    const RecordFolder &records = station_.recordFolder();
    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("Export the history chart"),
                                     exportName(records.path(), records.selectedFile()),
                                     QStringLiteral("PNG image (*.png);;PDF document (*.pdf)"));
    if (path.isEmpty())
        return;
    readout.statusLine.setText(strip2_->exportTo(path, station_.history().exportCaption())
                                   ? QStringLiteral("Chart exported to %1").arg(path)
                                   : QStringLiteral("Cannot write the chart to %1").arg(path));
}

void MainWindow::showTopPage()
{
    for (const auto &page : pageOrder_) {
        if (page.first->isVisible()) {
            pages_->setCurrentWidget(page.second);
            return;
        }
    }
}

void MainWindow::closeForExit()
{
    exiting_ = true;
    close();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    if (exiting_)
        event->accept();
    else
        event->ignore();
}
