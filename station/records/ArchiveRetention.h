#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVector>

// Keeps the archive within its bounds: day files older than `days` days go, then, while the
// archive holds more than `maxBytes`, the oldest day files, one by one. Today's files always
// stay; files not named as SDS day files are not touched. A limit of 0 is no limit.
namespace ArchiveRetention
{

struct DayFile {
    QString path;
    QDate day;
    qint64 bytes = 0;
};

// Every SDS day file under `root`, oldest day first.
QVector<DayFile> dayFiles(const QString &root);
// Removes what is beyond the limits and logs one line for each file; returns them.
QStringList apply(const QString &root, int days, qint64 maxBytes, const QDate &todayUtc);

} // namespace ArchiveRetention
