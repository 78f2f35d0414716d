#pragma once

#include <QMainWindow>

class Control;
class HelicorderWindow;
class OutageMark;
class QComboBox;
class QLayout;
class QMenu;
class QStackedWidget;
class Station;
class StripChartWidget;

// The window `frmKRT54`: menus, pages and charts bound to the station's form.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    MainWindow(Station &station, StripChartWidget *strip1, StripChartWidget *strip2,
               StripChartWidget *strip3, QWidget *parent = nullptr);

    // Ends the window for good; every other way of closing it is refused.
    void closeForExit();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenus();
    void buildModeMenu(QMenu *menu);
    QWidget *buildRealTimePage(StripChartWidget *strip1);
    QWidget *buildDisplacementPage(StripChartWidget *strip3);
    QWidget *buildHistoryPage(StripChartWidget *strip2);
    QWidget *buildHistoryDataPage();
    QWidget *buildIntensityBox();
    QWidget *buildEventBox();
    QWidget *buildDigitalIoBox();
    QWidget *buildValuesBox();
    // Faded while the link is silent; its own colours stay.
    void markStaleWhileSilent(QWidget *panel);
    QComboBox *boundRangeCombo(Control &model);
    QWidget *buildServerBox();
    QWidget *buildAdvancedBox();
    QLayout *buildRecordingRow();
    QWidget *buildHostPage();
    QWidget *buildConnectionTab();
    QWidget *buildRecordTab();
    QWidget *buildVoiceTab();
    QWidget *buildLinkFrame(QWidget *pages);
    void centreOnScreen();
    void exportHistoryChart();
    void showTopPage();
    void showHelicorder();

    Station &station_;
    StripChartWidget *strip2_;
    QStackedWidget *pages_ = nullptr;
    QList<QPair<Control *, QWidget *>> pageOrder_; // first visible one is on top
    bool exiting_ = false;
    HelicorderWindow *helicorder_ = nullptr; // made when first shown
    OutageMark *outage_ = nullptr;
};
