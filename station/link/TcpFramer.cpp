#include "TcpFramer.h"

namespace
{

constexpr int HeadLength = 6;

quint8 byteAt(const QByteArray &bytes, int i)
{
    return quint8(bytes[i]);
}

} // namespace

bool TcpFramer::isStreamHead(const QByteArray &bytes, int at)
{
    return at >= 0 && at + HeadLength <= bytes.size() && byteAt(bytes, at) == 1 &&
           byteAt(bytes, at + 2) <= 8 && byteAt(bytes, at + 5) == 7;
}

int TcpFramer::packetLength(const QByteArray &bytes, int at, int responseLength) const
{
    if (at + HeadLength > bytes.size())
        return 0;
    if (isStreamHead(bytes, at))
        return StreamLength;
    for (int i = 0; i < 4; ++i)
        if (byteAt(bytes, at + i) != 0)
            return 0;
    const int length = HeadLength + byteAt(bytes, at + 4) * 256 + byteAt(bytes, at + 5);
    return length == EchoLength || length == responseLength ? length : 0;
}

std::optional<TcpFramer::Cut> TcpFramer::frame(const QByteArray &bytes, int responseLength) const
{
    Cut cut;
    int at = 0;
    while (at < bytes.size()) {
        int length = packetLength(bytes, at, responseLength);
        if (length == 0 && leadIn_ && isStreamHead(bytes, at + LeadInLength)) {
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

QList<QByteArray> TcpFramer::take(const QByteArray &read, int responseLength)
{
    std::optional<Cut> cut;
    if (!held_.isEmpty())
        cut = frame(held_ + read, responseLength);
    if (!cut)
        cut = frame(read, responseLength);
    if (!cut) {
        held_.clear();
        return {read};
    }
    held_ = cut->rest;
    return cut->packets;
}
