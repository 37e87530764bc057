// Exchanges per second and latency percentiles of a 3-float get (object 0x37)
// through CObjectAccess over a pty: against tarvik-sim (paced and --no-pace)
// and against a bare echo thread that answers every 13-byte request with a
// 21-byte reply at once (also with a session being recorded, and with the
// UDP feed on top); and the read-out time of a 990-value probe block.
#include "app/session_recorder.h"
#include "app/udp_feed.h"
#include "device/object_access.h"
#include "device/serial_com.h"
#include "tests/support/child_process.h"

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void ReportLatencies(benchmark::State& state, std::vector<double>& us, int64_t failures) {
    if (us.empty()) return;
    std::sort(us.begin(), us.end());
    state.counters["p50_us"] = us[us.size() / 2];
    state.counters["p99_us"] = us[std::min(us.size() - 1, us.size() * 99 / 100)];
    state.counters["failed"] = static_cast<double>(failures);
    state.counters["exchanges_per_s"] =
        benchmark::Counter(static_cast<double>(us.size()), benchmark::Counter::kIsRate);
}

// One simulator per benchmark run, on a link in a temporary folder.
struct SimLink {
    CTempDir dir;
    CSimProcess sim;
    std::unique_ptr<CSerialCOM> port;
    std::unique_ptr<CObjectAccess> access;
    bool Start(const std::vector<std::string>& extra, std::string* error) {
        if (std::getenv("TARVIK_BIN_DIR") == nullptr) setenv("TARVIK_BIN_DIR", TARVIK_BIN_DIR_DEFAULT, 1);
        if (!sim.Start(dir.File("tty"), extra)) {
            *error = sim.Error();
            return false;
        }
        port = std::make_unique<CSerialCOM>(dir.File("tty").c_str(), 115200);
        if (!port->Open()) {
            *error = "cannot open the simulator's link";
            return false;
        }
        access = std::make_unique<CObjectAccess>(port.get(), 100, 1);
        return true;
    }
};

void RunGets(benchmark::State& state, CObjectAccess& access) {
    std::vector<double> us;
    int64_t failures = 0;
    for (auto _ : state) {
        float euler[3];
        auto start = Clock::now();
        bool ok = access.GetObjectXXX(OBJ_FLOAT32, 0x37, 0, euler, 3);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        if (!ok) {
            ++failures;
            // Wait out the back-off so one miss does not fail a second of calls.
            if (access.NoReplyTime() || access.FaultTime()) std::this_thread::sleep_for(std::chrono::milliseconds(1010));
        }
        benchmark::DoNotOptimize(euler);
    }
    ReportLatencies(state, us, failures);
}

void BM_SimGetEuler(benchmark::State& state) {
    SimLink link;
    std::string error;
    std::vector<std::string> args;
    if (state.range(0) == 0) args.push_back("--no-pace");
    if (!link.Start(args, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    RunGets(state, *link.access);
}
BENCHMARK(BM_SimGetEuler)->Arg(1)->Arg(0)->ArgName("paced")->Iterations(2000)->UseRealTime()->Unit(benchmark::kMicrosecond);

// The floor: the same 13 bytes out and a 21-byte reply back through a pty,
// with a thread that answers as fast as it can. Arg 1: a session recorder
// listens (queue + writer thread into a file); arg 2: the UDP feed as well
// (to a local port nobody reads).
void BM_PtyEcho(benchmark::State& state) {
    int master = -1, slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        state.SkipWithError("openpty failed");
        return;
    }
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    tcsetattr(slave, TCSANOW, &raw);
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        uint8_t request[13];
        size_t have = 0;
        while (!stop.load()) {
            pollfd fd = {master, POLLIN, 0};
            if (poll(&fd, 1, 20) <= 0) continue;
            ssize_t n = read(master, request + have, sizeof request - have);
            if (n <= 0) continue;
            have += static_cast<size_t>(n);
            if (have < sizeof request) continue;
            have = 0;
            // A get reply with three float elements: 02 11 id 4C idx sub data*12 sum 03.
            uint8_t reply[21] = {0x02, 17, request[2], 0x4C, request[4], request[5], request[6]};
            float values[3] = {1.5f, -2.25f, 90.0f};
            std::memcpy(reply + 7, values, sizeof values);
            uint8_t sum = 0;
            for (int i = 2; i < 19; ++i) sum = static_cast<uint8_t>(sum + reply[i]);
            reply[19] = sum;
            reply[20] = 0x03;
            if (write(master, reply, sizeof reply) != static_cast<ssize_t>(sizeof reply)) continue;
        }
    });
    {
        CSerialCOM port(name, 115200);
        if (!port.Open()) {
            state.SkipWithError("cannot open the pty");
        } else {
            CObjectAccess access(&port, 100, 1);
            CTempDir dir;
            CSessionRecorder recorder;
            CUdpFeed udp;
            std::string error;
            if (state.range(0) >= 1) {
                if (!recorder.Start(dir.File("bench.jsonl"), SessionHeader{}, &error)) state.SkipWithError(error.c_str());
                access.AddObserver(&recorder);
            }
            if (state.range(0) >= 2) {
                if (!udp.Open("127.0.0.1:9", &error)) state.SkipWithError(error.c_str());
                access.AddObserver(&udp);
            }
            RunGets(state, access);
            access.RemoveObserver(&recorder);
            access.RemoveObserver(&udp);
            recorder.Stop();
        }
    }
    stop = true;
    echo.join();
    close(slave);
    close(master);
}
BENCHMARK(BM_PtyEcho)->Arg(0)->Arg(1)->Arg(2)->ArgName("observers")->Iterations(5000)->UseRealTime()->Unit(benchmark::kMicrosecond);

