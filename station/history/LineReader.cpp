#include "LineReader.h"

#include <QIODevice>

LineReader::LineReader(QIODevice &device) : device_(device), buffer_(MaxLineLength + 3, '\0') {}

bool LineReader::next(QString *line)
{
    const qint64 n = device_.readLine(buffer_.data(), buffer_.size());
    if (n <= 0)
        return false;
    qint64 length = n;
    if (buffer_[int(n - 1)] == '\n')
        --length;
    else if (n == buffer_.size() - 1)
        skipRestOfLine();
    if (length > 0 && buffer_[int(length - 1)] == '\r')
        --length;
    *line = QString::fromUtf8(buffer_.constData(), int(qMin<qint64>(length, MaxLineLength)));
    return true;
}

bool LineReader::atEnd() const
{
    return device_.atEnd();
}

void LineReader::skipRestOfLine()
{
    char scrap[4096];
    qint64 n = 0;
    while ((n = device_.readLine(scrap, sizeof scrap)) > 0 && scrap[n - 1] != '\n') {
    }
}
