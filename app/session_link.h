#pragma once
// What the window program records and feeds to other tools during a run: one
// session recorder and one UDP feed, attached to the access object of each
// connection and to the Sync page's receiver. The main window calls
// Connected() after each connect and Disconnecting() before each disconnect,
// since every connection makes a new access object. No Qt.
#include "app/session_recorder.h"
#include "app/udp_feed.h"

#include <string>

class CSyncReceiver;

class CSessionLink {
public:
    explicit CSessionLink(CSyncReceiver* sync = nullptr) : m_sync(sync) {}
    ~CSessionLink();
    CSessionLink(const CSessionLink&) = delete;
    CSessionLink& operator=(const CSessionLink&) = delete;

    // Starts recording into path. The header is read from the module now,
    // when connected (these reads are not recorded); the port, rate and
    // device id are the connection's. False with "cannot create PATH: ...".
    bool StartRecording(const std::string& path, const std::string& program, const std::string& port,
                        int32_t baud, int32_t deviceId, std::string* error);
    void StopRecording();
    bool Recording() const { return m_recorder.IsRecording(); }
    double ElapsedSeconds() const { return m_recorder.ElapsedSeconds(); }
    const std::string& Path() const { return m_recorder.Path(); }
    // Why the file stopped taking lines; the caller stops and says so.
    std::string Failure() const { return m_recorder.Failure(); }

    // Sends each successful read to HOST:PORT from now on.
    bool OpenUdp(const std::string& hostPort, std::string* error);
    const CUdpFeed& Udp() const { return m_udp; }

    void Connected();
    void Disconnecting();

private:
    void Attach(IExchangeObserver* observer);
    void Detach(IExchangeObserver* observer);

    CSyncReceiver* m_sync;
    CSessionRecorder m_recorder;
    CUdpFeed m_udp;
    CObjectAccess* m_access = nullptr;  // the connection's access object we are attached to
};

// "session-YYYYMMDD-HHMMSS.jsonl" for the given local time, and the folder
// recordings go to by default: $XDG_DATA_HOME/tarvik-ui/sessions
// (~/.local/share/tarvik-ui/sessions), without a closing "/".
std::string DefaultSessionName(std::time_t now);
std::string SessionFolder();
