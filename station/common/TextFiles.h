#pragma once

#include <QByteArray>
#include <QString>

// Checked file writes. Each returns false and a short reason when the bytes did not all
// reach the file, so that the caller can tell the operator and keep what it tried to write.
namespace TextFiles
{

inline const char *const LineEnd = "\r\n";

// Appends to the file, creating it (not its folder) when missing.
bool append(const QString &path, const QByteArray &bytes, QString *error);

// Replaces the file's content through a temporary file in the same folder and a rename, so a
// full disk or a crash never leaves a truncated file.
bool replace(const QString &path, const QByteArray &bytes, QString *error);

// Lines of a text file without their line ends (CR LF or LF), a leading UTF-8 byte-order
// mark removed. False when the file cannot be read.
bool readLines(const QString &path, QStringList *lines, QString *error);

} // namespace TextFiles
