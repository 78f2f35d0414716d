#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The devices allowed on the server link: addresses and networks (CIDR) from the
// `AllowedPeers` key of vorsa.ini's [ServerLink] section, comma separated. No entries: any
// host may connect. An entry that is no address or network admits nobody, so a typing error
// never opens the link to everyone.
class PeerAllowList
{
public:
    static PeerAllowList parse(const QString &text);

    bool isOpen() const { return entries_.isEmpty() && invalid_.isEmpty(); }
    bool allows(const QHostAddress &peer) const;
    // The entries that were not understood, as written.
    QStringList invalidEntries() const { return invalid_; }

private:
    QList<QPair<QHostAddress, int>> entries_;
    QStringList invalid_;
};

// An IPv4 peer as IPv4, even when a dual-stack listener reports it as ::ffff:a.b.c.d.
QHostAddress plainPeerAddress(const QHostAddress &peer);
// "192.168.1.50:4001", "[fe80::1]:4001".
QString peerText(const QHostAddress &address, quint16 port);
