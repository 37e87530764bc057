#include "app/app_ini.h"

#include <cstring>
#include <unistd.h>

CAppIni* g_pAppIni = nullptr;

namespace {
const char kSection[] = "Property";
const char kFileName[] = "TARVIK_UI.ini";
}  // namespace

std::string CAppIni::DefaultPath() {
    char dir[kPathSize];
    if (::getcwd(dir, sizeof dir) == nullptr) return kFileName;
    std::string path = std::string(dir) + "/" + kFileName;
    // A working directory too long for the path buffer: use the name relative
    // to it, which still means the same file.
    if (path.size() >= static_cast<size_t>(kPathSize)) return kFileName;
    return path;
}

bool CAppIni::SetText(char (&field)[kTextSize], const std::string& text) {
    if (text.size() >= static_cast<size_t>(kTextSize) || text.find_first_of("\r\n") != std::string::npos)
        return false;
    std::memcpy(field, text.c_str(), text.size() + 1);
    return true;
}

CAppIni::CAppIni() : CAppIni(DefaultPath(), true) {}

CAppIni::CAppIni(const std::string& path, bool load) : CIni(kSection, path) {
    if (load) {
        Load();
    } else {
        // Start from the defaults without reading: an empty pass over no file.
        const std::string keep = Path();
        SetPath("");
        Load();
        SetPath(keep);
    }
}

CAppIni::~CAppIni() {
    if (saveOnExit) Save();
}

void CAppIni::Exchange(bool save) {
    BeginPass(save);
    Int(save, "admin", admin, 0);
    Int(save, "mainTabSel", mainTabSel, 0);
    Int(save, "mainSx", mainSx, 0);
    Int(save, "mainSy", mainSy, 0);
    Int(save, "chartSx", chartSx, 0);
    Int(save, "chartSy", chartSy, 0);
    Int(save, "chartDx", chartDx, 600);
    Int(save, "chartDy", chartDy, 400);
    Int(save, "mapSx", mapSx, 0);
    Int(save, "mapSy", mapSy, 0);
    Int(save, "mapDx", mapDx, 800);
    Int(save, "mapDy", mapDy, 600);
    Int(save, "bplotWinShow", bplotWinShow, 0);
    Int(save, "bplotSx", bplotSx, 0);
    Int(save, "bplotSy", bplotSy, 0);
    Int(save, "bplotDx", bplotDx, 800);
    Int(save, "bplotDy", bplotDy, 400);
    Int(save, "bplotProbe", bplotProbe, 5);
    Int(save, "bplotDelay", bplotDelay, 1);
    Int(save, "configTabSel", configTabSel, 0);
    Int(save, "startSync", startSync, 0);
    Int(save, "startFft", startFft, 1);
    Int(save, "startVibr", startVibr, 1);
    Text(save, "comPort", comPort, kTextSize, "/dev/ttyUSB0");
    Int(save, "comBaudrate", comBaudrate, 115200);
    Int(save, "deviceID", deviceID, 1);
    IntInRange(save, "trTimeout", trTimeout, kTrTimeoutDefault, kTrTimeoutMin, kTrTimeoutMax);
    Text(save, "gpsPort", gpsPort, kTextSize, "/dev/ttyUSB1");
    Int(save, "gpsBaudrate", gpsBaudrate, 38400);
    Int(save, "chartWinShow", chartWinShow, 1);
    Int(save, "mapWinShow", mapWinShow, 1);
    Int(save, "precision", precision, 3);
    Int(save, "maf_window_size", maf_window_size, 1);
    Double(save, "map_lat", map_lat, 0);
    Double(save, "map_lon", map_lon, 0);
    Int(save, "map_lvl", map_lvl, 3);
    Text(save, "host_name", host_name, kTextSize, "caster.kelvane.example");
    Int(save, "host_port", host_port, 2101);
    Text(save, "rtcp", rtcp, kTextSize, "SUWN-RTCM23");
    Text(save, "user", user, kTextSize, "user@kelvane.example");
    Text(save, "password", password, kTextSize, "none");
    Text(save, "sync_file", sync_file, kTextSize, "./records.csv");
    EndPass(save);
}
