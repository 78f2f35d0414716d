#include "DevsimProcess.h"
#include "ModbusPdu.h"

#include <QRegularExpression>
#include <QtTest>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace
{

// Two connected pseudo terminals made by socat: the simulator gets one, the test the other.
class PtyPair
{
public:
    PtyPair()
    {
        socat_.setProgram(SOCAT_PROGRAM);
        socat_.setArguments({"-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0"});
        socat_.setReadChannel(QProcess::StandardError);
        socat_.start();
        static const QRegularExpression ptyLine("PTY is (\\S+)");
        QDeadlineTimer deadline(5000);
        QByteArray err;
        while (paths_.size() < 2 && !deadline.hasExpired()) {
            socat_.waitForReadyRead(int(deadline.remainingTime()));
            err += socat_.readAllStandardError();
            paths_.clear();
            for (auto m = ptyLine.globalMatch(QString::fromUtf8(err)); m.hasNext();)
                paths_ << m.next().captured(1);
        }
    }
    ~PtyPair()
    {
        socat_.terminate();
        socat_.waitForFinished(3000);
    }
    bool ready() const { return paths_.size() == 2; }
    QString deviceSide() const { return paths_.value(0); }
    QString testSide() const { return paths_.value(1); }

private:
    QProcess socat_;
    QStringList paths_;
};

class RawPort
{
public:
    explicit RawPort(const QString &path)
        : fd_(::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        if (fd_ < 0)
            return;
        termios tio{};
        tcgetattr(fd_, &tio);
        cfmakeraw(&tio);
        tcsetattr(fd_, TCSANOW, &tio);
    }
    ~RawPort()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool isOpen() const { return fd_ >= 0; }
    bool send(const QByteArray &bytes)
    {
        return ::write(fd_, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    // Collects bytes until `count` arrived or the time is up.
    QByteArray receive(int count, int timeoutMs)
    {
        QByteArray out;
        QDeadlineTimer deadline(timeoutMs);
        while (out.size() < count && !deadline.hasExpired()) {
            pollfd p{fd_, POLLIN, 0};
            if (poll(&p, 1, int(deadline.remainingTime())) <= 0)
                break;
            char buf[512];
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n > 0)
                out.append(buf, int(n));
        }
        return out;
    }

private:
    int fd_;
};

QByteArray withCrc(QByteArray frame)
{
    const quint16 crc =
        devsim::crc16(reinterpret_cast<const uint8_t *>(frame.constData()), size_t(frame.size()));
    frame.append(char(crc & 0xFF)).append(char(crc >> 8));
    return frame;
}

bool crcHolds(const QByteArray &frame)
{
    return frame.size() > 2 && withCrc(frame.left(frame.size() - 2)) == frame;
}

} // namespace

class TestDevsimRtu : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void answersTheStationsPoll();
    void badCrcGetsNoAnswerButTheNextRequestDoes();
    void truncatedFrameDoesNotStopTheServer();
    void otherSlaveIsIgnored();
    void writesAreEchoedAndCommitted();

private:
    std::unique_ptr<PtyPair> pty_;
    std::unique_ptr<DevsimProcess> devsim_;
    std::unique_ptr<RawPort> port_;
};

void TestDevsimRtu::init()
{
    pty_ = std::make_unique<PtyPair>();
    QVERIFY(pty_->ready());
    devsim_ = std::make_unique<DevsimProcess>(QStringList{"--rtu", pty_->deviceSide(), "--id", "1"},
                                              "serving RTU");
    QVERIFY(devsim_->isReady());
    port_ = std::make_unique<RawPort>(pty_->testSide());
    QVERIFY(port_->isOpen());
}

void TestDevsimRtu::cleanup()
{
    port_.reset();
    devsim_.reset();
    pty_.reset();
}

void TestDevsimRtu::answersTheStationsPoll()
{
    QVERIFY(port_->send(QByteArray::fromHex("010300630065"
                                            "75FF")));
    const QByteArray answer = port_->receive(207, 2000);
    QCOMPARE(answer.size(), 207);
    QCOMPARE(quint8(answer[0]), quint8(1));
    QCOMPARE(quint8(answer[1]), quint8(3));
    QCOMPARE(quint8(answer[2]), quint8(202));
    QVERIFY(crcHolds(answer));
    QCOMPARE(bigWord(answer, 3 + 2 * 99), quint16(2095));
}

void TestDevsimRtu::badCrcGetsNoAnswerButTheNextRequestDoes()
{
    QVERIFY(port_->send(QByteArray::fromHex("010300630065"
                                            "7500")));
    QVERIFY(port_->receive(1, 400).isEmpty());
    QVERIFY(port_->send(QByteArray::fromHex("010300630065"
                                            "75FF")));
    QCOMPARE(port_->receive(207, 2000).size(), 207);
}

void TestDevsimRtu::truncatedFrameDoesNotStopTheServer()
{
    QVERIFY(port_->send(QByteArray::fromHex("010300")));
    QVERIFY(port_->receive(1, 700).isEmpty()); // longer than the byte time-out
    QVERIFY(port_->send(QByteArray::fromHex("010300630065"
                                            "75FF")));
    QCOMPARE(port_->receive(207, 2000).size(), 207);
}

void TestDevsimRtu::otherSlaveIsIgnored()
{
    QVERIFY(port_->send(withCrc(QByteArray::fromHex("020300630065"))));
    QVERIFY(port_->receive(1, 400).isEmpty());
}

void TestDevsimRtu::writesAreEchoedAndCommitted()
{
    // Alarm outputs on: the frame the station sends, answered by its 8-byte echo.
    const QByteArray alarmOn = QByteArray::fromHex("010600760003"
                                                   "2811");
    QVERIFY(port_->send(alarmOn));
    QCOMPARE(port_->receive(8, 2000), alarmOn);

    // The clock the serial way: six single writes, then the commit code.
    const quint16 clock[6] = {2031, 2, 3, 4, 5, 6};
    for (int i = 0; i < 6; ++i) {
        QByteArray w =
            withCrc(QByteArray::fromHex("0106") + QByteArray(1, 0) + QByteArray(1, char(152 + i)) +
                    QByteArray(1, char(clock[i] >> 8)) + QByteArray(1, char(clock[i] & 0xFF)));
        QVERIFY(port_->send(w));
        QCOMPARE(port_->receive(8, 2000), w);
    }
    const QByteArray commit = withCrc(QByteArray::fromHex("01060070"
                                                          "0008"));
    QVERIFY(port_->send(commit));
    QCOMPARE(port_->receive(8, 2000), commit);
    QVERIFY(port_->send(withCrc(QByteArray::fromHex("010300920005"))));
    const QByteArray time = port_->receive(15, 2000);
    QCOMPARE(time.size(), 15);
    for (int i = 0; i < 5; ++i)
        QCOMPARE(bigWord(time, 3 + 2 * i), clock[i]);
}

QTEST_GUILESS_MAIN(TestDevsimRtu)
#include "tst_devsim_rtu.moc"
