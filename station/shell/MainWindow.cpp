#include "MainWindow.h"

#include "Bindings.h"
#include "Station.h"
#include "monitor/StripChartWidget.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace
{

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

} // namespace

MainWindow::MainWindow(Station &station, StripChartWidget *strip1, StripChartWidget *strip2,
                       StripChartWidget *strip3, QWidget *parent)
    : QMainWindow(parent), station_(station)
{
    Form &form = station.form();
    auto syncTitle = [this, &form] { setWindowTitle(form.caption.text()); };
    connect(&form.caption, &Control::changed, this, syncTitle);
    syncTitle();
    connect(&form.windowState, &Control::changed, this, [this, &form] {
        if (form.windowState.isChecked())
            showMaximized();
    });
    connect(&form.statusLine, &Control::changed, this,
            [this, &form] { statusBar()->showMessage(form.statusLine.text()); });
    connect(&form.formBackColor, &Control::changed, this, [this, &form] {
        const QColor c = form.formBackColor.backColor();
        setStyleSheet(c.isValid()
                          ? QStringLiteral("QMainWindow { background-color: %1; }").arg(c.name())
                          : QString());
    });

    buildMenus();
    pages_ = new QStackedWidget;
    pageOrder_ = {{&form.fraHost, buildHostPage()},
                  {&form.fraKRT54, new QLabel(QStringLiteral("Vorsa setting"))},
                  {&form.fraHis, new QLabel(QStringLiteral("History Data"))},
                  {&form.fraHisTrend, buildHistoryPage(strip2)},
                  {&form.fraAnalyze, buildDisplacementPage(strip3)},
                  {&form.fraRealtime, buildRealTimePage(strip1)}};
    for (const auto &page : pageOrder_) {
        pages_->addWidget(page.second);
        connect(page.first, &Control::changed, this, &MainWindow::showTopPage);
    }
    setCentralWidget(pages_);
    showTopPage();
    statusBar();
    resize(1100, 720);
}

void MainWindow::buildMenus()
{
    Station &s = station_;
    Views &views = s.views();
    QMenuBar *bar = menuBar();
    bar->addAction(QStringLiteral("&RealTime"), &views, &Views::mnuRT_Click);
    bar->addAction(QStringLiteral("&Displacement"), &views, &Views::mnuAnalyze_Click);
    bar->addAction(QStringLiteral("&Record"), &views, &Views::mnuTrend_Click);
    bar->addAction(QStringLiteral("&System-Vorsa"));
    QAction *host = bar->addAction(QStringLiteral("&System-Host"), &s, &Station::mnuhost_Click);
    Control &mnuhost = s.form().mnuhost;
    connect(&mnuhost, &Control::changed, host,
            [host, &mnuhost] { host->setEnabled(mnuhost.isEnabled()); });
    bar->addAction(QStringLiteral("&Logfile"), this, [&s] { s.eventLog().mnuEvent_Click(); });
    QMenu *help = bar->addMenu(QStringLiteral("&Help"));
    help->addAction(QStringLiteral("Setup"), &views, &Views::mnuSetup_Click);
    help->addAction(QStringLiteral("Doc"), &views, &Views::mnuDoc_Click);
    bar->addAction(QStringLiteral("&Exit"), &s, &Station::mnuExit_Click);
}

QWidget *MainWindow::buildRealTimePage(StripChartWidget *strip1)
{
    Form &form = station_.form();
    auto *page = new QGroupBox(QStringLiteral("Real Time"));
    auto *layout = new QHBoxLayout(page);
    layout->addWidget(strip1, 1);
    Bindings::visibility(form.Strip1Shown, strip1);
    auto *side = new QFormLayout;
    side->addRow(QStringLiteral("Intensity"), boundLabel(form.lblIntensity));
    side->addRow(boundLabel(form.lblMode));
    side->addRow(boundLabel(form.lblAlarm));
    side->addRow(boundLabel(form.lblRec));
    side->addRow(QStringLiteral("Device"), boundLabel(form.lblIP));
    side->addRow(boundLabel(form.rxcnt));
    side->addRow(QStringLiteral("Acc Range[gal]"), boundCombo(form.cboXYZ));
    side->addRow(QStringLiteral("Pd Range[cm]"), boundCombo(form.cboPd));
    side->addRow(QStringLiteral("Time-axis Range[sec]"), boundCombo(form.cboXaxis));
    layout->addLayout(side);
    return page;
}

QWidget *MainWindow::buildDisplacementPage(StripChartWidget *strip3)
{
    Form &form = station_.form();
    auto *page = new QGroupBox(QStringLiteral("Displacement "));
    auto *layout = new QHBoxLayout(page);
    layout->addWidget(strip3, 1);
    auto *side = new QFormLayout;
    side->addRow(QStringLiteral("Displacement(cm)"), boundCombo(form.cbodisp));
    layout->addLayout(side);
    return page;
}

QWidget *MainWindow::buildHistoryPage(StripChartWidget *strip2)
{
    Form &form = station_.form();
    auto *page = new QGroupBox(QStringLiteral("History Trend"));
    auto *layout = new QHBoxLayout(page);
    layout->addWidget(strip2, 1);
    auto *side = new QVBoxLayout;
    auto *files = new QListWidget;
    auto syncFiles = [files, &form] {
        const QSignalBlocker block(files);
        files->clear();
        files->addItems(form.Dir1.files());
        files->setCurrentRow(form.Dir1.selectedIndex());
    };
    connect(&form.Dir1, &RecordFolder::listChanged, files, syncFiles);
    connect(&form.Dir1, &RecordFolder::selected, files, syncFiles);
    connect(files, &QListWidget::currentRowChanged, &form.Dir1, &RecordFolder::select);
    syncFiles();
    side->addWidget(files);
    side->addWidget(boundLabel(form.lblHis));
    auto *ranges = new QFormLayout;
    ranges->addRow(QStringLiteral("Acc Range[gal]"), boundCombo(form.cboHisXYZ));
    ranges->addRow(QStringLiteral("Pd-Disp Range[cm]"), boundCombo(form.cboHisPd));
    ranges->addRow(QStringLiteral("Time-axis Range[sec]"), boundCombo(form.cboHisXaxis));
    side->addLayout(ranges);
    layout->addLayout(side);
    return page;
}

