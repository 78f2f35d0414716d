#include "Views.h"

#include "UserManual.h"
#include "common/Platform.h"
#include "common/ProgramFolder.h"
#include "common/RecordFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

Pages::Pages()
{
    for (Control *page :
         {&displacementView, &recordView, &historyList, &devicePage, &hostPage, &detailsPanel})
        page->setVisible(false);
    for (Control *tab : {&recordTab, &voiceTab, &deviceConnectionTab, &deviceSystemTab})
        tab->setVisible(false);
}

Views::Views(Control &statusLine, RecordFolder &recordFolder, const ProgramFolder &folder,
             Shell &shell, QObject *parent)
    : QObject(parent), statusLine_(statusLine), recordFolder_(recordFolder), folder_(folder),
      shell_(shell), manualFolder_(UserManual::installedFolder())
{
}

void Views::hideMainPagesExcept(const Control *shown)
{
    for (Control *page :
         {&pages_.liveView, &pages_.displacementView, &pages_.recordView, &pages_.historyList,
          &pages_.devicePage, &pages_.hostPage, &pages_.detailsPanel})
        if (page != shown && page != &pages_.liveView)
            page->setVisible(false);
}

void Views::showRealTimeView()
{
    hideMainPagesExcept(&pages_.liveView);
    pages_.liveView.setVisible(true);
    pages_.realTimeChart.setVisible(true);
}

void Views::showDisplacementView()
{
    hideMainPagesExcept(&pages_.displacementView);
    pages_.displacementView.setVisible(true);
    pages_.realTimeChart.setVisible(false);
}

void Views::showRecordView()
{
    hideMainPagesExcept(&pages_.recordView);
    pages_.recordView.setVisible(true);
    pages_.realTimeChart.setVisible(false);
    recordFolder_.refresh();
    emit historyReloadRequested();
}

void Views::showHistoryList()
{
    for (Control *page :
         {&pages_.detailsPanel, &pages_.hostPage, &pages_.devicePage, &pages_.recordView})
        page->setVisible(false);
    pages_.historyList.setVisible(true);
}

void Views::toggleDetails()
{
    pages_.detailsPanel.setVisible(!pages_.detailsPanel.isVisible());
}

void Views::closeHistoryList()
{
    pages_.historyList.setVisible(false);
    pages_.realTimeChart.setVisible(true);
}

void Views::closeDevicePage()
{
    pages_.devicePage.setVisible(false);
}

void Views::showDevicePage()
{
    pages_.devicePage.setVisible(true);
    for (Control *page : {&pages_.detailsPanel, &pages_.hostPage, &pages_.recordView,
                          &pages_.historyList, &pages_.displacementView})
        page->setVisible(false);
    pages_.realTimeChart.setVisible(true);
}

void Views::showHostPage()
{
    for (Control *page : {&pages_.detailsPanel, &pages_.devicePage, &pages_.recordView,
                          &pages_.historyList, &pages_.displacementView})
        page->setVisible(false);
    pages_.hostPage.setVisible(true);
    pages_.realTimeChart.setVisible(true);
}

void Views::showHostTab(int tab)
{
    if (tab < 1 || tab > 3)
        return;
    pages_.linkTab.setVisible(tab == 1);
    pages_.recordTab.setVisible(tab == 2);
    pages_.voiceTab.setVisible(tab == 3);
}

void Views::showDeviceTab(int tab)
{
    if (tab < 1 || tab > 3)
        return;
    pages_.deviceGeneralTab.setVisible(tab == 1);
    pages_.deviceConnectionTab.setVisible(tab == 2);
    pages_.deviceSystemTab.setVisible(tab == 3);
}

void Views::openManual()
{
    const QString own = folder_.file(manualFile_);
    const bool ownPresent = !manualFile_.isEmpty() && QFileInfo(own).isFile();
    openDocument(
        shell_, statusLine_,
        ownPresent ? own : QDir(manualFolder_).filePath(QLatin1String(UserManual::ContentsPage)));
}

void Views::openSetupGuide()
{
    openDocument(shell_, statusLine_,
                 QDir(manualFolder_).filePath(QLatin1String(UserManual::InstallationPage)));
}

QString Views::aboutText() const
{
    const auto native = [](const QString &path) { return QDir::toNativeSeparators(path); };
    return QStringList{QStringLiteral("Vorsa station %1").arg(QLatin1String(VORSA_VERSION)),
                       QStringLiteral("Program folder: ") + native(folder_.path()),
                       QStringLiteral("Settings: ") +
                           native(folder_.file(QStringLiteral("sys.txt"))),
                       QStringLiteral("Station's own settings: ") +
                           native(folder_.file(QStringLiteral("vorsa.ini"))),
                       QStringLiteral("Manual: ") + native(manualFolder_)}
        .join(QLatin1Char('\n'));
}
