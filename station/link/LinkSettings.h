#pragma once

#include <QString>
#include <optional>

// The three link kinds of the connection page.
enum class LinkKind { Rtu, TcpClient, TcpServer };
// "rtu", "tcp" or "server"; no value for anything else.
std::optional<LinkKind> linkKindFromName(const QString &name);

// Where the device link goes.
struct LinkSettings {
    static constexpr quint16 DefaultServerPort = 502;

    LinkKind kind = LinkKind::TcpClient;
    QString host;                           // the device's address for the client link
    QString port;                           // the client link's TCP port, as typed
    QString serialPort;                     // a port name ready to open
    QString serialSettings;                 // "19200,N,8,1"
    quint8 unitAddress = 1;                 // the serial link's slave address
    quint16 serverPort = DefaultServerPort; // where the server link listens
    // Record mode as chosen: the client link asks the device to stream. The shell keeps it in
    // step with the recording settings; a link takes it when it is opened.
    bool recordMode = false;
};
