#include "RecordFolder.h"

#include <QDir>

void RecordFolder::setPath(const QString &path)
{
    const QString clean = QDir::cleanPath(path);
    if (clean == path_)
        return;
    path_ = clean;
    selected_ = -1;
    refresh();
    emit folderChanged();
}

void RecordFolder::refresh()
{
    QDir dir(path_);
    dir.setNameFilters({QStringLiteral("*.csv")});
    dir.setFilter(QDir::Files);
    dir.setSorting(QDir::Name | QDir::IgnoreCase);
    const QString kept = selectedFile();
    files_ = path_.isEmpty() ? QStringList() : dir.entryList();
    selected_ = kept.isEmpty() ? -1 : int(files_.indexOf(kept));
    emit listChanged();
}

QString RecordFolder::selectedFile() const
{
    return selected_ >= 0 && selected_ < files_.size() ? files_[selected_] : QString();
}

QString RecordFolder::selectedPath() const
{
    const QString name = selectedFile();
    return name.isEmpty() ? QString() : QDir(path_).filePath(name);
}

void RecordFolder::select(int index)
{
    if (index < 0 || index >= files_.size()) {
        selected_ = -1;
        emit listChanged();
        return;
    }
    selected_ = index;
    emit selected();
}
