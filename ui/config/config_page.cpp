#include "ui/config/config_page.h"

#include "device/object_access.h"
#include "device/object_dictionary.h"
#include "ui/config/config_controls.h"
#include "ui/config/config_io.h"

CConfigPage::CConfigPage(const DialogTemplate& tmpl, std::span<const List> lists, Fields edited, QWidget* parent)
    : CDialogCommon(tmpl, parent), m_lists(lists), m_edited(edited) {}

bool CConfigPage::OnInitDialog() {
    CDialogCommon::OnInitDialog();
    for (const NumberField& f : m_edited) LimitText(f.id, cfgui::kFieldLimit);
    for (const List& l : m_lists) cfgui::FillList(this, l.id, l.texts, l.count);
    LoadFromDevice();
    return true;
}

void CConfigPage::LoadFields(Fields fields) {
    for (const NumberField& f : fields) {
        if (od::Find(f.object)->type == OBJ_INT32) {
            int32_t value = 0;
            const bool ok = cfgio::ReadInt32(f.object, &value);
            SetDlgItemText(f.id, ok ? QString::number(value) : QString());
        } else {
            float value = 0;
            const bool ok = cfgio::ReadFloat(f.object, &value);
            SetDlgItemDouble(f.id, value, ok);
        }
    }
}

void CConfigPage::ApplyFields(Fields fields) {
    for (const NumberField& f : fields) {
        const std::string text = cfgui::FieldText(this, f.id);
        if (cfgio::IsBlankText(text)) continue;
        // Every edited number field is limited (the catalogue's kConfigFields).
        const od::Limits limits = *od::PageLimits(f.object);
        if (od::Find(f.object)->type == OBJ_INT32)
            cfgio::WriteInt32(f.object, cfgio::LimitedUnsigned(text, static_cast<int32_t>(limits.minimum),
                                                                static_cast<int32_t>(limits.maximum)));
        else
            cfgio::WriteFloat(f.object, cfgio::LimitedFloat(text, limits.minimum, limits.maximum));
    }
}
