#pragma once

#include <QObject>
#include <QStringList>

// The record folder (`Dir1`) and its list of "*.csv" files (`File1`), sorted by name.
class RecordFolder : public QObject
{
    Q_OBJECT
public:
    explicit RecordFolder(QObject *parent = nullptr) : QObject(parent) {}

    QString path() const { return path_; }
    // A change of folder re-reads the list and emits `folderChanged`.
    void setPath(const QString &path);

    QStringList files() const { return files_; }
    // Re-reads the list; the selected file stays selected while it is still there.
    void refresh();

    int selectedIndex() const { return selected_; }
    QString selectedFile() const;
    QString selectedPath() const;
    // Selecting an entry emits `selected` (the history view loads it); -1 selects nothing.
    void select(int index);
    void selectLast() { select(int(files_.size()) - 1); }

signals:
    void folderChanged();
    void listChanged();
    void selected();

private:
    QString path_;
    QStringList files_;
    int selected_ = -1;
};
