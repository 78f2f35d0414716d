#include "DevicePage.h"

#include "DeviceWidgets.h"
#include "shell/Station.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

DevicePage::DevicePage(Station &station, QWidget *parent)
    : QGroupBox(QStringLiteral("Vorsa setting"), parent), station_(station),
      widgets_(new DeviceWidgets(station, this)), tabs_(new QTabWidget)
{
    tabs_->setObjectName(QStringLiteral("TabStrip2"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(buildReadBar());
    layout->addWidget(tabs_);
    Pages &pages = station.views().pages();
    addTab(buildGeneralTab(*widgets_), QStringLiteral("General"), pages.deviceGeneralTab);
    addTab(buildConnectionTab(*widgets_), QStringLiteral("Connection"), pages.deviceConnectionTab);
    addTab(buildSystemTab(*widgets_), QStringLiteral("System"), pages.deviceSystemTab);
    connect(tabs_, &QTabWidget::currentChanged, &station.views(),
            [this](int index) { station_.views().showDeviceTab(index + 1); });
    connect(&station.linkStatus(), &LinkStatus::openChanged, this, &DevicePage::syncReadBar);
    connect(&station.deviceSettings(), &DeviceSettings::readStateChanged, this,
            &DevicePage::syncReadBar);
    connect(&station.deviceCommands(), &DeviceCommands::busyChanged, this,
            &DevicePage::syncReadBar);
    for (Control *model :
         {&pages.deviceGeneralTab, &station.deviceSettings().controls().buttons.writeGeneral})
        connect(model, &Control::changed, this, &DevicePage::syncReadBar);
    connect(&station, &Station::userModeChanged, this, &DevicePage::syncReadBar);
    syncReadBar();
}

QWidget *DevicePage::buildReadBar()
{
    auto *bar = new QWidget;
    auto *row = new QHBoxLayout(bar);
    row->setContentsMargins(0, 0, 0, 0);
    readButton_ = new QPushButton(QStringLiteral("Read"));
    readButton_->setAccessibleName(QStringLiteral("Read"));
    readButton_->setAutoDefault(false);
    readButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    connect(readButton_, &QPushButton::clicked, &station_.deviceSettings(),
            &DeviceSettings::readFromDevice);
    note_ = new QLabel;
    note_->setWordWrap(true);
    row->addWidget(readButton_);
    row->addWidget(note_, 1);
    return bar;
}

void DevicePage::syncReadBar()
{
    const bool open = station_.linkStatus().isOpen();
    const bool reading =
        station_.deviceSettings().readState() == DeviceSettings::ReadState::Reading;
    const bool busy = station_.deviceCommands().isBusy();
    readButton_->setEnabled(open && !reading && !busy);
    const QString why = !open     ? QStringLiteral("link not open")
                        : reading ? QStringLiteral("reading settings…")
                        : busy    ? QStringLiteral("another device command is in progress")
                                  : QString();
    readButton_->setToolTip(why.isEmpty() ? QStringLiteral("Reads the device's settings again")
                                          : why);
    readButton_->setAccessibleDescription(why);
    QString note = widgets_->lockReason();
    if (note.isEmpty())
        note = widgets_->reasonFor(&station_.deviceSettings().controls().buttons.writeGeneral);
    if (station_.deviceSettings().readState() == DeviceSettings::ReadState::Unanswered)
        note = QStringLiteral("The device did not answer the read; the pages show what was "
                              "last read. ") +
               note;
    note_->setText(note);
    note_->setAccessibleName(note);
    note_->setVisible(!note.isEmpty());
}

void DevicePage::addTab(QWidget *content, const QString &caption, Control &model)
{
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);
    const int index = tabs_->addTab(scroll, caption);
    // Locked pages stay readable: only their controls are disabled (Educate mode).
    auto sync = [this, content, index, &model] {
        content->setEnabled(model.isEnabled());
        if (model.isVisible())
            tabs_->setCurrentIndex(index);
    };
    connect(&model, &Control::changed, content, sync);
    sync();
}
