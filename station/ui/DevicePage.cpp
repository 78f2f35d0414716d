#include "DevicePage.h"

#include "DeviceWidgets.h"
#include "shell/Station.h"

#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

DevicePage::DevicePage(Station &station, QWidget *parent)
    : QGroupBox(QStringLiteral("Vorsa setting"), parent), station_(station),
      widgets_(new DeviceWidgets(station, this)), tabs_(new QTabWidget)
{
    tabs_->setObjectName(QStringLiteral("TabStrip2"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tabs_);
    Form &form = station.form();
    addTab(buildGeneralTab(*widgets_), QStringLiteral("General"), form.frageneral);
    addTab(buildConnectionTab(*widgets_), QStringLiteral("Connection"), form.fraconnects);
    addTab(buildSystemTab(*widgets_), QStringLiteral("System"), form.frasystem);
    connect(tabs_, &QTabWidget::currentChanged, &station.views(),
            [this](int index) { station_.views().showDeviceTab(index + 1); });
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
