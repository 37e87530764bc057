#pragma once
// Small control helpers the configuration pages share, on top of the
// toolkit's control calls: drop-down lists filled by index and left without a
// selection, number fields limited in length, and an edit field's text as a
// byte string for the number conversions.
#include "ui/toolkit/dialog.h"

#include <QPushButton>
#include <QString>
#include <QVariant>

#include <string>

namespace cfgui {

// The most characters a number field takes (typed or set).
constexpr int kFieldLimit = 255;

// Fills the list with the texts at their indices and leaves it without a
// selection, as a freshly filled drop-down list is.
inline void FillList(CDialog* dlg, int id, const char* const* texts, int count) {
    dlg->ComboResetContent(id);
    for (int i = 0; i < count; ++i) dlg->ComboAddString(id, QString::fromUtf8(texts[i]));
    dlg->ComboSetCurSel(id, -1);
}

// The field's text, at most maxChars characters, as UTF-8 for the conversions.
// Fields limited with LimitText(id, kFieldLimit) never hold more.
inline std::string FieldText(const CDialog* dlg, int id, int maxChars = kFieldLimit) {
    return dlg->GetDlgItemText(id).left(maxChars).toStdString();
}

// A push button whose caption wraps onto further lines within the button,
// for a template that does not carry CS_MULTILINE on it: the button is given
// that style and its caption again, which the toolkit then wraps.
// GetDlgItemText keeps giving the caption unwrapped.
inline void WrapButtonCaption(CDialog* dlg, int id) {
    auto* b = dlg->Item<QPushButton>(id);
    if (!b) return;
    const uint style = b->property("ctrlStyle").toUInt();
    if (style & CS_MULTILINE) return;  // the template wraps it already
    const QString caption = dlg->GetDlgItemText(id);
    b->setProperty("ctrlStyle", style | CS_MULTILINE);
    b->setProperty("caption", caption);
    dlg->SetDlgItemText(id, caption);
}

}  // namespace cfgui
