#include "ui/shell/process_lifetime.h"

#include "app/app_ini.h"
#include "app/multimedia_timer.h"
#include "device/object_access.h"
#include "ui/shell/tarvik_ui_app.h"

CProcessLifetime::CProcessLifetime(int& argc, char** argv) : m_app(std::make_unique<CTARVIK_UIApp>(argc, argv)) {
    MakeTimerAndSettings(nullptr, true);
}

CProcessLifetime::CProcessLifetime(int& argc, char** argv, const std::string& settingsPath, bool saveSettings)
    : m_app(std::make_unique<CTARVIK_UIApp>(argc, argv)) {
    MakeTimerAndSettings(&settingsPath, saveSettings);
}

void CProcessLifetime::MakeTimerAndSettings(const std::string* settingsPath, bool saveSettings) {
    if (m_app->Finished()) return;
    m_timer = std::make_unique<CMultimediaTimer>();
    g_pAppIni = settingsPath ? new CAppIni(*settingsPath) : new CAppIni();
    g_pAppIni->saveOnExit = saveSettings;
}

CProcessLifetime::~CProcessLifetime() {
    if (m_timer) {
        FinaliseObjectAccessStatistics();
        m_app->RestoreStoredConnection();
        delete g_pAppIni;  // saves every key
        g_pAppIni = nullptr;
        m_timer.reset();
    }
    m_app.reset();
}

bool CProcessLifetime::Finished() const { return m_app->Finished(); }

int CProcessLifetime::ExitCode() const { return m_app->ExitCode(); }

int CProcessLifetime::Run() { return m_app->InitInstance(*m_timer); }
