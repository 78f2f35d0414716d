#pragma once

#include <QString>

// The operator's and engineer's manual that comes with the program: HTML pages in the
// package's documentation folder (share/doc/vorsa/manual beside the program's bin folder; the
// build puts it at the same place relative to the built program).
namespace UserManual
{

// The manual's folder for a program in `executableDir`.
QString folderBeside(const QString &executableDir);
// The manual's folder for this program.
QString installedFolder();

constexpr const char *ContentsPage = "index.html";
constexpr const char *InstallationPage = "installation.html";

} // namespace UserManual
