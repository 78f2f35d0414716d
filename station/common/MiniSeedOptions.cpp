#include "MiniSeedOptions.h"

#include <QRegularExpression>
#include <QSettings>

namespace
{

const QString Group = QStringLiteral("miniseed/");
const char *const ChannelKeys[] = {"channelA", "channelB", "channelC"};
constexpr int Axes = 3;

bool isSeedCode(const QString &code, int minLength, int maxLength)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Z0-9]*$"));
    return code.size() >= minLength && code.size() <= maxLength && allowed.match(code).hasMatch();
}

} // namespace

MiniSeedOptions MiniSeedOptions::read(const QSettings &settings)
{
    MiniSeedOptions options;
    auto code = [&settings](const char *key, const QString &fallback) {
        return settings.value(Group + QLatin1String(key), fallback).toString().trimmed().toUpper();
    };
    options.network = code("network", options.network);
    options.location = code("location", options.location);
    for (int axis = 0; axis < Axes; ++axis)
        options.channels[axis] = code(ChannelKeys[axis], options.channels[axis]);
    options.station = code("station", options.station);
    options.exportEventFiles =
        settings.value(Group + QStringLiteral("exportEventFiles"), false).toBool();
    return options;
}

void MiniSeedOptions::addMissingKeys(QSettings &settings)
{
    const MiniSeedOptions defaults;
    auto add = [&settings](const char *key, const QVariant &value) {
        if (!settings.contains(Group + QLatin1String(key)))
            settings.setValue(Group + QLatin1String(key), value);
    };
    add("network", defaults.network);
    add("location", defaults.location);
    for (int axis = 0; axis < Axes; ++axis)
        add(ChannelKeys[axis], defaults.channels[axis]);
    add("station", defaults.station);
    add("exportEventFiles", defaults.exportEventFiles);
}

QString MiniSeedOptions::problem() const
{
    if (!isSeedCode(network, 1, 2))
        return QStringLiteral("network code \"%1\" is not 1 or 2 letters or digits").arg(network);
    if (!isSeedCode(location, 0, 2))
        return QStringLiteral("location code \"%1\" is not up to 2 letters or digits")
            .arg(location);
    for (const QString &channel : channels) {
        if (!isSeedCode(channel, 3, 3))
            return QStringLiteral("channel code \"%1\" is not 3 letters or digits").arg(channel);
    }
    if (stationCode(station).isEmpty())
        return QStringLiteral("station code \"%1\" holds no letter or digit").arg(station);
    return {};
}

QString MiniSeedOptions::stationCode(const QString &text)
{
    QString code;
    for (QChar ch : text.toUpper()) {
        if ((ch >= QLatin1Char('A') && ch <= QLatin1Char('Z')) ||
            (ch >= QLatin1Char('0') && ch <= QLatin1Char('9')))
            code += ch;
    }
    return code.right(5);
}
