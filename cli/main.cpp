// tarvik-cli: the device link without a window, for scripts and headless machines.
#include "cli/cli_commands.h"
#include "cli/cli_options.h"

#include <csignal>
#include <cstdio>

namespace {

void OnInterrupt(int) { RequestCliStop(); }

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    auto options = ParseCliOptions(argc, argv, &error);
    if (!options) {
        std::fprintf(stderr, "tarvik-cli: %s\n%s", error.c_str(), CliUsage());
        return 2;
    }
    if (options->help) {
        std::fputs(options->helpText.c_str(), stdout);
        return 0;
    }
    // SIGINT and SIGTERM end watch and stream cleanly (exit 0); no SA_RESTART,
    // so a blocking wait returns early.
    struct sigaction sa = {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    return RunCliCommand(*options);
}
