#pragma once
// Small control helpers the configuration pages share: list boxes filled and
// selected by index with "no selection" kept as -1, and an edit field's text
// as a bounded byte string for the number conversions.
#include "ui/toolkit/dialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QString>

#include <string>

namespace cfgui {

// Inserts the texts at their indices and leaves the list without a
// selection, as a freshly filled drop-down list is.
inline void FillList(CDialog* dlg, int id, const char* const* texts, int count) {
    auto* c = dlg->Item<QComboBox>(id);
    if (!c) return;
    c->clear();
    for (int i = 0; i < count; ++i) c->insertItem(i, QString::fromUtf8(texts[i]));
    c->setCurrentIndex(-1);
}

// The selected index, -1 when nothing is selected.
inline int CurSel(const CDialog* dlg, int id) {
    auto* c = dlg->Item<QComboBox>(id);
    return c ? c->currentIndex() : -1;
}

// Selects the entry at index; an index outside the list clears the selection.
inline void SetCurSel(CDialog* dlg, int id, int index) {
    auto* c = dlg->Item<QComboBox>(id);
    if (!c) return;
    c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
}

// The field's text, at most maxChars characters, as UTF-8 for the conversions.
inline std::string FieldText(const CDialog* dlg, int id, int maxChars = 255) {
    return dlg->GetDlgItemText(id).left(maxChars).toStdString();
}

// Group box captions: the template's "&&" reaches the box as "&", which a
// group box takes as a mnemonic; doubled again, it shows as one "&".
inline void ShowGroupAmpersands(CDialog* dlg) {
    for (QGroupBox* g : dlg->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly)) {
        QString title = g->title();
        g->setTitle(title.replace(QLatin1Char('&'), QStringLiteral("&&")));
    }
}

}  // namespace cfgui
