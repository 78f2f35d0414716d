#include "SerialPortName.h"

#include "NumberText.h"
#include "ProgramFolder.h"

#include <QFileInfo>

QString resolveSerialPort(const QString &text, const ProgramFolder &folder)
{
    const QString trimmed = text.trimmed();
    qint64 number = 0;
    if (!NumberText::parseInteger(trimmed, &number) || number < 1)
        return trimmed;
    const QString link = folder.file(QStringLiteral("COM%1").arg(number));
    if (QFileInfo::exists(link))
        return QFileInfo(link).canonicalFilePath();
    return QStringLiteral("/dev/ttyS%1").arg(number - 1);
}
