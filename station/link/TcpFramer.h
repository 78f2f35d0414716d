#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

// Cuts one TCP link's byte stream into the packets the station expects.
//
// The rule: a packet begins with a head the link expects and is as long as that head says.
//  - Modbus head (transaction 0, protocol 0) whose length field makes 12 bytes (a write's
//    echo) or, while responses are expected, `responseLength` bytes;
//  - while stream packets are expected, a stream head (byte 0 = 1, byte 2 <= 8, byte 5 = 7):
//    1200 bytes; with `leadIn`, bytes with no known head and no packet type 1 whose byte 200
//    begins a stream head are a 200-byte lead-in and are dropped.
// Bytes are cut into packets only when all of them frame that way; the last packet may be
// incomplete (or a read may hold only the first bytes of a head) and is held until the rest
// arrives. Anything else (a head the link does not expect, bytes behind a packet that begin
// no known head) is one packet as received, handled by the station's rules for odd packets.
// Held bytes are dropped when the next read does not continue them, or when it comes after a
// pause no packet has inside it; that read is then judged alone. So a whole packet in one read
// is handled as before, a split one is decoded once, whole, and garbage never sticks: at most
// one incomplete packet (under 1200 bytes) is ever held.
class TcpFramer
{
public:
    static constexpr int EchoLength = 12;
    static constexpr int StreamLength = 1200;
    static constexpr int LeadInLength = 200;
    static constexpr int HeadLength = 6;
    static constexpr qint64 StaleAfterMs = 500;

    struct Expected {
        int responseLength = 0; // 0: no Modbus responses expected
        bool streamPackets = false;
        bool leadIn = false;
    };

    // The packets complete with this read, oldest first; `nowMs` is a monotonic time.
    QList<QByteArray> take(const QByteArray &read, const Expected &expected, qint64 nowMs);
    void clear() { held_.clear(); }
    int heldBytes() const { return int(held_.size()); }

    static bool isStreamHead(const QByteArray &bytes, int at);

private:
    struct Cut {
        QList<QByteArray> packets;
        QByteArray rest;
    };
    static std::optional<Cut> frame(const QByteArray &bytes, const Expected &expected);
    // Length of the packet whose head is at `at`, 0 when no expected head starts there.
    static int packetLength(const QByteArray &bytes, int at, const Expected &expected);
    static bool isHeadPrefix(const QByteArray &bytes, const Expected &expected);

    QByteArray held_;
    qint64 lastReadMs_ = 0;
};
