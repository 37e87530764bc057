#include "ui/shell/tarvik_ui_app.h"

#include "app/app_ini.h"
#include "app/c_locale.h"
#include "app/command_line.h"
#include "app/multimedia_timer.h"
#include "app/session_file.h"
#include "app/udp_feed.h"
#include "app/startup_marks.h"
#include "app/version.h"
#include "device/serial_com.h"
#include "ui/toolkit/indicator_images.h"
#include "ui/main/tarvik_ui_dlg.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocale>
#include <QMessageBox>
#include <QProcess>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTimer>

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kSimReadyTimeoutMs = 5000;
constexpr int kSimDefaultBaud = 115200;

// Windows needed these; here they succeed with nothing to do. The failure
// paths stay so that a platform that can fail them is handled.
bool RegisterCommonControls() { return true; }
bool InitSockets() { return true; }
bool LoadRichEdit() { return true; }

// SIGTERM and SIGINT end the program the way closing the main window does.
// The handler only writes the signal number into a pipe; the event loop
// reads it and closes the window, so everything after the window's run
// (stopping the simulator, removing its folder, the settings) happens as on
// a normal exit.
int g_signalPipe[2] = {-1, -1};

void OnQuitSignal(int sig) {
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(sig);
    if (g_signalPipe[1] >= 0) (void)!::write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

class QuitSignals {
public:
    QuitSignals() {
        if (::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
            g_signalPipe[0] = g_signalPipe[1] = -1;
            return;
        }
        struct sigaction sa {};
        sa.sa_handler = OnQuitSignal;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESTART;
        sigaction(SIGTERM, &sa, &m_oldTerm);
        sigaction(SIGINT, &sa, &m_oldInt);
        m_installed = true;
    }
    ~QuitSignals() {
        m_notifier.reset();
        if (m_installed) {
            sigaction(SIGTERM, &m_oldTerm, nullptr);
            sigaction(SIGINT, &m_oldInt, nullptr);
        }
        for (int& fd : g_signalPipe) {
            if (fd >= 0) ::close(fd);
            fd = -1;
        }
    }
    QuitSignals(const QuitSignals&) = delete;
    QuitSignals& operator=(const QuitSignals&) = delete;

    // From now on a signal closes `window`; every modal run inside it ends too.
    void CloseOnSignal(QWidget* window) {
        if (g_signalPipe[0] < 0) return;
        m_notifier = std::make_unique<QSocketNotifier>(g_signalPipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, window, [window] {
            unsigned char buf[16];
            while (::read(g_signalPipe[0], buf, sizeof buf) > 0) {
            }
            window->close();  // as the close box: the window stores its state and ends its run
            // A message box or dialog open above it would hold its run: every
            // loop ends, and none started from here on waits.
            QCoreApplication::exit(0);
        });
    }

private:
    struct sigaction m_oldTerm {}, m_oldInt {};
    bool m_installed = false;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace

CTARVIK_UIApp::CTARVIK_UIApp(int& argc, char** argv) : m_argc(argc), m_argv(argv) { ParseCommandLine(); }

CTARVIK_UIApp::~CTARVIK_UIApp() {
    StopSimulator();
    m_qapp.reset();
}

QString CTARVIK_UIApp::HelpText() {
    return QStringLiteral(
        "Usage: tarvik-ui [options]\n"
        "The configuration and monitoring program of the Tarvik attitude module.\n"
        "Settings are kept in TARVIK_UI.ini in the working directory.\n"
        "\n"
        "  --simulate         start tarvik-sim (beside this program) and connect to it\n"
        "                     for this run; the stored port and rate are kept\n"
        "  --record FILE      record the session into FILE from the first connection on\n"
        "  --udp HOST:PORT    send every read to HOST:PORT as one JSON datagram\n"
        "  --replay FILE      start tarvik-sim answering from the recorded session FILE\n"
        "                     and connect to it, as --simulate does\n"
        "  --speed X          with --replay: play X times as fast (default 1)\n"
        "  --loop             with --replay: start over at the end\n"
        "  --exit-after MS    close the main window after MS milliseconds (testing)\n"
        "  --help, -h         show this text and exit\n"
        "  --version          show the version and exit\n"
        "The toolkit's own options (-style NAME, -platform NAME, -display HOST:N,\n"
        "-geometry WxH+X+Y, -qwindowgeometry, -reverse, ...) are passed to Qt.\n");
}

QString CTARVIK_UIApp::VersionText() {
    return QStringLiteral("tarvik-ui %1\n").arg(QString::fromLatin1(UiVersionString().c_str()));
}

bool CTARVIK_UIApp::ParseCommandLine() {
    for (int i = 1; i < m_argc; ++i) {
        const char* a = m_argv[i];
        if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::fputs(HelpText().toLocal8Bit().constData(), stdout);
            m_finished = true;
            m_exitCode = 0;
            return false;
        }
        if (std::strcmp(a, "--version") == 0) {
            std::fputs(VersionText().toLocal8Bit().constData(), stdout);
            m_finished = true;
            m_exitCode = 0;
            return false;
        }
        if (std::strcmp(a, "--simulate") == 0) {
            m_simulate = true;
            continue;
        }
        if (std::strcmp(a, "--loop") == 0) {
            m_replayLoop = true;
            continue;
        }
        if (std::strcmp(a, "--record") == 0 || std::strcmp(a, "--udp") == 0 || std::strcmp(a, "--replay") == 0 ||
            std::strcmp(a, "--speed") == 0) {
            if (i + 1 >= m_argc || m_argv[i + 1][0] == '\0') return Refuse(std::string(a) + " needs a value");
            const std::string value = m_argv[++i];
            if (std::strcmp(a, "--record") == 0) m_recordPath = value;
            else if (std::strcmp(a, "--replay") == 0) m_replayPath = value;
            else if (std::strcmp(a, "--speed") == 0) {
                char* end = nullptr;
                const double x = std::strtod(value.c_str(), &end);
                if (!end || *end != '\0' || !(x > 0) || x > 1000) return Refuse("--speed needs a number above 0");
                m_replaySpeed = value;
            } else {
                std::string error;
                CUdpFeed probe;
                if (!probe.Open(value, &error)) return Refuse(error);
                m_udp = value;
            }
            continue;
        }
        if (std::strcmp(a, "--exit-after") == 0 && i + 1 < m_argc) {
            char* end = nullptr;
            const long v = std::strtol(m_argv[++i], &end, 10);
            if (!end || *end != '\0' || v < 0 || v > 24L * 3600 * 1000) {
                std::fprintf(stderr, "tarvik-ui: --exit-after needs a number of milliseconds\n");
                m_finished = true;
                m_exitCode = 2;
                return false;
            }
            m_exitAfterMs = int(v);
            continue;
        }
        // Qt's own options (-style Fusion, -platform xcb, ...) and their
        // values are left in argv for QApplication, which removes them.
        if (const int n = ToolkitOptionLength(m_argc, m_argv, i)) {
            i += n - 1;
            continue;
        }
        std::fprintf(stderr, "tarvik-ui: unknown option '%s'\n%s", a, HelpText().toLocal8Bit().constData());
        m_finished = true;
        m_exitCode = 2;
        return false;
    }
    if ((!m_replaySpeed.empty() || m_replayLoop) && m_replayPath.empty())
        return Refuse("--speed and --loop go with --replay");
    if (!m_replayPath.empty()) {
        // A file that is no session is refused here, with what is wrong.
        Session session;
        std::string error;
        if (!ReadSessionFile(m_replayPath, &session, &error)) return Refuse(error);
        m_simulate = true;
    }
    return true;
}

bool CTARVIK_UIApp::Refuse(const std::string& message) {
    std::fprintf(stderr, "tarvik-ui: %s\n", message.c_str());
    m_finished = true;
    m_exitCode = 2;
    return false;
}

bool CTARVIK_UIApp::StartUp(CMultimediaTimer& timer) {
    // 1-2: common controls, then the framework.
    RegisterCommonControls();
    m_qapp = std::make_unique<QApplication>(m_argc, m_argv);
    startup::Mark("qt-started");
    UseCNumbers();
    // 3: sockets; their failure is fatal.
    if (!InitSockets()) {
        QMessageBox::critical(nullptr, QString(), QStringLiteral("Windows sockets initialization failed."));
        return false;
    }
    // 4-6: embedded controls and the registry key need nothing here.
    LoadRichEdit();
    // 7: FTDI latency timers.
    SetFtdiLatency();
    // 8: the periodic 1 ms timer (its handler does nothing).
    timer.Start();
    // 9: the indicator images.
    m_images = std::make_unique<IndicatorImages>(m_qapp->palette());
    return true;
}

int CTARVIK_UIApp::InitInstance(CMultimediaTimer& timer) {
    if (!StartUp(timer)) return 0;
    QuitSignals quitSignals;
    int rc = 0;
    if (m_simulate && !StartSimulator()) {
        rc = 1;
    } else {
        // 10: the main window, run modally.
        auto dlg = std::make_unique<CTARVIK_UIDlg>();
        dlg->SetSessionOptions(m_recordPath, m_udp,
                               m_replayPath.empty() ? QString()
                                                    : QStringLiteral("replay of ") +
                                                          QFileInfo(QString::fromStdString(m_replayPath)).fileName());
        if (m_exitAfterMs >= 0) {
            CTARVIK_UIDlg* w = dlg.get();
            // Debug aid for scripted runs: report the title, then close the
            // window the way the close box does.
            QTimer::singleShot(m_exitAfterMs, w, [w] {
                std::printf("title: %s\n", w->windowTitle().toLocal8Bit().constData());
                std::fflush(stdout);
                w->close();
            });
        }
        quitSignals.CloseOnSignal(dlg.get());
        dlg->DoModal();
        // 11-13: the window and its pages first, then the timer, then the
        // images the pages showed.
        std::unique_ptr<QWidget> window(dlg.release());
        EndMainWindow(window, timer, m_images);
    }
    timer.Kill();
    m_images.reset();
    StopSimulator();
    return rc;
}

void CTARVIK_UIApp::UseCNumbers() {
    UseCNumericLocale();
    QLocale::setDefault(QLocale::c());
}

void CTARVIK_UIApp::EndMainWindow(std::unique_ptr<QWidget>& window, CMultimediaTimer& timer,
                                  std::unique_ptr<IndicatorImages>& images) {
    window.reset();
    timer.Kill();
    images.reset();
}

bool CTARVIK_UIApp::StartSimulator() {
    if (!g_pAppIni) return false;
    // The link lives in a private folder; a port path must fit in the 259
    // characters of the settings field, so a very long TMPDIR gives way to /tmp.
    QString base = QDir::tempPath();
    if (base.toLocal8Bit().size() + 18 > CAppIni::kTextSize - 1) base = QStringLiteral("/tmp");
    m_simDir = std::make_unique<QTemporaryDir>(base + QStringLiteral("/tvk-XXXXXX"));
    if (!m_simDir->isValid()) {
        std::fprintf(stderr, "tarvik-ui: cannot make a temporary folder for the simulator\n");
        return false;
    }
    const int baud = g_pAppIni->comBaudrate >= 1 ? g_pAppIni->comBaudrate : kSimDefaultBaud;
    const QString link = m_simDir->filePath(QStringLiteral("ttySIM"));
    const QString program = QCoreApplication::applicationDirPath() + QStringLiteral("/tarvik-sim");
    m_sim = std::make_unique<QProcess>();
    m_sim->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // The simulator ends with this program even when it is killed and cannot
    // stop it: the kernel sends SIGTERM to the child when its parent dies.
    const pid_t parent = ::getpid();
    m_sim->setChildProcessModifier([parent] {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(1);  // the parent died before the request
    });
    // The simulator removes the folder itself when it ends, also when this
    // program is killed and cannot.
    QStringList args{QStringLiteral("--link"), link, QStringLiteral("--remove-link-folder"), QStringLiteral("--baud"),
                     QString::number(baud)};
    if (!m_replayPath.empty()) {
        args << QStringLiteral("--replay") << QFileInfo(QString::fromStdString(m_replayPath)).absoluteFilePath();
        if (!m_replaySpeed.empty()) args << QStringLiteral("--speed") << QString::fromStdString(m_replaySpeed);
        if (m_replayLoop) args << QStringLiteral("--loop");
    }
    m_sim->start(program, args);
    if (!m_sim->waitForStarted(kSimReadyTimeoutMs)) {
        std::fprintf(stderr, "tarvik-ui: cannot start %s\n", program.toLocal8Bit().constData());
        m_sim.reset();
        return false;
    }
    // Wait for its "ready" line.
    QElapsedTimer clock;
    clock.start();
    bool ready = false;
    QByteArray pending;
    while (!ready && clock.elapsed() < kSimReadyTimeoutMs && m_sim->state() == QProcess::Running) {
        m_sim->waitForReadyRead(100);
        pending += m_sim->readAllStandardOutput();
        int nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            if (pending.left(nl).trimmed() == "ready") ready = true;
            pending.remove(0, nl + 1);
        }
    }
    if (!ready) {
        std::fprintf(stderr, "tarvik-ui: the simulator did not get ready\n");
        StopSimulator();
        return false;
    }
    startup::Mark("simulator-ready");
    // This run only: the stored values go back before the settings are saved.
    m_savedPort = g_pAppIni->comPort;
    m_savedBaudrate = g_pAppIni->comBaudrate;
    m_connectionReplaced = true;
    CAppIni::SetText(g_pAppIni->comPort, link.toLocal8Bit().toStdString());
    g_pAppIni->comBaudrate = baud;
    return true;
}

void CTARVIK_UIApp::StopSimulator() {
    if (!m_sim) return;
    if (m_sim->state() != QProcess::NotRunning) {
        m_sim->terminate();  // SIGTERM: it removes its links and ends
        if (!m_sim->waitForFinished(3000)) {
            m_sim->kill();
            m_sim->waitForFinished(1000);
        }
    }
    m_sim.reset();
    m_simDir.reset();
}

void CTARVIK_UIApp::RestoreStoredConnection() {
    if (!m_connectionReplaced || !g_pAppIni) return;
    CAppIni::SetText(g_pAppIni->comPort, m_savedPort);
    g_pAppIni->comBaudrate = m_savedBaudrate;
    m_connectionReplaced = false;
}
