#pragma once
// Small control helpers the configuration pages share: list boxes filled and
// selected by index with "no selection" kept as -1, and an edit field's text
// as a bounded byte string for the number conversions.
#include "ui/toolkit/dialog.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
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

// A push button whose caption wraps onto more lines: the button keeps its
// text (drawn transparent) and a word-wrapping label inside it shows it.
inline void WrapButtonCaption(CDialog* dlg, int id) {
    auto* b = dlg->Item<QPushButton>(id);
    if (!b || b->findChild<QLabel*>(QStringLiteral("caption"))) return;
    auto* label = new QLabel(b->text(), b);
    label->setObjectName(QStringLiteral("caption"));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    label->setForegroundRole(QPalette::WindowText);  // not the button's (hidden) ButtonText
    QPalette own = b->palette();
    own.setColor(QPalette::WindowText, own.color(QPalette::Active, QPalette::ButtonText));
    own.setColor(QPalette::Disabled, QPalette::WindowText, own.color(QPalette::Disabled, QPalette::ButtonText));
    label->setPalette(own);
    label->setGeometry(b->rect().adjusted(3, 1, -3, -1));
    QPalette hidden = b->palette();
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        hidden.setColor(g, QPalette::ButtonText, Qt::transparent);
    b->setPalette(hidden);
    label->show();
}

}  // namespace cfgui
