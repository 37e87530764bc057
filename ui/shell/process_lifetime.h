#pragma once
// The three process-wide objects of tarvik-ui, made in this order and
// destroyed in the reverse order: the application object (which reads the
// command line), the timer-precision object and the settings record (which
// loads when it is made and saves when it is destroyed). tarvik-ui's main()
// is one of these and Run(); a harness that drives the main window itself
// makes one with its own settings file and calls App().StartUp(Timer()).
#include <memory>
#include <string>

class CMultimediaTimer;
class CTARVIK_UIApp;

class CProcessLifetime {
public:
    // The settings come from TARVIK_UI.ini in the working directory.
    CProcessLifetime(int& argc, char** argv);
    // The settings come from settingsPath; saveSettings false keeps the file.
    CProcessLifetime(int& argc, char** argv, const std::string& settingsPath, bool saveSettings);
    ~CProcessLifetime();

    CProcessLifetime(const CProcessLifetime&) = delete;
    CProcessLifetime& operator=(const CProcessLifetime&) = delete;

    // True when the command line was handled completely (--help, --version,
    // an unknown option): neither the timer object nor the settings exist,
    // and the process ends with ExitCode().
    bool Finished() const;
    int ExitCode() const;

    CTARVIK_UIApp& App() { return *m_app; }
    CMultimediaTimer& Timer() { return *m_timer; }

    // The start-up sequence and the modal main window; the exit status.
    int Run();

private:
    void MakeTimerAndSettings(const std::string* settingsPath, bool saveSettings);

    std::unique_ptr<CTARVIK_UIApp> m_app;
    std::unique_ptr<CMultimediaTimer> m_timer;
};
