#pragma once
// Child processes for the end-to-end tests and the benchmarks: running
// tarvik-cli to completion with its output captured, keeping tarvik-sim
// running on links in a temporary folder, and reading the files they write.
#include "tests/support/temp_dir.h"

#include <string>
#include <sys/types.h>
#include <vector>

struct ProgramResult {
    int status = -1;       // exit status; 128 + signal when killed; -1 when it could not run
    std::string out;
    std::string err;
};

// The whole file; empty when it cannot be read.
std::string ReadAll(const std::string& path);

// The lines of the text, without their line ends.
std::vector<std::string> Lines(const std::string& text);

// Folder of the built programs (TARVIK_BIN_DIR), or empty.
std::string BinDir();

// Runs argv[0] with the arguments in `cwd` (empty: inherit), waits at most
// timeoutS seconds (then kills it) and returns its exit status and output.
// interruptAfterS >= 0: send SIGINT that many seconds after the start.
ProgramResult RunProgram(const std::vector<std::string>& argv, const std::string& cwd = {}, double timeoutS = 60,
                         double interruptAfterS = -1);

// tarvik-sim on the link <dir>/tty (and more as the arguments say). Start
// waits for the "ready" line; the destructor stops it with SIGTERM.
class CSimProcess {
public:
    CSimProcess() = default;
    ~CSimProcess();
    CSimProcess(const CSimProcess&) = delete;
    CSimProcess& operator=(const CSimProcess&) = delete;
    // extra: arguments after "--link <link>". Returns false (and says why in
    // Error()) when the program is missing or never became ready in timeoutS.
    bool Start(const std::string& link, const std::vector<std::string>& extra, double timeoutS = 20);
    void Stop();
    pid_t Pid() const { return m_pid; }
    const std::string& Error() const { return m_error; }

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    std::string m_error;
};