// What one report costs the exchange path: the observer call alone, for a
// 3-float get (arg 0: the recorder's queue; arg 1: the UDP feed's datagram).
void BM_ObserverReport(benchmark::State& state) {
    CTempDir dir;
    CSessionRecorder recorder;
    CUdpFeed udp;
    std::string error;
    IExchangeObserver* observer = &recorder;
    if (state.range(0) == 0 && !recorder.Start(dir.File("bench.jsonl"), SessionHeader{}, &error))
        state.SkipWithError(error.c_str());
    if (state.range(0) == 1) {
        if (!udp.Open("127.0.0.1:9", &error)) state.SkipWithError(error.c_str());
        observer = &udp;
    }
    const double euler[3] = {1.5, -2.25, 90.0};
    ExchangeReport report;
    report.type = OBJ_FLOAT32;
    report.index = 0x37;
    report.values = euler;
    report.valueCount = 3;
    for (auto _ : state) observer->OnExchange(report);
    recorder.Stop();
}
BENCHMARK(BM_ObserverReport)->Arg(0)->Arg(1)->ArgName("udp")->Unit(benchmark::kNanosecond);

// Read-out of a 990-value spectrum block: 31 gets of up to 32 int32 values
// from objects 0x28..0x2b, timed from the first run to the last.
void BM_ProbeReadout(benchmark::State& state) {
    SimLink link;
    std::string error;
    if (!link.Start({"--no-pace"}, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    CObjectAccess& a = *link.access;
    std::vector<double> us;
    int64_t failures = 0;
    std::vector<int32_t> block(990);
    for (auto _ : state) {
        state.PauseTiming();
        int32_t delay = 1, command = 1007, status = 0;
        a.SetObjectXXX(OBJ_INT32, 0x07, &delay);
        a.SetObjectXXX(OBJ_INT32, 0x06, &command);
        auto waitStart = Clock::now();
        while (Clock::now() - waitStart < std::chrono::seconds(30)) {
            if (a.GetObjectXXX(OBJ_INT32, 0x05, 0, &status, 1) && (status & 0x1000)) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        state.ResumeTiming();
        auto start = Clock::now();
        for (int32_t n = 0; n < 990;) {
            int32_t run = std::min<int32_t>(32, 990 - n);
            if (!a.GetObjectXXX(OBJ_INT32, 0x28 + n / 256, static_cast<uint8_t>(n % 256), &block[n], run)) ++failures;
            n += run;
        }
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        state.PauseTiming();
        int32_t end = 1000;
        a.SetObjectXXX(OBJ_INT32, 0x06, &end);
        state.ResumeTiming();
    }
    ReportLatencies(state, us, failures);
}
BENCHMARK(BM_ProbeReadout)->Iterations(20)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
