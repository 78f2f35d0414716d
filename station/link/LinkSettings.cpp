#include "LinkSettings.h"

std::optional<LinkKind> linkKindFromName(const QString &name)
{
    if (name == QLatin1String("rtu"))
        return LinkKind::Rtu;
    if (name == QLatin1String("tcp"))
        return LinkKind::TcpClient;
    if (name == QLatin1String("server"))
        return LinkKind::TcpServer;
    return std::nullopt;
}
