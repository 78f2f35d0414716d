#pragma once

#include "FakeLinks.h"
#include "Fakes.h"
#include "common/ProgramFolder.h"
#include "common/Readout.h"
#include "link/LinkManager.h"
#include "link/LinkStatus.h"

#include <QTemporaryDir>
#include <functional>
#include <utility>

// A waiter whose next pause runs something, as a timer or a receive handler would inside it.
class ReentrantWaiter : public FakeWaiter
{
public:
    void pause(int ms) override
    {
        FakeWaiter::pause(ms);
        if (auto during = std::exchange(duringPause, nullptr))
            during();
    }
    std::function<void()> duringPause;
};

// The link manager on its own collaborators: the live fields and status line as the station
// starts them, the link settings and status, fake serial, client and server links, a waiter that
// never sleeps, a standing clock and a program folder in a temporary directory. What it hands to
// the event log is kept in `logged`.
struct LinkRig {
    LinkRig()
    {
        QObject::connect(&manager, &LinkManager::eventLogDue, &manager,
                         [this](const QString &message) { logged << message; });
    }
    // The settings as they stand with `kind` selected.
    LinkSettings settingsFor(LinkKind kind) const
    {
        LinkSettings wanted = settings;
        wanted.kind = kind;
        return wanted;
    }
    // The page shows `kind` while no link is opened.
    void select(LinkKind kind) { manager.followPage(settingsFor(kind)); }
    PollState &poll() { return manager.pollState(); }

    QTemporaryDir dir;
    ProgramFolder folder{dir.path()};
    Readout readout;
    LiveFields &fields = readout.liveFields;
    LinkSettings settings;
    LinkStatus status;
    FakeLinks links;
    ReentrantWaiter waiter;
    FakeClock clock;
    LinkManager manager{fields,       readout.statusLine, settings, status, links.serial,
                        links.client, links.server,       waiter,   clock,  folder};
    QStringList logged;
};
