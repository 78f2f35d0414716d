#include "monitor/WaveSoundPlayer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

namespace
{

// A short silent 8 kHz mono 16-bit wave file.
QByteArray silentWave()
{
    const quint32 samples = 800;
    QByteArray data(int(samples * 2), '\0');
    QByteArray w;
    auto u32 = [&w](quint32 v) {
        const quint32 le = qToLittleEndian(v);
        w.append(reinterpret_cast<const char *>(&le), 4);
    };
    auto u16 = [&w](quint16 v) {
        const quint16 le = qToLittleEndian(v);
        w.append(reinterpret_cast<const char *>(&le), 2);
    };
    w += "RIFF";
    u32(36 + quint32(data.size()));
    w += "WAVEfmt ";
    u32(16);
    u16(1);
    u16(1);
    u32(8000);
    u32(16000);
    u16(2);
    u16(16);
    w += "data";
    u32(quint32(data.size()));
    return w + data;
}

} // namespace

class TestWaveSoundPlayer : public QObject
{
    Q_OBJECT
private slots:
    void playableFiles_data();
    void playableFiles();
    void playNeverWaits();
};

void TestWaveSoundPlayer::playableFiles_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // "<dir>" makes a folder, "<none>" nothing
    QTest::addColumn<bool>("playable");
    QTest::newRow("wave") << "a.wav" << silentWave() << true;
    QTest::newRow("missing") << "b.wav" << QByteArray("<none>") << false;
    QTest::newRow("folder") << "c.wav" << QByteArray("<dir>") << false;
    QTest::newRow("empty") << "d.wav" << QByteArray() << false;
    QTest::newRow("text") << "e.wav" << QByteArray("not a sound at all") << false;
    QTest::newRow("RIFF but not wave")
        << "f.avi" << QByteArray("RIFF\x10\0\0\0AVI LIST", 16) << false;
    QTest::newRow("cut after RIFF") << "g.wav" << QByteArray("RIFF\x10\0\0", 7) << false;
    QTest::newRow("empty path") << "" << QByteArray("<none>") << false;
}

void TestWaveSoundPlayer::playableFiles()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(bool, playable);
    QTemporaryDir dir;
    const QString path = name.isEmpty() ? QString() : dir.filePath(name);
    if (content == "<dir>") {
        QVERIFY(QDir().mkdir(path));
    } else if (content != "<none>") {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QCOMPARE(WaveSoundPlayer::isWaveFile(path), playable);
}

void TestWaveSoundPlayer::playNeverWaits()
{
    // Without an audio device the sound never ends; play must come back at once anyway,
    // and a second sound replaces the first.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.wav"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(silentWave());
    file.close();
    WaveSoundPlayer player;
    QElapsedTimer elapsed;
    elapsed.start();
    player.play(path);
    player.play(path);
    player.play(dir.filePath(QStringLiteral("missing.wav")));
    QVERIFY2(elapsed.elapsed() < 2000, "play waited for the sound");
}

QTEST_GUILESS_MAIN(TestWaveSoundPlayer)
#include "tst_wavesoundplayer.moc"
