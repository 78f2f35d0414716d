#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

// Ways to make the writes into a program folder fail, and to end the failure again.
// - SizeLimit: a process file size limit just above the month's log, so that appends there come
//   back short and new files stop after a few bytes. Needs no privileges.
// - ReadOnly: a read-only mount (as root) or read-only permissions (as anyone else).
// - Full: a small tmpfs mounted on the folder and filled to the brim (root only).
// `available()` is false, with `why()`, when this machine does not allow the kind.
class WriteFailure
{
public:
    enum Kind { SizeLimit, ReadOnly, Full };

    WriteFailure(Kind kind, const QString &folder) : kind_(kind), folder_(folder)
    {
        const bool needsMount = kind == Full || (kind == ReadOnly && ::geteuid() == 0);
        if (!needsMount)
            return;
        if (::mount("tmpfs", qPrintable(folder), "tmpfs", 0, "size=2m") != 0) {
            why_ = QStringLiteral("cannot mount a tmpfs here: ") +
                   QString::fromLocal8Bit(strerror(errno));
            return;
        }
        mounted_ = true;
    }
    ~WriteFailure()
    {
        end();
        if (mounted_)
            ::umount2(qPrintable(folder_), MNT_DETACH);
    }
    WriteFailure(const WriteFailure &) = delete;
    WriteFailure &operator=(const WriteFailure &) = delete;

    bool available() const { return why_.isEmpty(); }
    QString why() const { return why_; }

    // `logFile` is the file that appends must fail on (the month's log).
    bool begin(const QString &logFile)
    {
        switch (kind_) {
        case SizeLimit:
            return limitFileSize(QFileInfo(logFile).size() + 10);
        case ReadOnly:
            readOnly_ = mounted_ ? remount(MS_RDONLY) : setWritable(false, logFile);
            readOnlyLog_ = logFile;
            return readOnly_;
        case Full:
            return fill();
        }
        return false;
    }

    void end()
    {
        if (limited_) {
            ::setrlimit(RLIMIT_FSIZE, &savedLimit_);
            limited_ = false;
        }
        if (readOnly_) {
            mounted_ ? remount(0) : setWritable(true, readOnlyLog_);
            readOnly_ = false;
        }
        if (!filler_.isEmpty()) {
            QFile::remove(filler_);
            filler_.clear();
        }
    }

private:
    bool limitFileSize(qint64 bytes)
    {
        std::signal(SIGXFSZ, SIG_IGN); // a write beyond the limit fails instead of ending us
        if (::getrlimit(RLIMIT_FSIZE, &savedLimit_) != 0)
            return false;
        rlimit limit = savedLimit_;
        limit.rlim_cur = rlim_t(bytes);
        limited_ = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
        return limited_;
    }

    bool remount(unsigned long flags)
    {
        return ::mount("tmpfs", qPrintable(folder_), "tmpfs", MS_REMOUNT | flags, "size=2m") == 0;
    }

    bool setWritable(bool writable, const QString &logFile)
    {
        const QFileDevice::Permissions dir =
            QFileDevice::ReadOwner | QFileDevice::ExeOwner |
            (writable ? QFileDevice::WriteOwner : QFileDevice::Permissions());
        const QFileDevice::Permissions file =
            QFileDevice::ReadOwner |
            (writable ? QFileDevice::WriteOwner : QFileDevice::Permissions());
        bool ok = QFile::setPermissions(logFile, file);
        QDirIterator dirs(folder_, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        while (dirs.hasNext())
            ok = QFile::setPermissions(dirs.next(), dir) && ok;
        return QFile::setPermissions(folder_, dir) && ok;
    }

    bool fill()
    {
        filler_ = QDir(folder_).filePath(QStringLiteral("filler"));
        QFile file(filler_);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return false;
        const QByteArray block(4096, 'x');
        while (file.write(block) == block.size()) {
        }
        return true;
    }

    Kind kind_;
    QString folder_;
    QString why_;
    bool mounted_ = false;
    bool limited_ = false;
    bool readOnly_ = false;
    QString readOnlyLog_;
    QString filler_;
    rlimit savedLimit_{};
};
