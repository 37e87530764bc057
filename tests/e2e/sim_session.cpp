#include "tests/e2e/sim_session.h"

#include "device/connection.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <fstream>
#include <sstream>

void Pump(int ms) {
    QElapsedTimer t;
    t.start();
    do QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    while (t.elapsed() < ms);
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) out.push_back(l);
    return out;
}

bool StartSimAndConnect(CSimProcess& sim, const std::string& link, const std::string& log,
                        const std::vector<std::string>& extra, int32_t timeoutMs, int32_t baud, double startS) {
    std::vector<std::string> args = {"--log", log};
    args.insert(args.end(), extra.begin(), extra.end());
    return sim.Start(link, args, startS) && ConnectDevice(link.c_str(), baud, timeoutMs, 1, nullptr);
}
