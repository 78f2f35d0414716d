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

    void mnuRT_Click();
    void mnuAnalyze_Click();
    void mnuTrend_Click();
    void cmdHis_Click();
    void cmdmore_Click();
    void cmdHisC_Click();
    void cmdSetC_Click();
    void showHostPage(); // the page part of "&System-Host"
    void TabStrip1_Click(int tab);
    void TabStrip2_Click(int tab);
    void mnuDoc_Click();
    void mnuSetup_Click();

signals:
    // `mnuTrend_Click` reloads the selected record file.
    void historyReloadRequested();

private:
    void hideMainPagesExcept(const class Control *shown);

    Form &form_;
    const ProgramFolder &folder_;
    Shell &shell_;
};
