#pragma once
// CTARVIK_UIApp: the process's life. It reads the command line, runs the
// start-up sequence (sockets, FTDI latency, the 1 ms timer, the indicator
// images), runs the main window modally and cleans up in the reverse order.
// With --simulate it starts tarvik-sim on a private pseudo-terminal link and
// connects to it for this run only; the stored port and rate are put back
// before the settings are saved. With --replay FILE the simulator answers
// from a recorded session instead; --record and --udp go to the main window.
#include <QString>

#include <memory>
#include <string>

class CMultimediaTimer;
class IndicatorImages;
class QApplication;
class QProcess;
class QTemporaryDir;
class QWidget;

class CTARVIK_UIApp {
public:
    CTARVIK_UIApp(int& argc, char** argv);
    ~CTARVIK_UIApp();

    CTARVIK_UIApp(const CTARVIK_UIApp&) = delete;
    CTARVIK_UIApp& operator=(const CTARVIK_UIApp&) = delete;

    // True when the command line was handled completely (--help, --version,
    // an unknown option): the process ends with ExitCode() without a window.
    bool Finished() const { return m_finished; }
    int ExitCode() const { return m_exitCode; }

    // The start-up sequence; returns when the main window has closed. The
    // settings record and the timer object exist already.
    int InitInstance(CMultimediaTimer& timer);

    // The start-up sequence up to the main window: the QApplication with C
    // numbers, sockets (false, after the fatal message, when they fail), the
    // FTDI latency, the periodic timer and the indicator images. InitInstance
    // begins with it; a harness that drives the main window itself calls it
    // and ends with EndMainWindow(window, timer).
    bool StartUp(CMultimediaTimer& timer);
    void EndMainWindow(std::unique_ptr<QWidget>& window, CMultimediaTimer& timer) {
        EndMainWindow(window, timer, m_images);
    }

    // Puts back the port and rate that --simulate replaced; called before the
    // settings are saved.
    void RestoreStoredConnection();

    // The end of the main window: the window and its pages are destroyed,
    // then the periodic timer is killed, then the indicator images go.
    static void EndMainWindow(std::unique_ptr<QWidget>& window, CMultimediaTimer& timer,
                              std::unique_ptr<IndicatorImages>& images);

    // QApplication switches the process to the user's locale; every number
    // the program writes or reads (settings, displayed values, files) keeps
    // the C rules instead, in C calls and in Qt alike. Called right after the
    // QApplication is made.
    static void UseCNumbers();

    static QString HelpText();
    static QString VersionText();

private:
    bool ParseCommandLine();
    // A usage error: the message and the help on stderr, exit code 2.
    bool Refuse(const std::string& message);
    bool StartSimulator();
    void StopSimulator();

    int& m_argc;
    char** m_argv;
    bool m_finished = false;
    int m_exitCode = 0;
    bool m_simulate = false;
    std::string m_recordPath;   // --record FILE
    std::string m_udp;          // --udp HOST:PORT
    std::string m_replayPath;   // --replay FILE (implies the simulator)
    std::string m_replaySpeed;  // --speed X
    bool m_replayLoop = false;  // --loop
    int m_exitAfterMs = -1;   // debug: close the main window after this many ms
    std::unique_ptr<QApplication> m_qapp;
    // The eight shared lamps, made at start-up and deleted after the window.
    std::unique_ptr<IndicatorImages> m_images;
    std::unique_ptr<QTemporaryDir> m_simDir;
    std::unique_ptr<QProcess> m_sim;
    bool m_connectionReplaced = false;
    std::string m_savedPort;
    int m_savedBaudrate = 0;
};
