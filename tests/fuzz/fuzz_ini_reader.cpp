// Fuzz target: the INI reader in memory. The input is a file's content. It
// is read, a few keys are looked up and taken through the number rules, a key
// is written and read back (names compare without case), and the written text
// must read back to the same text.
#include "app/c_locale.h"
#include "app/ini_file.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);

    // The in-memory file: reading, the number rules, a write and a read-back.
    CIniFile file;
    file.LoadText(text);
    for (const char* key : {"comPort", "trTimeout", "map_lat", "x"}) {
        if (auto v = file.Get("Property", key)) {
            (void)CIniFile::ParseInt(*v);
            (void)CIniFile::IsInt(*v);
            (void)ParseDoubleC(v->c_str());
        }
    }
    file.Set("Property", "fuzzKey", "value 1");
    const auto back = file.Get("property", "FUZZKEY");
    if (!back || *back != "value 1") std::abort();
    CIniFile again;
    again.LoadText(file.Text());
    if (again.Text() != file.Text()) std::abort();

    return 0;
}
