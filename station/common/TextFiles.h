#pragma once

#include <QByteArray>
#include <QString>

class QFile;

// Checked file writes. Each returns false and a short reason when the bytes did not all
// reach the file, so that the caller can tell the operator and keep what it tried to write.
namespace TextFiles
{

inline const char *const LineEnd = "\r\n";

// Appends to the file whole or not at all: a failed or short write is cut back, so the file
// ends where it ended before. A missing file (not its folder) is written under a temporary
// name and renamed, so it never appears empty or half written.
bool append(const QString &path, const QByteArray &bytes, QString *error);

// The same for a file kept open for appending (unbuffered).
bool appendToOpen(QFile &file, const QByteArray &bytes, QString *error);

// Replaces the file's content through a temporary file in the same folder and a rename, so a
// full disk or a crash never leaves a truncated file.
bool replace(const QString &path, const QByteArray &bytes, QString *error);

// Lines of a text file without their line ends (CR LF or LF), a leading UTF-8 byte-order
// mark removed. False when the file cannot be read.
bool readLines(const QString &path, QStringList *lines, QString *error);

} // namespace TextFiles
