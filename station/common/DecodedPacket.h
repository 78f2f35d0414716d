#pragma once

#include <vector>

// One packet from the device as numbers: what the decoder hands on to the sample ring, the
// charts, the manual recording and the peak values. The live fields get their texts from the
// same words, so a sample never travels as text.
struct DecodedPacket {
    enum class Source {
        Stream,         // a stream packet: its header words and 100 samples
        TcpResponse,    // a register response on the client link: one sample
        SerialResponse, // a register response on the serial link: one sample
    };
    struct Sample {
        double a = 0, b = 0, c = 0; // acceleration [gal]
        double pd = 0;              // [cm]
        double displacement = 0;    // [cm]
    };

    Source source = Source::Stream;
    std::vector<int> words; // the stream header's words, or the response's registers from 99 on
    std::vector<Sample> samples;

    bool isStream() const { return source == Source::Stream; }
    // The serial link feeds no manual recording.
    bool feedsManualRecording() const { return source != Source::SerialResponse; }
};
