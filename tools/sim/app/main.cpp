// tolvane-sim: plays the counting machine on the other end of the panel's link.

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "Options.h"
#include "Script.h"
#include "SerialLink.h"
#include "Simulator.h"
#include "UdpLink.h"
#include "os/StopSignals.h"

namespace {

int usageError(const std::string& message) {
    std::fprintf(stderr, "tolvane-sim: %s\n(tolvane-sim --help lists the options)\n",
                 message.c_str());
    return 2;
}

bool readScript(const std::string& path, std::vector<sim::ScriptStep>& steps, std::string& error) {
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot read " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream text;
    text << file.rdbuf();
    steps = sim::parseScript(text.str(), error);
    if (!error.empty()) {
        error = path + ", " + error;
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const sim::ParsedOptions parsed = sim::parseOptions({argv + 1, argv + argc});
    if (!parsed.error.empty()) {
        return usageError(parsed.error);
    }
    const sim::Options& options = parsed.options;
    if (options.help) {
        std::fputs(sim::usageText().c_str(), stdout);
        return 0;
    }
    std::vector<sim::ScriptStep> script;
    std::string error;
    if (options.mode == sim::Mode::Script && !readScript(options.scriptFile, script, error)) {
        return usageError(error);
    }

    // The signals are taken over before the link exists, so that the link to
    // the ports folder is removed however the simulator is stopped.
    const StopSignals stopSignals;
    signal(SIGPIPE, SIG_IGN);
    if (stopSignals.fd() < 0) {
        std::fprintf(stderr, "tolvane-sim: cannot take over the stop signals: %s\n",
                     std::strerror(stopSignals.error()));
        return 1;
    }

    std::unique_ptr<Link> link;
    if (options.link == sim::LinkKind::Udp) {
        link = UdpLink::open(options.target, options.localPort, error);
    } else {
        link = SerialLink::open(options.comName, error);
    }
    if (!link) {
        std::fprintf(stderr, "tolvane-sim: %s\n", error.c_str());
        return 1;
    }
    const int status = Simulator(options, *link, stopSignals.fd(), std::move(script)).run();
    link.reset();
    return status;
}
