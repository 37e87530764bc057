#include "ui/toolkit/tab_dialog.h"

#include <QBitmap>
#include <QIcon>
#include <QTabBar>

#include <algorithm>

#include "ui/toolkit/dialog.h"

CTabDialog::~CTabDialog() {
    for (const QPointer<CDialog>& p : m_pages) delete p.data();
    m_pages.clear();
}

bool CTabDialog::Attach(CDialog* host, int tabControlId) {
    if (!host || m_control) return false;
    QWidget* control = host->GetDlgItem(tabControlId);
    if (!control) return false;
    m_control = control;
    m_bar = new QTabBar(control);
    m_bar->setObjectName(QStringLiteral("tabBar"));
    m_bar->setDrawBase(true);
    m_bar->setExpanding(false);
    m_bar->setIconSize(QSize(16, 16));
    m_bar->setGeometry(0, 0, control->width(), m_bar->sizeHint().height());
    // A click on the tab strip gives it the keyboard focus, and it keeps it
    // after the page changes: Escape then reaches the host (which closes),
    // and the arrow keys move between the tabs.
    m_bar->setFocusPolicy(Qt::StrongFocus);
    m_bar->show();
    // Only the user changes the selection with signals on (SetCurSel and
    // AddTab block them).
    connect(m_bar, &QTabBar::currentChanged, this, [this](int) {
        m_noSelection = false;
        OnSelChange();
        m_bar->setFocus(Qt::MouseFocusReason);
    });
    // With the selection cleared, a click on the still highlighted tab selects it again.
    connect(m_bar, &QTabBar::tabBarClicked, this, [this](int index) {
        if (m_noSelection && index >= 0 && index == m_bar->currentIndex()) {
            m_noSelection = false;
            OnSelChange();
            m_bar->setFocus(Qt::MouseFocusReason);
        }
    });
    return true;
}

void CTabDialog::SetImageList(const QPixmap& strip) {
    m_images.clear();
    if (strip.isNull()) return;
    for (int x = 0; x + 16 <= strip.width(); x += 16) {
        QPixmap cell = strip.copy(x, 0, 16, 16);
        cell.setMask(cell.createMaskFromColor(Qt::white, Qt::MaskInColor));
        m_images.append(cell);
    }
}

QRect CTabDialog::PageRect() const {
    if (!m_control) return {};
    // The display area: below the tab row, inside the control's frame.
    const int barH = m_bar ? m_bar->height() : 0;
    QRect display(QPoint(4, barH + 2), QPoint(m_control->width() - 5, m_control->height() - 5));
    display.setBottom(display.bottom() + 2);
    display.setLeft(2);
    return display;
}

void CTabDialog::AddTab(const QString& title, CDialog* page, unsigned templateId, int image) {
    if (!page) return;
    if (!m_bar) {
        // Without a tab control there is nowhere to put the page; it is still ours.
        m_pages.append(page);
        return;
    }
    if (page->Template().id != static_cast<int>(templateId))
        qWarning("CTabDialog::AddTab: page template %d, asked for %u", page->Template().id, templateId);

    // Adding the first tab highlights it (as a tab control does); that is no
    // user's click, so no page is selected by it.
    {
        const QSignalBlocker block(m_bar);
        const int index = m_bar->addTab(title);
        if (image >= 0 && image < m_images.size()) m_bar->setTabIcon(index, QIcon(m_images.at(image)));
    }
    // The tab row has its height once it holds a tab.
    m_bar->setGeometry(0, 0, m_control->width(), m_bar->sizeHint().height());
    page->Create(m_control);
    const QRect r = PageRect();
    page->setMinimumSize(0, 0);
    page->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    page->setGeometry(r);
    page->hide();
    m_pages.append(page);
}

CDialog* CTabDialog::Page(int index) const {
    if (index < 0 || index >= m_pages.size()) return nullptr;
    return m_pages.at(index).data();
}

void CTabDialog::SelectTab(int index) {
    if (CDialog* shown = Page(m_current)) shown->hide();
    if (CDialog* page = Page(index)) {
        page->show();
        page->setFocus(Qt::OtherFocusReason);
    }
    m_current = index;
}

void CTabDialog::SetCurSel(int index) {
    if (!m_bar) return;
    const QSignalBlocker block(m_bar);
    if (index >= 0 && index < m_bar->count()) {
        m_bar->setCurrentIndex(index);
        m_noSelection = false;
    } else {
        // A tab bar always highlights one of its tabs; "no selection" is kept here.
        m_noSelection = true;
    }
}

int CTabDialog::GetCurSel() const {
    if (!m_bar || m_noSelection) return -1;
    return m_bar->currentIndex();
}

void CTabDialog::OnSelChange() {
    const int sel = GetCurSel();
    if (sel >= 0) SelectTab(sel);
}

void CTabDialog::DestroyPages() {
    for (const QPointer<CDialog>& p : m_pages)
        if (p) p->DestroyWindow();
}

int CTabDialog::ClampSelection(int stored, int count) {
    if (count <= 0) return 0;
    return std::min(std::max(stored, 0), count - 1);
}

void CTabDialog::RestoreSelection(int stored) {
    const int sel = ClampSelection(stored, PageCount());
    SetCurSel(sel);
    SelectTab(sel);
}
