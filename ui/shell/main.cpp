// tarvik-ui: the configuration and monitoring program of the Tarvik module.
#include "ui/shell/process_lifetime.h"

int main(int argc, char** argv) {
    CProcessLifetime process(argc, argv);
    if (process.Finished()) return process.ExitCode();
    return process.Run();
}
