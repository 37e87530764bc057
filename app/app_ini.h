#pragma once
// CAppIni: the settings record. One field per key of section "Property" of
// "TARVIK_UI.ini" in the current directory. Loaded before the user interface
// exists, saved by the destructor at exit; nothing is written in between.
// Other code reads and assigns the fields directly.
#include "app/ini.h"

#include <string>

class CAppIni : public CIni {
public:
    static constexpr int kTextSize = 260;
    static constexpr int kKeyCount = 42;

    // Computes the path (current directory + "/TARVIK_UI.ini") and loads.
    CAppIni();
    // Loads from the given file instead (tests, tools).
    explicit CAppIni(const std::string& path, bool load = true);
    // Saves every key, in table order.
    ~CAppIni() override;

    // Visits every key in table order: load when save is false, save when true.
    void Exchange(bool save);
    void Load() { Exchange(false); }
    void Save() { Exchange(true); }
    // Set to false to make the destructor save nothing (tools that only read).
    bool saveOnExit = true;

    static std::string DefaultPath();

    // The transaction time-out: 30 ms unless set, always within 10..10000 ms
    // (0 or a huge value would make every exchange fail or hang).
    static constexpr int kTrTimeoutDefault = 30;
    static constexpr int kTrTimeoutMin = 10;
    static constexpr int kTrTimeoutMax = 10000;
    static int LimitTrTimeout(int ms) { return ms < kTrTimeoutMin ? kTrTimeoutMin : ms > kTrTimeoutMax ? kTrTimeoutMax : ms; }

    // Stores a text into one of the text fields. Refused, the field keeping
    // its old value, when the text holds a line break (it would add keys or
    // sections to the file) or does not fit (259 characters).
    static bool SetText(char (&field)[kTextSize], const std::string& text);

    int admin;
    int mainTabSel;
    int mainSx;
    int mainSy;
    int chartSx;
    int chartSy;
    int chartDx;
    int chartDy;
    int mapSx;
    int mapSy;
    int mapDx;
    int mapDy;
    int bplotWinShow;
    int bplotSx;
    int bplotSy;
    int bplotDx;
    int bplotDy;
    int bplotProbe;
    int bplotDelay;
    int configTabSel;
    int startSync;
    int startFft;
    int startVibr;
    char comPort[kTextSize];
    int comBaudrate;
    int deviceID;
    int trTimeout;
    char gpsPort[kTextSize];
    int gpsBaudrate;
    int chartWinShow;
    int mapWinShow;
    int precision;
    int maf_window_size;
    double map_lat;
    double map_lon;
    int map_lvl;
    char host_name[kTextSize];
    int host_port;
    char rtcp[kTextSize];
    char user[kTextSize];
    char password[kTextSize];
    char sync_file[kTextSize];
};

// The one settings record of the user interface process. Null until the
// application constructs it (tools and tests make their own).
extern CAppIni* g_pAppIni;
