#include "app/config_backup.h"

#include "app/config_compare.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Makes the folder and its missing parents (mode 0700 for new ones: the
// backups are the user's own).
bool MakeFolders(const std::string& folder, int* err) {
    for (size_t at = 1; at <= folder.size(); ++at) {
        if (at != folder.size() && folder[at] != '/') continue;
        const std::string part = folder.substr(0, at);
        if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
            *err = errno;
            return false;
        }
    }
    struct stat st;
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        *err = ENOTDIR;
        return false;
    }
    return true;
}

// A backup's name: config-YYYYMMDD-HHMMSS.ini or config-YYYYMMDD-HHMMSS-N.ini
// (N >= 2). Its order key: the time stamp, then N (1 for none).
bool BackupKey(const std::string& name, std::string* stamp, long* suffix) {
    const std::string head = "config-", tail = ".ini";
    if (name.size() < head.size() + 15 + tail.size() || name.compare(0, head.size(), head) != 0 ||
        name.compare(name.size() - tail.size(), tail.size(), tail) != 0)
        return false;
    const std::string middle = name.substr(head.size(), name.size() - head.size() - tail.size());
    for (size_t i = 0; i < 15; ++i)
        if (i == 8 ? middle[i] != '-' : (middle[i] < '0' || middle[i] > '9')) return false;
    *stamp = middle.substr(0, 15);
    *suffix = 1;
    if (middle.size() == 15) return true;
    if (middle[15] != '-' || middle.size() == 16 || middle.size() > 16 + 9 || middle[16] == '0') return false;
    for (size_t i = 16; i < middle.size(); ++i)
        if (middle[i] < '0' || middle[i] > '9') return false;
    *suffix = std::strtol(middle.c_str() + 16, nullptr, 10);
    return *suffix >= 2;
}

void Prune(const std::string& folder) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return;
    struct Backup {
        std::string stamp;
        long suffix;
        std::string name;
    };
    std::vector<Backup> backups;
    while (const dirent* d = readdir(dir)) {
        Backup b;
        b.name = d->d_name;
        if (BackupKey(b.name, &b.stamp, &b.suffix)) backups.push_back(b);
    }
    closedir(dir);
    if (backups.size() <= static_cast<size_t>(kBackupsKept)) return;
    std::sort(backups.begin(), backups.end(), [](const Backup& a, const Backup& b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.suffix < b.suffix;
    });
    for (size_t i = 0; i + kBackupsKept < backups.size(); ++i) unlink((folder + "/" + backups[i].name).c_str());
}

}  // namespace

std::string AppDataFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    std::string base;
    if (data && *data) {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        base = std::string(home && *home ? home : ".") + "/.local/share";
    }
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    base.append("/tarvik-ui");
    return base;
}

std::string BackupFolder() { return AppDataFolder() + "/backups"; }

BackupResult SaveBackupText(const std::string& folder, const std::string& iniText, std::time_t now) {
    BackupResult r;
    int err = 0;
    if (!MakeFolders(folder, &err)) {
        r.error = "cannot write " + folder + " (" + std::strerror(err) + ")";
        return r;
    }
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    // The text goes to a temporary file first; it becomes the backup under
    // the first free name with link(), which never replaces a file (a backup
    // written at the same second by another program keeps its name).
    std::string tempPath, error;
    if (!WriteTempFile(folder + "/config-backup", iniText, &tempPath, &error)) {
        r.error = "cannot write " + folder + error.substr(error.rfind(" ("));
        return r;
    }
    for (int n = 1;; ++n) {
        const std::string name = std::string("config-") + stamp + (n > 1 ? "-" + std::to_string(n) : "") + ".ini";
        const std::string path = folder + "/" + name;
        if (link(tempPath.c_str(), path.c_str()) == 0) {
            r.path = path;
            break;
        }
        if (errno == EEXIST) continue;
        // A file system without hard links: rename onto a name not taken.
        if (errno == EPERM || errno == EOPNOTSUPP || errno == EXDEV) {
            if (access(path.c_str(), F_OK) == 0) continue;
            if (rename(tempPath.c_str(), path.c_str()) == 0) {
                r.path = path;
                break;
            }
        }
        err = errno;
        unlink(tempPath.c_str());
        r.error = "cannot write " + folder + " (" + std::strerror(err) + ")";
        return r;
    }
    unlink(tempPath.c_str());
    Prune(folder);
    r.ok = true;
    return r;
}

BackupResult WriteConfigBackup(const std::function<std::time_t()>& clock, const std::string& folder) {
    const ConfigReading reading = ReadConfiguration();
    if (!reading.ok) {
        BackupResult r;
        r.error = reading.error;
        return r;
    }
    return SaveBackupText(folder, WriteDumpIni(reading.entries), clock ? clock() : std::time(nullptr));
}
