#include "tests/support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<char*> ArgvOf(const std::vector<std::string>& argv) {
    std::vector<char*> v;
    for (const std::string& a : argv) v.push_back(const_cast<char*>(a.c_str()));
    v.push_back(nullptr);
    return v;
}

int StatusOf(int wstatus) {
    if (WIFEXITED(wstatus)) return WEXITSTATUS(wstatus);
    if (WIFSIGNALED(wstatus)) return 128 + WTERMSIG(wstatus);
    return -1;
}

}  // namespace

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

std::string BinDir() {
    const char* dir = std::getenv("TARVIK_BIN_DIR");
    return dir ? dir : "";
}

ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd, double timeoutS,
                         double interruptAfterS) {
    ProgramResult r;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0) return r;
    if (pipe(errPipe) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return r;
    }
    std::vector<char*> args = ArgvOf(argv);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        close(outPipe[1]);
        close(errPipe[1]);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        execv(args[0], args.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    if (pid < 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return r;
    }
    auto start = Clock::now();
    bool outOpen = true, errOpen = true, killed = false, interrupted = false;
    char buffer[4096];
    while (outOpen || errOpen) {
        pollfd fds[2] = {{outOpen ? outPipe[0] : -1, POLLIN, 0}, {errOpen ? errPipe[0] : -1, POLLIN, 0}};
        poll(fds, 2, 100);
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
            ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) (i == 0 ? r.out : r.err).append(buffer, static_cast<size_t>(n));
            else (i == 0 ? outOpen : errOpen) = false;
        }
        if (!interrupted && interruptAfterS >= 0 && SecondsSince(start) > interruptAfterS) {
            kill(pid, SIGINT);
            interrupted = true;
        }
        if (!killed && SecondsSince(start) > timeoutS) {
            kill(pid, SIGKILL);
            killed = true;
        }
    }
    close(outPipe[0]);
    close(errPipe[0]);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    r.status = StatusOf(wstatus);
    return r;
}

CSimProcess::~CSimProcess() { Stop(); }

bool CSimProcess::Start(const std::string& link, const std::vector<std::string>& extra, double timeoutS) {
    std::string program = BinDir() + "/tarvik-sim";
    if (access(program.c_str(), X_OK) != 0) {
        m_error = "tarvik-sim not built at " + program;
        return false;
    }
    std::vector<std::string> argv = {program, "--link", link};
    argv.insert(argv.end(), extra.begin(), extra.end());
    int outPipe[2];
    if (pipe(outPipe) != 0) return false;
    std::vector<char*> args = ArgvOf(argv);
    m_pid = fork();
    if (m_pid == 0) {
        dup2(outPipe[1], 1);
        close(outPipe[0]);
        close(outPipe[1]);
        execv(args[0], args.data());
        _exit(127);
    }
    close(outPipe[1]);
    m_stdout = outPipe[0];
    auto start = Clock::now();
    std::string seen;
    char buffer[512];
    while (SecondsSince(start) < timeoutS) {
        pollfd fd = {m_stdout, POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0) continue;
        ssize_t n = read(m_stdout, buffer, sizeof buffer);
        if (n <= 0) break;
        seen.append(buffer, static_cast<size_t>(n));
        if (seen.find("ready\n") != std::string::npos && access(link.c_str(), F_OK) == 0) return true;
    }
    m_error = "tarvik-sim did not become ready; it printed: " + seen;
    Stop();
    return false;
}

void CSimProcess::Stop() {
    if (m_pid > 0) {
        kill(m_pid, SIGTERM);
        auto start = Clock::now();
        int wstatus = 0;
        while (waitpid(m_pid, &wstatus, WNOHANG) == 0) {
            if (SecondsSince(start) > 5) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &wstatus, 0);
                break;
            }
            usleep(10000);
        }
        m_pid = -1;
    }
    if (m_stdout >= 0) {
        close(m_stdout);
        m_stdout = -1;
    }
}
