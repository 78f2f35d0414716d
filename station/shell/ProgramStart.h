#pragma once

#include <QObject>
#include <functional>
#include <optional>

class DemoDevice;
struct CommandLine;

// Start-up steps that the window and the headless program share.
namespace ProgramStart
{

// SIGTERM and SIGINT arrive through a socket pair on the station's thread, where `finish` can
// end the recordings before the program quits, as "&Exit" does.
void onTerminationRequest(QObject *context, const std::function<void()> &finish);

// Starts the demo's simulated device and points the command line at it (TCP client on
// loopback); false, with the reason on standard error, when it cannot start.
bool startDemo(DemoDevice &demo, CommandLine &cl);

// --help, --version or an unusable command line: prints the answer and gives the exit code;
// nothing when the program should start. `versionSuffix` tells the two programs apart.
std::optional<int> answerWithoutStarting(const CommandLine &cl, const char *versionSuffix);

} // namespace ProgramStart
