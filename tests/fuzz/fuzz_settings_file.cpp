// Fuzz target: the settings file. The input is the file's content. It is
// read as the settings record reads it (CAppIni over CIni over CIniFile,
// every key with its type and limits), saved, read and saved again; the
// second save must give the same file as the first (a save normalises once
// and then is stable).
#include "app/app_ini.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

const std::string& FilePath() {
    // One file per process, in memory where the system has a tmpfs.
    static const std::string path = [] {
        const char* dir = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(dir) + "/tarvik-fuzz-ini-" + std::to_string(getpid()) + ".ini";
    }();
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return -1;  // a settings file is small; longer inputs only cost time
    const std::string text(reinterpret_cast<const char*>(data), size);
    // The settings record through a real file.
    const std::string& path = FilePath();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
    }
    {
        CAppIni first(path);
        first.saveOnExit = false;
        first.Save();
    }
    const std::string once = ReadAll(path);
    {
        CAppIni second(path);
        second.saveOnExit = false;
        second.Save();
    }
    const bool stable = ReadAll(path) == once;
    std::remove(path.c_str());  // libFuzzer's exit runs no clean-up of ours
    if (!stable) std::abort();
    return 0;
}
