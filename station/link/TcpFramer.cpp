#include "TcpFramer.h"

namespace
{

quint8 byteAt(const QByteArray &bytes, int i)
{
    return quint8(bytes[i]);
}

bool isModbusHeadPrefix(const QByteArray &bytes)
{
    for (int i = 0; i < qMin(4, int(bytes.size())); ++i)
        if (byteAt(bytes, i) != 0)
            return false;
    return true;
}

bool isStreamHeadPrefix(const QByteArray &bytes)
{
    return byteAt(bytes, 0) == 1 && (bytes.size() < 3 || byteAt(bytes, 2) <= 8);
}

} // namespace

bool TcpFramer::isStreamHead(const QByteArray &bytes, int at)
{
    return at >= 0 && at + HeadLength <= bytes.size() && byteAt(bytes, at) == 1 &&
           byteAt(bytes, at + 2) <= 8 && byteAt(bytes, at + 5) == 7;
}

int TcpFramer::packetLength(const QByteArray &bytes, int at, const Expected &expected)
{
    if (at + HeadLength > bytes.size())
        return 0;
    if (expected.streamPackets && isStreamHead(bytes, at))
        return StreamLength;
    if (!isModbusHeadPrefix(bytes.mid(at, 4)))
        return 0;
    const int length = HeadLength + byteAt(bytes, at + 4) * 256 + byteAt(bytes, at + 5);
    return length == EchoLength ||
                   (expected.responseLength > 0 && length == expected.responseLength)
               ? length
               : 0;
}

bool TcpFramer::isHeadPrefix(const QByteArray &bytes, const Expected &expected)
{
    return !bytes.isEmpty() && bytes.size() < HeadLength &&
           (isModbusHeadPrefix(bytes) || (expected.streamPackets && isStreamHeadPrefix(bytes)));
}

std::optional<TcpFramer::Cut> TcpFramer::frame(const QByteArray &bytes, const Expected &expected)
{
    if (isHeadPrefix(bytes, expected))
        return Cut{{}, bytes};
    Cut cut;
    int at = 0;
    while (at < bytes.size()) {
        // The next stream packet may have begun with only a few bytes behind this one.
        if (expected.streamPackets && bytes.size() - at < HeadLength &&
            isStreamHeadPrefix(bytes.mid(at))) {
            cut.rest = bytes.mid(at);
            break;
        }
        const int length = packetLength(bytes, at, expected);
        // Bytes that begin with packet type 1 are taken from there, never as a lead-in.
        if (length == 0 && expected.leadIn && byteAt(bytes, at) != 1 &&
            isStreamHead(bytes, at + LeadInLength)) {
            at += LeadInLength;
            continue;
        }
        if (length == 0)
            return std::nullopt;
        if (at + length > bytes.size()) {
            cut.rest = bytes.mid(at);
            break;
        }
        cut.packets << bytes.mid(at, length);
        at += length;
    }
    return cut;
}

QList<QByteArray> TcpFramer::take(const QByteArray &read, const Expected &expected, qint64 nowMs)
{
    if (nowMs - lastReadMs_ > StaleAfterMs)
        held_.clear();
    lastReadMs_ = nowMs;
    std::optional<Cut> cut;
    if (!held_.isEmpty())
        cut = frame(held_ + read, expected);
    if (!cut)
        cut = frame(read, expected);
    if (!cut) {
        held_.clear();
        return {read};
    }
    held_ = cut->rest;
    return cut->packets;
}
