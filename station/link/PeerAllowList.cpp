#include "PeerAllowList.h"

namespace
{

// A plain address is a network of its own full length; parseSubnet would guess a class.
QPair<QHostAddress, int> parseEntry(const QString &entry)
{
    if (entry.contains(QLatin1Char('/')))
        return QHostAddress::parseSubnet(entry);
    const QHostAddress address(entry);
    if (address.isNull())
        return {QHostAddress(), -1};
    return {address, address.protocol() == QAbstractSocket::IPv4Protocol ? 32 : 128};
}

} // namespace

PeerAllowList PeerAllowList::parse(const QString &text)
{
    PeerAllowList list;
    for (const QString &raw : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString entry = raw.trimmed();
        if (entry.isEmpty())
            continue;
        const QPair<QHostAddress, int> subnet = parseEntry(entry);
        if (subnet.first.isNull() || subnet.second < 0)
            list.invalid_ << entry;
        else
            list.entries_ << subnet;
    }
    return list;
}

bool PeerAllowList::allows(const QHostAddress &peer) const
{
    if (isOpen())
        return true;
    const QHostAddress plain = plainPeerAddress(peer);
    for (const auto &subnet : entries_)
        if (plain.isInSubnet(subnet))
            return true;
    return false;
}

QHostAddress plainPeerAddress(const QHostAddress &peer)
{
    bool isV4 = false;
    const quint32 v4 = peer.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4) : peer;
}

QString peerText(const QHostAddress &address, quint16 port)
{
    const QHostAddress plain = plainPeerAddress(address);
    const QString host = plain.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + plain.toString() + QLatin1Char(']')
                             : plain.toString();
    return host + QLatin1Char(':') + QString::number(port);
}
