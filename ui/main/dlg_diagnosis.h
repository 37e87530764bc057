#pragma once
// CDlgDiagnosis: the "Connection Diagnosis" window of the connection dialog.
// It runs the doctor (device/doctor.h) on a worker thread, shows its lines as
// they come (the lines of `tarvik-cli doctor --port PATH`, problems in red,
// each fix on its own line, all selectable and copyable) with the step under
// way and a Cancel button, and when a module answered (at another rate, or on
// another port) offers "Use This Port".
#include "device/doctor.h"
#include "ui/toolkit/dialog.h"

#include <QString>

#include <atomic>
#include <memory>
#include <thread>

class CDlgDiagnosis : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 180,
        IDC_REPORT = 1201,
        IDC_STEP = 1202,
        IDC_PROGRESS = 1203,
        IDC_COPY = 1204,
        IDC_USE_PORT = 1205,
    };
    static constexpr const char* kTitle = "Connection Diagnosis";

    // roots: where the doctor looks (the connection dialog's port folder).
    CDlgDiagnosis(const DoctorRequest& request, const DoctorRoots& roots, QWidget* parent);
    // Cancels a run still going and waits for it (at most one exchange).
    ~CDlgDiagnosis() override;

    static const DialogTemplate& DialogTemplate180();

    // Starts the doctor on the worker thread (once).
    void Start();
    bool IsRunning() const { return m_running; }
    // Asks the run to stop at its next step; the window stays open.
    void Cancel();
    // The report of the finished run (empty until then).
    const DoctorReport& Report() const { return m_report; }
    // Every line shown so far, one per line.
    QString Text() const;

signals:
    // "Use This Port": the port and rate at which the module answered.
    void UsePort(const QString& port, unsigned rate);
    void Finished();

protected:
    bool OnInitDialog() override;
    void OnCommand(int id) override;
    void OnCancel() override;

private:
    void ShowLine(const DoctorLine& line);
    void ShowStep(const QString& step);
    void OnFinished(const DoctorReport& report);

    DoctorRequest m_request;
    DoctorRoots m_roots;
    DoctorReport m_report;
    std::atomic<bool> m_cancel{false};
    std::thread m_worker;
    bool m_running = false;
};
