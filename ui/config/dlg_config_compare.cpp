#include "ui/config/dlg_config_compare.h"

#include <QBrush>
#include <QColor>
#include <QHeaderView>
#include <QTreeWidget>

namespace {

using W = CDlgConfigCompare;

const ControlDef kControlsCompare[] = {
    {W::IDC_ROWS, ControlKind::ListView, nullptr, 7, 7, 356, 178, CS_TABSTOP | CS_BORDER},
    {W::IDC_SUMMARY, ControlKind::Static, "", 7, 189, 240, 24},
    {W::IDC_APPLY_SELECTED, ControlKind::PushButton, "Apply Selected", 251, 199, 60, 14, CS_TABSTOP},
    {IDCANCEL, ControlKind::PushButton, "Cancel", 315, 199, 48, 14, CS_TABSTOP},
};

const DialogTemplate kTemplateCompare{W::IDD, "Compare Configuration", 370, 220, false, kControlsCompare,
                                      int(sizeof(kControlsCompare) / sizeof(kControlsCompare[0]))};

const QColor kDiffers(255, 244, 200);   // the row differs from the module
const QColor kNotKept(255, 210, 205);   // the module did not keep the written value

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

CDlgConfigCompare::CDlgConfigCompare(QWidget* owner) : CDialog(kTemplateCompare, owner) {}

CDlgConfigCompare::~CDlgConfigCompare() { DestroyWindow(); }

bool CDlgConfigCompare::OnInitDialog() {
    CDialog::OnInitDialog();
    auto* list = Item<QTreeWidget>(IDC_ROWS);
    list->setColumnCount(kColumns);
    list->setHeaderLabels({QStringLiteral("Object"), QStringLiteral("Mnemonic"), QStringLiteral("Index"),
                           QStringLiteral("Module"), QStringLiteral("File"), QStringLiteral("Note")});
    list->header()->setStretchLastSection(true);
    return true;
}

void CDlgConfigCompare::SetRows(const std::string& file, std::vector<CompareRow> rows) {
    if (!IsCreated()) Create(nullptr);
    m_file = file;
    m_rows = std::move(rows);
    auto* list = Item<QTreeWidget>(IDC_ROWS);
    list->clear();
    char index[8];
    for (const CompareRow& r : m_rows) {
        std::snprintf(index, sizeof index, "0x%02x", unsigned(r.index));
        auto* item = new QTreeWidgetItem(list, {Q(r.label), Q(r.mnemonic), QString::fromLatin1(index),
                                                Q(r.moduleValue), Q(r.writeValue), Q(r.note)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(COL_OBJECT, r.differs ? Qt::Checked : Qt::Unchecked);
        if (r.differs)
            for (int c = 0; c < kColumns; ++c) item->setBackground(c, QBrush(kDiffers));
    }
    for (int c = 0; c < COL_NOTE; ++c) list->resizeColumnToContents(c);
    EnableDlgItem(IDC_APPLY_SELECTED, true);
    ShowSummary();
}

bool CDlgConfigCompare::IsChecked(int row) const {
    const QTreeWidgetItem* item = Item<QTreeWidget>(IDC_ROWS)->topLevelItem(row);
    return item && item->checkState(COL_OBJECT) == Qt::Checked;
}

void CDlgConfigCompare::SetChecked(int row, bool checked) {
    if (QTreeWidgetItem* item = Item<QTreeWidget>(IDC_ROWS)->topLevelItem(row))
        item->setCheckState(COL_OBJECT, checked ? Qt::Checked : Qt::Unchecked);
}

void CDlgConfigCompare::ShowSummary() {
    size_t differ = 0, limited = 0;
    for (const CompareRow& r : m_rows) {
        differ += r.differs;
        limited += r.limited;
    }
    std::string text = m_file + "\n" + std::to_string(m_rows.size()) + " objects, " + std::to_string(differ) +
                       " differ";
    if (limited) text += "; " + std::to_string(limited) + " limited to the pages' ranges";
    SetDlgItemText(IDC_SUMMARY, Q(text));
}

void CDlgConfigCompare::OnCommand(int id) {
    if (id == IDC_APPLY_SELECTED && applySelected) {
        std::vector<CompareRow> checked;
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (IsChecked(int(i))) checked.push_back(m_rows[i]);
        if (!checked.empty()) applySelected(checked);
    }
    CDialog::OnCommand(id);
}

void CDlgConfigCompare::ShowReadBack(const std::vector<ReadBack>& results, const std::string& error) {
    auto* list = Item<QTreeWidget>(IDC_ROWS);
    int notKept = 0;
    for (const ReadBack& b : results) {
        for (size_t i = 0; i < m_rows.size(); ++i) {
            if (m_rows[i].info != b.write.info) continue;
            QTreeWidgetItem* item = list->topLevelItem(int(i));
            m_rows[i].moduleValue = b.kept;
            m_rows[i].differs = b.keptDiffers;
            item->setText(COL_MODULE, Q(b.kept));
            item->setCheckState(COL_OBJECT, Qt::Unchecked);
            const QColor colour = b.keptDiffers ? kNotKept : QColor(Qt::white);
            for (int c = 0; c < kColumns; ++c) item->setBackground(c, QBrush(colour));
            if (b.keptDiffers) {
                item->setText(COL_NOTE, Q("not kept: the module holds " + b.kept));
                ++notKept;
            }
        }
    }
    std::string text = m_file + "\n";
    if (!error.empty()) text += error;
    else if (notKept) text += std::to_string(notKept) + " of " + std::to_string(results.size()) +
                              " written objects not kept";
    else text += std::to_string(results.size()) + " objects written and kept";
    SetDlgItemText(IDC_SUMMARY, Q(text));
}
