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
    // "Doc": the document sys.txt names when the program folder holds it (a site's own),
    // otherwise the manual that comes with the program.
    void openManual();
    // "Setup": the manual's installation chapter.
    void openSetupGuide();
    // "About": the version, the program folder and the settings files in use.
    QString aboutText() const;
    // sys.txt's "Manual Path": a site's own document in the program folder.
    QString manualFile() const { return manualFile_; }
    void setManualFile(const QString &file) { manualFile_ = file; }
    // Where the manual's pages are; the installed program's folder unless changed.
    void setManualFolder(const QString &folder) { manualFolder_ = folder; }

signals:
    // `showRecordView` reloads the selected record file.
    void historyReloadRequested();

private:
    void hideMainPagesExcept(const class Control *shown);

    Form &form_;
    const ProgramFolder &folder_;
    Shell &shell_;
    QString manualFolder_;
    QString manualFile_;
};
