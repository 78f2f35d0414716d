#pragma once

#include <QGroupBox>

class DeviceWidgets;
class QTabWidget;
class QWidget;
class Station;

// The page `fraKRT54` "Vorsa setting": the tab strip `TabStrip2` with the general, connection
// and system pages of the device's settings.
class DevicePage : public QGroupBox
{
    Q_OBJECT
public:
    explicit DevicePage(Station &station, QWidget *parent = nullptr);

    QTabWidget *tabStrip() const { return tabs_; }

private:
    // A tab's page in a scroll area, so that it stays usable on a small screen; `model` is
    // the page's shown and editable state.
    void addTab(QWidget *content, const QString &caption, class Control &model);

    Station &station_;
    DeviceWidgets *widgets_;
    QTabWidget *tabs_;
};

// The three sub-pages, each in its own file.
QWidget *buildGeneralTab(DeviceWidgets &widgets);
QWidget *buildConnectionTab(DeviceWidgets &widgets);
QWidget *buildSystemTab(DeviceWidgets &widgets);
