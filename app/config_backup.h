#pragma once
// Backups of the module's configuration, taken before the configuration
// window overwrites it (Factory default, Apply Selected, Apply && Flash
// Write): the dump's ini format in
//   $XDG_DATA_HOME/tarvik-ui/backups/   (~/.local/share/tarvik-ui/backups/
//                                        when XDG_DATA_HOME is unset or empty)
// named config-YYYYMMDD-HHMMSS.ini in local time, config-...-2.ini, -3, ...
// when the name is taken; each written atomically, and only the newest 100
// such files kept. A backup only reads from the module.
#include "app/config_file.h"

#include <ctime>
#include <functional>
#include <string>

constexpr int kBackupsKept = 100;

// The program's own data: $XDG_DATA_HOME/tarvik-ui (~/.local/share/tarvik-ui
// when XDG_DATA_HOME is unset or empty), without a closing "/".
std::string AppDataFolder();
// The backups' folder in it, without a closing "/".
std::string BackupFolder();

struct BackupResult {
    bool ok = false;
    std::string path;    // the file written
    std::string error;   // "no connection", "cannot read sp (0x1f): no reply",
                         // "cannot write FOLDER (REASON)"
};

// Writes the ini text as the next backup in the folder (made when missing),
// named from now in local time, then prunes the oldest backups beyond 100.
BackupResult SaveBackupText(const std::string& folder, const std::string& iniText, std::time_t now);

// Reads the module's configuration and saves it as a backup. clock: the
// time to name it by (std::time when empty).
BackupResult WriteConfigBackup(const std::function<std::time_t()>& clock = {},
                               const std::string& folder = BackupFolder());
