#include "CivilTime.h"
#include "Device.h"
#include "Options.h"
#include "Scenario.h"
#include "Server.h"

#include <csignal>
#include <iostream>

namespace
{

volatile std::sig_atomic_t stopRequested = 0;

void requestStop(int)
{
    stopRequested = 1;
}

void installSignals()
{
    struct sigaction action {
    };
    action.sa_handler = requestStop;
    sigemptyset(&action.sa_mask);
    action.sa_flags = 0; // no SA_RESTART: poll() must return so the loop sees the request
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN); // a peer that went away shows as a failed write instead
}

void announce(const devsim::Options &options, const devsim::Server &server)
{
    if (options.tcp)
        std::cout << "listening on " << server.tcpPort() << "\n";
    if (!options.rtuDevice.empty())
        std::cout << "serving RTU slave " << options.slaveId << " on " << options.rtuDevice << "\n";
    if (!options.dialHost.empty())
        std::cout << "dialling " << options.dialHost << ":" << options.dialPort << "\n";
    std::cout.flush();
}

} // namespace

int main(int argc, char **argv)
{
    devsim::Options options;
    std::string error;
    if (!devsim::parseOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "vorsa-devsim: " << error << "\n\n" << devsim::usage();
        return 2;
    }
    if (options.help) {
        std::cout << devsim::usage();
        return 0;
    }
    if (options.version) {
        std::cout << "vorsa-devsim " << PROJECT_VERSION << "\n";
        return 0;
    }
    devsim::Scenario scenario;
    if (!devsim::makeScenario(options.scenario, options.repeat, scenario, error)) {
        std::cerr << "vorsa-devsim: " << error << "\n";
        return 2;
    }
    const devsim::DeviceConfig config{options.firmware, options.serialNumber, options.slaveId,
                                      options.seed};
    devsim::Device device(config, std::move(scenario), devsim::localNowSeconds());
    devsim::Server server(device, options);
    installSignals();
    if (!server.start(error)) {
        std::cerr << "vorsa-devsim: " << error << "\n";
        return 1;
    }
    announce(options, server);
    server.run(stopRequested);
    return 0;
}
