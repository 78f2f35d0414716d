#pragma once

#include <QObject>

class Form;
class ProgramFolder;
class Shell;

// Which pages are on screen after each menu, button and tab action.
class Views : public QObject
{
    Q_OBJECT
public:
    Views(Form &form, const ProgramFolder &folder, Shell &shell, QObject *parent = nullptr);

    void showRealTimeView();
    void showDisplacementView();
    void showRecordView();
    void showHistoryList();
    void toggleDetails();
    void closeHistoryList();
    void closeDevicePage();
    void showHostPage(); // the page part of "&System-Host"
    void showHostTab(int tab);
    void showDeviceTab(int tab);
    void openManual();
    void openSetupGuide();

signals:
    // `showRecordView` reloads the selected record file.
    void historyReloadRequested();

private:
    void hideMainPagesExcept(const class Control *shown);

    Form &form_;
    const ProgramFolder &folder_;
    Shell &shell_;
};
