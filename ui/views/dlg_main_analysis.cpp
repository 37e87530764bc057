#include "ui/views/dlg_main_analysis.h"

#include "app/app_ini.h"
#include "device/connection.h"
#include "device/object_access.h"
#include "ui/views/plot_frame.h"

#include <QShowEvent>

#include <algorithm>

CDlgMainAnalysis::CDlgMainAnalysis(const DialogTemplate& dialogTemplate, const Setup& setup, QWidget* parent)
    : CDialogCommon(dialogTemplate, parent), m_setup(setup) {}

CDlgMainAnalysis::~CDlgMainAnalysis() = default;

bool CDlgMainAnalysis::OnInitDialog() {
    CDialogCommon::OnInitDialog();
    m_plot = CPlotFrame::ReplacePlaceholder(this, IDC_PLOT);

    SetRunFreezeIcons(IDC_RUN, IDC_FREEZE);
    for (int i = 0; i < m_setup.sources.count; ++i)
        ComboInsertString(IDC_SOURCE, i, QString::fromLatin1(m_setup.sources.items[i]));

    Refresh();
    if (g_pAppIni && g_pAppIni->*m_setup.runFlag != 0) {
        CheckDlgButton(IDC_RUN, true);
        g_pAppIni->*m_setup.runFlag = 1;
        SetTimer(TIMER_POLL, POLL_PERIOD_MS);
    }
    return true;
}

void CDlgMainAnalysis::showEvent(QShowEvent* event) {
    CDialogCommon::showEvent(event);
    // Each showing reads the source again and redraws once (Run or Freeze).
    if (!event->spontaneous() && IsCreated()) Refresh();
}

void CDlgMainAnalysis::RefreshSource() {
    Refresh();
}

void CDlgMainAnalysis::Refresh() {
    bool ok = false;
    if (g_pObjectAccess) ok = g_pObjectAccess->GetObjectXXX(OBJ_INT32, m_setup.sourceObject, 0, &m_source, 1);
    m_source = std::clamp(m_source, 0, m_setup.sources.count - 1);
    if (ok) {
        ComboSetCurSel(IDC_SOURCE, m_source);
        SourceRead();
    }
    Update(true);
}

void CDlgMainAnalysis::SelectSource() {
    m_source = ComboGetCurSel(IDC_SOURCE);
    if (g_pObjectAccess) {
        int32_t value = m_source;
        g_pObjectAccess->SetObjectXXX(OBJ_INT32, m_setup.sourceObject, &value);
    }
    Refresh();
}

bool CDlgMainAnalysis::FullUpdateDue(bool force, uint32_t now, bool ok, bool unchanged) const {
    return force || now - m_lastFullUpdate >= uint32_t(FULL_UPDATE_MS) || ok != m_lastOk || !unchanged;
}

void CDlgMainAnalysis::FullUpdate(uint32_t now, bool ok) {
    DrawPlot();
    EnableDlgItem(IDC_SOURCE, ok);
    EnableDlgItem(IDC_RUN, ok);
    EnableDlgItem(IDC_FREEZE, ok);
    m_lastOk = ok;
    m_lastFullUpdate = now;
}

void CDlgMainAnalysis::OnTimer(int id) {
    if (id == TIMER_POLL && IsWindowVisible()) Update(false);
    CDialogCommon::OnTimer(id);
}

void CDlgMainAnalysis::OnCommand(int id) {
    if (id == IDC_RUN) {
        if (g_pAppIni) g_pAppIni->*m_setup.runFlag = 1;
        SetTimer(TIMER_POLL, POLL_PERIOD_MS);
    } else if (id == IDC_FREEZE) {
        if (g_pAppIni) g_pAppIni->*m_setup.runFlag = 0;
        KillTimer(TIMER_POLL);
    }
    CDialogCommon::OnCommand(id);
}

void CDlgMainAnalysis::OnSelChange(int id) {
    if (id == IDC_SOURCE) SelectSource();
    CDialogCommon::OnSelChange(id);
}