QWidget *MainWindow::buildHostPage()
{
    Form &form = station_.form();
    auto *page = new QGroupBox(QStringLiteral("Host Setting"));
    auto *layout = new QVBoxLayout(page);
    auto *tabs = new QTabWidget;
    tabs->addTab(buildConnectionTab(), QStringLiteral("Connection"));
    tabs->addTab(buildRecordTab(), QStringLiteral("Record"));
    tabs->addTab(buildVoiceTab(), QStringLiteral("Voice file"));
    connect(tabs, &QTabWidget::currentChanged, &station_.views(),
            [this](int index) { station_.views().TabStrip1_Click(index + 1); });
    layout->addWidget(tabs);
    auto *buttons = new QHBoxLayout;
    auto *ok = new QPushButton(QStringLiteral("OK"));
    Bindings::button(form.cmdComset, ok);
    connect(ok, &QPushButton::clicked, &station_, &Station::cmdComset_Click);
    auto *save = new QPushButton(QStringLiteral("Save Setting"));
    Bindings::button(form.cmdSave, save);
    connect(save, &QPushButton::clicked, &station_, &Station::cmdSave_Click);
    buttons->addStretch();
    buttons->addWidget(save);
    buttons->addWidget(ok);
    layout->addLayout(buttons);
    return page;
}

QWidget *MainWindow::buildConnectionTab()
{
    Form &form = station_.form();
    auto *tab = new QWidget;
    auto *layout = new QFormLayout(tab);
    auto *rtu = new QRadioButton(QStringLiteral("Modbus_RTU"));
    auto *tcp = new QRadioButton(QStringLiteral("Modbus_TCP"));
    auto *server = new QRadioButton(QStringLiteral("TCP/IP Server"));
    Bindings::checkable(form.optCom, rtu);
    Bindings::checkable(form.optTCP, tcp);
    Bindings::checkable(form.optTCP_svr, server);
    auto *kinds = new QHBoxLayout;
    kinds->addWidget(rtu);
    kinds->addWidget(tcp);
    kinds->addWidget(server);
    layout->addRow(kinds);
    layout->addRow(QStringLiteral("COM"), boundEdit(form.txtCom));
    layout->addRow(QStringLiteral("Baud"), boundEdit(form.txtBaud));
    layout->addRow(QStringLiteral("IP"), boundEdit(form.txtIP));
    layout->addRow(QStringLiteral("Port"), boundEdit(form.txtPort));
    layout->addRow(QStringLiteral("ID"), boundEdit(form.mbus_id));
    return tab;
}

QWidget *MainWindow::buildRecordTab()
{
    Form &form = station_.form();
    auto *tab = new QWidget;
    auto *layout = new QFormLayout(tab);
    layout->addRow(QStringLiteral("Pre-alarm time (Sec)"), boundEdit(form.txtrecPrev));
    layout->addRow(QStringLiteral("Post-alarm time (Sec)"), boundEdit(form.txtrecafter));
    layout->addRow(boundCheck(form.Check4, QStringLiteral("Record mode")));
    layout->addRow(boundCheck(form.chkAuto, QStringLiteral("Auto Run")));
    auto *folder = new QLabel;
    auto syncFolder = [folder, &form] { folder->setText(form.Dir1.path()); };
    connect(&form.Dir1, &RecordFolder::folderChanged, folder, syncFolder);
    syncFolder();
    auto *choose = new QPushButton(QStringLiteral("..."));
    connect(choose, &QPushButton::clicked, this, [this, &form] {
        const QString dir = QFileDialog::getExistingDirectory(this, QString(), form.Dir1.path());
        if (!dir.isEmpty())
            form.Dir1.setPath(dir);
    });
    auto *row = new QHBoxLayout;
    row->addWidget(folder, 1);
    row->addWidget(choose);
    layout->addRow(QStringLiteral("Record folder"), row);
    return tab;
}

QWidget *MainWindow::buildVoiceTab()
{
    Form &form = station_.form();
    auto *tab = new QWidget;
    auto *layout = new QGridLayout(tab);
    for (int k = 0; k < 13; ++k) {
        const QString caption =
            k == 0 ? QStringLiteral("Self Test") : QStringLiteral("Degree %1").arg(k);
        auto *pick = new QPushButton(QStringLiteral("..."));
        Control &path = form.txtDegree[k];
        connect(pick, &QPushButton::clicked, this, [this, &path] {
            const QString file = QFileDialog::getOpenFileName(
                this, QString(), path.text(), QStringLiteral("Wave files (*.wav);;All files (*)"));
            if (!file.isEmpty())
                path.setText(file);
        });
        layout->addWidget(new QLabel(caption), k, 0);
        layout->addWidget(boundEdit(path), k, 1);
        layout->addWidget(pick, k, 2);
    }
    layout->addWidget(boundCheck(form.chkVoice, QStringLiteral("Voice Enable")), 13, 1);
    return tab;
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
