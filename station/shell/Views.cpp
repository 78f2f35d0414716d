#include "Views.h"

#include "UserManual.h"
#include "common/Form.h"
#include "common/Platform.h"
#include "common/ProgramFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

Views::Views(Form &form, const ProgramFolder &folder, Shell &shell, QObject *parent)
    : QObject(parent), form_(form), folder_(folder), shell_(shell),
      manualFolder_(UserManual::installedFolder())
{
}

void Views::hideMainPagesExcept(const Control *shown)
{
    for (Control *page : {&form_.fraRealtime, &form_.fraAnalyze, &form_.fraHisTrend, &form_.fraHis,
                          &form_.fraKRT54, &form_.fraHost, &form_.fraRT})
        if (page != shown && page != &form_.fraRealtime)
            page->setVisible(false);
}

void Views::showRealTimeView()
{
    hideMainPagesExcept(&form_.fraRealtime);
    form_.fraRealtime.setVisible(true);
    form_.Strip1Shown.setVisible(true);
}

void Views::showDisplacementView()
{
    hideMainPagesExcept(&form_.fraAnalyze);
    form_.fraAnalyze.setVisible(true);
    form_.Strip1Shown.setVisible(false);
}

void Views::showRecordView()
{
    hideMainPagesExcept(&form_.fraHisTrend);
    form_.fraHisTrend.setVisible(true);
    form_.Strip1Shown.setVisible(false);
    form_.Dir1.refresh();
    emit historyReloadRequested();
}

void Views::showHistoryList()
{
    for (Control *page : {&form_.fraRT, &form_.fraHost, &form_.fraKRT54, &form_.fraHisTrend})
        page->setVisible(false);
    form_.fraHis.setVisible(true);
}

void Views::toggleDetails()
{
    form_.fraRT.setVisible(!form_.fraRT.isVisible());
}

void Views::closeHistoryList()
{
    form_.fraHis.setVisible(false);
    form_.Strip1Shown.setVisible(true);
}

void Views::closeDevicePage()
{
    form_.fraKRT54.setVisible(false);
}

void Views::showHostPage()
{
    for (Control *page :
         {&form_.fraRT, &form_.fraKRT54, &form_.fraHisTrend, &form_.fraHis, &form_.fraAnalyze})
        page->setVisible(false);
    form_.fraHost.setVisible(true);
    form_.Strip1Shown.setVisible(true);
}

void Views::showHostTab(int tab)
{
    if (tab < 1 || tab > 3)
        return;
    form_.fraconnect.setVisible(tab == 1);
    form_.frarecord.setVisible(tab == 2);
    form_.fraVoice.setVisible(tab == 3);
}

void Views::showDeviceTab(int tab)
{
    if (tab < 1 || tab > 3)
        return;
    form_.frageneral.setVisible(tab == 1);
    form_.fraconnects.setVisible(tab == 2);
    form_.frasystem.setVisible(tab == 3);
}

void Views::openManual()
{
    const QString own = folder_.file(manualFile_);
    const bool ownPresent = !manualFile_.isEmpty() && QFileInfo(own).isFile();
    openDocument(
        shell_, form_.statusLine,
        ownPresent ? own : QDir(manualFolder_).filePath(QLatin1String(UserManual::ContentsPage)));
}

void Views::openSetupGuide()
{
    openDocument(shell_, form_.statusLine,
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
