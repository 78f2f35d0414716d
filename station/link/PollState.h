#pragma once

#include <QtGlobal>
#include <optional>

// The conversation with the device on the open link: the address it answers to, what the poll
// reads, the request/answer handshake and the counts the rate tick takes each second. The
// link manager owns it; the poll, the decoder and the register writes share it.
struct PollState {
    static constexpr int DefaultPollRegisters = 101;

    // The number of registers a firmware version answers with; none: the length stays.
    static std::optional<int> pollRegistersForFirmware(double version);

    // The device reported its firmware version: the next poll reads what it answers with.
    void followFirmware(double version);
    int pollBytes() const { return 2 * pollRegisters; }

    quint8 unitAddress = 1; // the serial link's slave address; 1 on the TCP links
    // Record mode as the link was opened: the device streams its samples to the client link.
    bool recordMode = false;
    int pollRegisters = DefaultPollRegisters; // read by each poll from register 99 on

    // A request or write is out and nothing has arrived since.
    bool awaitingReply = false;
    // A device command sends its writes: what arrives meanwhile is not decoded.
    bool commandInProgress = false;
    // A poll answer was dropped for a command: the reads that follow answers stopped with it.
    bool pollAnswerDropped = false;
    // An answer arrived since the rate tick last found the link silent: the poll need not ask.
    bool serialAnswerSeen = false;
    bool clientAnswerSeen = false;

    // Counted since the last rate tick.
    int serialAnswers = 0;
    qint64 clientAnswers = 0;
    int streamPackets = 0; // stream packets decoded on the client link

    int serverIdleSeconds = 0;    // since the server link's device last showed it is there
    int streamQuietTicks = 0;     // due Record-mode ticks since the last stream packet, at most 3
    bool streamRequested = false; // the client link asked the device to stream
    // The device pages asked for the registers: a one-off read is out on a streaming link, or
    // the next poll answer on a polling one brings them.
    bool settingsReadPending = false;
};
