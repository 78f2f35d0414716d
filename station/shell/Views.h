#pragma once

#include "common/Control.h"

#include <QObject>

class Control;
class ProgramFolder;
class RecordFolder;
class Shell;

// Which pages, panels and tabs are on screen (visible = shown).
struct Pages {
    Pages();

    Control liveView, displacementView, recordView, historyList, devicePage, hostPage;
    Control detailsPanel;                 // "More" on the displacement view
    Control realTimeChart;                // stands apart from the pages: shown over several of them
    Control linkTab, recordTab, voiceTab; // of the host page
    Control deviceGeneralTab, deviceConnectionTab, deviceSystemTab; // of the device page
};

// Which pages are on screen after each menu, button and tab action.
class Views : public QObject
{
    Q_OBJECT
public:
    Views(Control &statusLine, RecordFolder &recordFolder, const ProgramFolder &folder,
          Shell &shell, QObject *parent = nullptr);

    Pages &pages() { return pages_; }
    const Pages &pages() const { return pages_; }

    void showRealTimeView();
    void showDisplacementView();
    void showRecordView();
    void showHistoryList();
    void toggleDetails();
    void closeHistoryList();
    void showDevicePage(); // the page part of "&System-Vorsa"
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

    Pages pages_;
    Control &statusLine_;
    RecordFolder &recordFolder_;
    const ProgramFolder &folder_;
    Shell &shell_;
    QString manualFolder_;
    QString manualFile_;
};
