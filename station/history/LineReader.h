#pragma once

#include <QByteArray>
#include <QString>

class QIODevice;

// Reads a text file line by line, once, holding at most one line of bounded length, so that
// a file of any size or content (a binary file, a line of a million characters) costs little.
class LineReader
{
public:
    static constexpr int MaxLineLength = 4096;

    explicit LineReader(QIODevice &device);

    // The next line without its CR LF or LF; a longer line is cut to MaxLineLength
    // characters and its rest skipped. False at the end of the file.
    bool next(QString *line);
    bool atEnd() const;

private:
    void skipRestOfLine();

    QIODevice &device_;
    QByteArray buffer_;
};
