#include "common/ProgramFolder.h"
#include "common/SerialPortName.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestSerialPortName : public QObject
{
    Q_OBJECT
private slots:
    void resolution();
};

void TestSerialPortName::resolution()
{
    QTemporaryDir dir;
    const ProgramFolder folder(dir.path());
    QFile target(dir.filePath(QStringLiteral("ttyFAKE")));
    QVERIFY(target.open(QIODevice::WriteOnly));
    QVERIFY(QFile::link(target.fileName(), dir.filePath(QStringLiteral("COM3"))));

    QCOMPARE(resolveSerialPort(QStringLiteral("3"), folder), target.fileName());
    QCOMPARE(resolveSerialPort(QStringLiteral("1"), folder), QStringLiteral("/dev/ttyS0"));
    QCOMPARE(resolveSerialPort(QStringLiteral(" 4 "), folder), QStringLiteral("/dev/ttyS3"));
    QCOMPARE(resolveSerialPort(QStringLiteral("ttyUSB0"), folder), QStringLiteral("ttyUSB0"));
    QCOMPARE(resolveSerialPort(QStringLiteral("/dev/pts/7"), folder), QStringLiteral("/dev/pts/7"));
    QCOMPARE(resolveSerialPort(QStringLiteral("0"), folder), QStringLiteral("0"));
}

QTEST_GUILESS_MAIN(TestSerialPortName)
#include "tst_serialportname.moc"
