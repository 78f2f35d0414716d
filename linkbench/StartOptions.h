#pragma once

#include <QString>
#include <optional>

class LinkBench;
class QCommandLineParser;

// Command-line options that fill the form's fields and press its buttons at start.
struct StartOptions {
    std::optional<QString> listenPort;
    std::optional<QString> connectHost;
    std::optional<QString> connectPort;
    bool ascii = false;
    bool forward = false;
    std::optional<QString> sendText;
    std::optional<QString> everyMs;
};

void addStartOptions(QCommandLineParser &parser);

// The options given, or a message saying which one is wrong.
struct StartOptionsResult {
    StartOptions options;
    QString error;
};
StartOptionsResult readStartOptions(const QCommandLineParser &parser);

// Fills the fields and starts listening and linking. Sending waits for the client link:
// once it is up, the send text goes out once, or periodically with an interval.
void applyStartOptions(LinkBench &bench, const StartOptions &options);
