#include "records/ArchiveRetention.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace
{

const QDate Today(2026, 1, 3);

// A day file of `kilobytes` KiB for channel `channel` on `day`, in its SDS folder.
QString makeDayFile(const QString &root, const QString &channel, const QDate &day, int kilobytes)
{
    const QString dir =
        QStringLiteral("%1/%2/AB/VORSA/%3.D").arg(root).arg(day.year()).arg(channel);
    QDir().mkpath(dir);
    const QString path = QStringLiteral("%1/AB.VORSA.00.%2.D.%3.%4")
                             .arg(dir, channel)
                             .arg(day.year())
                             .arg(day.dayOfYear(), 3, 10, QLatin1Char('0'));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(QByteArray(kilobytes * 1024, 'x'));
    return path;
}

} // namespace

class TestArchiveRetention : public QObject
{
    Q_OBJECT
private slots:
    void removesOldestFirst_data();
    void removesOldestFirst();
};

void TestArchiveRetention::removesOldestFirst_data()
{
    QTest::addColumn<int>("days");
    QTest::addColumn<int>("maxKilobytes");
    QTest::addColumn<int>("kept"); // of the day files, oldest first, how many remain at the end

    // Four days, the oldest across the turn of the year, two channels a day of 10 KiB each.
    QTest::newRow("no limit") << 0 << 0 << 8;
    QTest::newRow("days: today and the two before") << 3 << 0 << 6;
    QTest::newRow("days: today only") << 1 << 0 << 2;
    QTest::newRow("size: 45 KiB leaves four files") << 0 << 45 << 4;
    QTest::newRow("size: exactly at the limit stays") << 0 << 80 << 8;
    QTest::newRow("size below today's files keeps today") << 0 << 5 << 2;
    QTest::newRow("both: the stricter wins") << 3 << 25 << 2;
}

void TestArchiveRetention::removesOldestFirst()
{
    QFETCH(int, days);
    QFETCH(int, maxKilobytes);
    QFETCH(int, kept);
    QTemporaryDir dir;
    QStringList files;
    for (const QDate &day : {Today.addDays(-3), Today.addDays(-2), Today.addDays(-1), Today}) {
        files << makeDayFile(dir.path(), QStringLiteral("HNA"), day, 10);
        files << makeDayFile(dir.path(), QStringLiteral("HNB"), day, 10);
    }
    const QString foreign = dir.filePath(QStringLiteral("2025/notes.txt"));
    QFile(foreign).open(QIODevice::WriteOnly);

    const QStringList removed =
        ArchiveRetention::apply(dir.path(), days, qint64(maxKilobytes) * 1024, Today);

    QCOMPARE(removed, files.mid(0, files.size() - kept));
    for (int i = 0; i < files.size(); ++i)
        QVERIFY2(QFile::exists(files[i]) == (i >= files.size() - kept), qPrintable(files[i]));
    QVERIFY(QFile::exists(foreign));
}

QTEST_GUILESS_MAIN(TestArchiveRetention)
#include "tst_archiveretention.moc"
