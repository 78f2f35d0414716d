#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>

// What the targets share: one application object for the Qt parts that want it, and the
// fuzzer's bytes as a file where the code under test reads files.
namespace FuzzInput
{

inline void ensureApplication()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = {name, nullptr};
    static QCoreApplication *app =
        QCoreApplication::instance() ? nullptr : new QCoreApplication(argc, argv);
    Q_UNUSED(app);
}

inline QByteArray bytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), qsizetype(size));
}

// A file holding the bytes in a folder of its own, gone with the folder.
struct TempFile {
    TempFile(const QString &name, const QByteArray &content) : path(dir.filePath(name))
    {
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(content);
    }
    QTemporaryDir dir;
    QString path;
};

} // namespace FuzzInput
