#pragma once

#include <QByteArray>
#include <QList>
#include <optional>

// Cuts one TCP link's byte stream into the packets the station expects.
//
// The rule: a packet begins with a head the station knows and is as long as that head says.
//  - Modbus head (transaction 0, protocol 0) whose length field gives 12 bytes (a write's
//    echo) or `responseLength` bytes (the poll's response);
//  - stream head (byte 0 = 1, byte 2 <= 8, byte 5 = 7): 1200 bytes;
//  - with `leadIn`, bytes with no known head whose byte 200 begins a stream head are a
//    200-byte lead-in and are dropped.
// Bytes are cut into packets only when all of them frame that way; the last packet may be
// incomplete and is held until the rest arrives. Anything else (a head no rule knows, bytes
// behind a packet that begin no known head) is one packet as received, handled by the
// station's rules for odd packets. Held bytes that the next read does not continue are
// dropped and that read is judged alone. So a whole packet in one read is handled as
// before, a split one is decoded once, whole, and garbage never sticks: at most one
// incomplete packet (under 1200 bytes) is ever held.
class TcpFramer
{
public:
    static constexpr int EchoLength = 12;
    static constexpr int StreamLength = 1200;
    static constexpr int LeadInLength = 200;

    explicit TcpFramer(bool leadIn) : leadIn_(leadIn) {}

    // The packets complete with this read, oldest first.
    QList<QByteArray> take(const QByteArray &read, int responseLength);
    void clear() { held_.clear(); }
    int heldBytes() const { return int(held_.size()); }

    static bool isStreamHead(const QByteArray &bytes, int at);

private:
    struct Cut {
        QList<QByteArray> packets;
        QByteArray rest;
    };
    std::optional<Cut> frame(const QByteArray &bytes, int responseLength) const;
    // Length of the packet whose head is at `at`, 0 when no known head starts there.
    int packetLength(const QByteArray &bytes, int at, int responseLength) const;

    QByteArray held_;
    bool leadIn_;
};
