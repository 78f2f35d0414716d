#pragma once

#include "FakeLinks.h"
#include "Fakes.h"
#include "shell/Station.h"

#include <QTemporaryDir>
#include <memory>

// A station on a fresh program folder with every platform service faked; its device links
// are `links` unless the real serial port and sockets are asked for.
struct StationFixture {
    enum class LinkKind { Fake, Real };
    explicit StationFixture(LinkKind kind = LinkKind::Fake);

    QString home() const { return dir.path(); }
    QString file(const QString &name) const { return dir.filePath(name); }
    // Writes a file in the program folder (creating folders on the way).
    void writeFile(const QString &name, const QByteArray &bytes) const;
    QByteArray readFile(const QString &name) const;
    // Lines of this month's event log, as the fake clock names it.
    QStringList logLines() const;
    // Lines of the event log of `date`'s month in the program folder `home`.
    static QStringList logLinesIn(const QString &home, const QDate &date);
    // Points the TCP client link at `port` on 127.0.0.1.
    void useClientLinkTo(quint16 port);
    // Selects the server link on a free port of the real links; gives that port.
    quint16 useServerLinkOnFreePort();
    // For a test that drives the link ticks itself: the real one-second timers would race with it.
    void stopOneSecondTimers();

    QTemporaryDir dir;
    FakeClock clock;
    FakeWaiter waiter;
    RecordingSound sound;
    RecordingShell shell;
    ScriptedPrompter prompter;
    RecordingChart strip1{4};
    RecordingChart strip2{5};
    RecordingChart strip3{2};
    FakeLinks links;
    std::unique_ptr<Station> station;
};
