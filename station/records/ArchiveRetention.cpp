#include "ArchiveRetention.h"

#include "RecordsLogging.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>

QVector<ArchiveRetention::DayFile> ArchiveRetention::dayFiles(const QString &root)
{
    static const QRegularExpression name(
        QStringLiteral("^[A-Z0-9]{1,2}\\.[A-Z0-9]{1,5}\\.[A-Z0-9]{0,2}\\.[A-Z0-9]{3}\\.D\\."
                       "(\\d{4})\\.(\\d{3})$"));
    QVector<DayFile> files;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QRegularExpressionMatch match = name.match(it.fileName());
        if (!match.hasMatch())
            continue;
        const QDate day =
            QDate(match.captured(1).toInt(), 1, 1).addDays(match.captured(2).toInt() - 1);
        if (day.isValid())
            files.push_back({path, day, it.fileInfo().size()});
    }
    std::sort(files.begin(), files.end(), [](const DayFile &x, const DayFile &y) {
        return x.day != y.day ? x.day < y.day : x.path < y.path;
    });
    return files;
}

QStringList ArchiveRetention::apply(const QString &root, int days, qint64 maxBytes,
                                    const QDate &todayUtc)
{
    const QVector<DayFile> files = dayFiles(root);
    qint64 total = 0;
    for (const DayFile &file : files)
        total += file.bytes;
    QStringList removed;
    for (const DayFile &file : files) {
        if (file.day >= todayUtc)
            break;
        const bool tooOld = days > 0 && file.day.daysTo(todayUtc) >= days;
        const bool tooBig = maxBytes > 0 && total > maxBytes;
        if (!tooOld && !tooBig)
            break;
        if (!QFile::remove(file.path)) {
            qCWarning(lcRecords).noquote() << "archive: cannot remove" << file.path;
            continue;
        }
        total -= file.bytes;
        removed << file.path;
        qCInfo(lcRecords).noquote()
            << "archive: removed" << file.path
            << (tooOld ? QStringLiteral("(older than %1 days)").arg(days)
                       : QStringLiteral("(archive over %1 MB)").arg(maxBytes / (1024 * 1024)));
    }
    return removed;
}
