#pragma once

#include <QGroupBox>

class DeviceWidgets;
class QLabel;
class QPushButton;
class QTabWidget;
class QWidget;
class Station;

// The page "Vorsa setting": the tab strip `TabStrip2` with the general, connection
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
    // The "Read" button and the line that says why the pages cannot write, when they cannot.
    QWidget *buildReadBar();
    void syncReadBar();

    Station &station_;
    DeviceWidgets *widgets_;
    QTabWidget *tabs_;
    QPushButton *readButton_ = nullptr;
    QLabel *note_ = nullptr;
};

// The three sub-pages, each in its own file.
QWidget *buildGeneralTab(DeviceWidgets &widgets);
QWidget *buildConnectionTab(DeviceWidgets &widgets);
QWidget *buildSystemTab(DeviceWidgets &widgets);
