#include "tests/e2e/sim_session.h"

#include "device/connection.h"

#include <QCoreApplication>
#include <QElapsedTimer>

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    do QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    while (t.elapsed() < ms);
}

bool StartSimAndConnect(CSimProcess& sim, const std::string& link, const std::string& log,
                        const std::vector<std::string>& extra, int32_t timeoutMs, int32_t baud, double startS) {
    std::vector<std::string> args = {"--log", log};
    args.insert(args.end(), extra.begin(), extra.end());
    return sim.Start(link, args, startS) && ConnectDevice(link.c_str(), baud, timeoutMs, 1, nullptr);
}
