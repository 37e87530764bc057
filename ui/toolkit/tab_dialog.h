#pragma once
// A tab control that hosts one child dialog (page) per tab. It binds to the
// Tab control of its host's template: a tab bar along the top of that
// control, and the pages in the display area below it. Exactly one page is
// shown at a time; SelectTab chooses it, the user's click on a tab follows.
#include <QList>
#include <QObject>
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QTabBar>

#include "ui/toolkit/dialog.h"


class CTabDialog : public QObject {
    Q_OBJECT
public:
    CTabDialog() = default;
    // Deletes every page object.
    ~CTabDialog() override;

    // Binds to the Tab control tabControlId of the host; false if it has none.
    bool Attach(CDialog* host, int tabControlId);
    // The tab images: a strip of 16x16 cells, white is transparent.
    void SetImageList(const QPixmap& strip);
    int ImageCount() const { return static_cast<int>(m_images.size()); }

    // Appends a tab (with the cell image when image >= 0) and creates the
    // page's window hidden in the display area. Takes ownership of the page.
    // Does not select the new tab.
    void AddTab(const QString& title, CDialog* page, unsigned templateId, int image);
    // Hides the shown page, shows and focuses page index when it exists, and
    // stores index as the current page, valid or not. Leaves the tab bar's
    // highlight alone (see SetCurSel).
    void SelectTab(int index);
    // Highlights a tab without changing the page (TCM_SETCURSEL); an index
    // outside the tabs clears the selection.
    void SetCurSel(int index);
    // The selected tab, -1 when there is none.
    int GetCurSel() const;
    // The user changed the selection: follow it when a tab is selected.
    void OnSelChange();
    // Destroys every page's window (OnDestroy of each page).
    void DestroyPages();

    int CurrentPage() const { return m_current; }
    int PageCount() const { return static_cast<int>(m_pages.size()); }
    CDialog* Page(int index) const;
    QTabBar* TabBar() const { return m_bar; }
    QWidget* Control() const { return m_control; }
    // The rectangle AddTab gives a page, in the tab control's coordinates.
    QRect PageRect() const;

    // The remembered selection restored for count pages: clamped to 0..count-1.
    static int ClampSelection(int stored, int count);
    // Highlights and shows the remembered page, clamped to the pages there are.
    void RestoreSelection(int stored);

private:
    QPointer<QWidget> m_control;
    QPointer<QTabBar> m_bar;
    QList<QPixmap> m_images;
    int m_current = -1;
    bool m_noSelection = false;  // SetCurSel cleared the selection
    QList<QPointer<CDialog>> m_pages;
};
