#include "common/ProgramFolder.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

// Where the station keeps its files: VORSA_HOME first, then the executable's folder, then,
// for an installed program whose folder cannot be written, the user's data folder.
class TestProgramFolder : public QObject
{
    Q_OBJECT
private slots:
    void choice_data();
    void choice();
};

void TestProgramFolder::choice_data()
{
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("executableDir");
    QTest::addColumn<QString>("expected");

    // "@" stands for the test's temporary folder.
    QTest::newRow("home wins") << "@/home"
                               << "@/bin"
                               << "@/home";
    QTest::newRow("writable program folder") << ""
                                             << "@/bin"
                                             << "@/bin";
    QTest::newRow("installed program") << ""
                                       << "/nonexistent/usr/bin"
                                       << "@/data/vorsa";
    QTest::newRow("home over an installed program") << "@/var/lib/vorsa"
                                                    << "/nonexistent"
                                                    << "@/var/lib/vorsa";
}

void TestProgramFolder::choice()
{
    QFETCH(QString, home);
    QFETCH(QString, executableDir);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    const auto place = [&dir](QString path) { return path.replace(QLatin1Char('@'), dir.path()); };
    QDir().mkpath(dir.filePath(QStringLiteral("bin")));
    const ProgramFolder folder =
        ProgramFolder::choose(place(home), place(executableDir), dir.filePath("data/vorsa"));
    QCOMPARE(folder.path(), place(expected));
    QVERIFY2(QFileInfo(folder.path()).isDir(), "the chosen folder is created");
}

QTEST_GUILESS_MAIN(TestProgramFolder)
#include "tst_programfolder.moc"
