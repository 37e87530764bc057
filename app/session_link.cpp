#include "app/session_link.h"

#include "app/config_backup.h"
#include "device/connection.h"
#include "device/sync_receiver.h"

#include <cstdio>

CSessionLink::~CSessionLink() {
    StopRecording();
    Detach(&m_udp);
    m_udp.Close();
}

void CSessionLink::Attach(IExchangeObserver* observer) {
    if (m_access) m_access->AddObserver(observer);
}

void CSessionLink::Detach(IExchangeObserver* observer) {
    if (m_access) m_access->RemoveObserver(observer);
}

bool CSessionLink::StartRecording(const std::string& path, const std::string& program, const std::string& port,
                                  int32_t baud, int32_t deviceId, std::string* error) {
    StopRecording();
    // The header's reads happen before the recorder listens.
    const SessionHeader header = ReadSessionHeader(program, port, baud, deviceId);
    if (!m_recorder.Start(path, header, error)) return false;
    Attach(&m_recorder);
    if (m_sync) m_sync->SetObserver(&m_recorder);
    return true;
}

void CSessionLink::StopRecording() {
    if (!m_recorder.IsRecording()) return;
    if (m_sync) m_sync->SetObserver(nullptr);
    Detach(&m_recorder);
    m_recorder.Stop();
}

bool CSessionLink::OpenUdp(const std::string& hostPort, std::string* error) {
    Detach(&m_udp);
    m_udp.Close();
    if (!m_udp.Open(hostPort, error)) return false;
    Attach(&m_udp);
    return true;
}

void CSessionLink::Connected() {
    Disconnecting();
    m_access = g_pObjectAccess;
    if (m_recorder.IsRecording()) Attach(&m_recorder);
    if (m_udp.IsOpen()) Attach(&m_udp);
}

void CSessionLink::Disconnecting() {
    Detach(&m_recorder);
    Detach(&m_udp);
    m_access = nullptr;
}

std::string DefaultSessionName(std::time_t now) {
    std::tm local{};
    localtime_r(&now, &local);
    char name[64];
    std::snprintf(name, sizeof name, "session-%04d%02d%02d-%02d%02d%02d.jsonl", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return name;
}

std::string SessionFolder() { return AppDataFolder() + "/sessions"; }
