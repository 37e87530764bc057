#pragma once
// CDlgConfigCompare: the window "Compare Configuration". One row per object
// of a configuration file beside the module's value; rows that differ are
// marked and checked. "Apply Selected" hands the checked rows to the
// configuration window, which writes them, flashes, reloads its pages and
// gives the read-back to ShowReadBack; "Cancel" closes without writing.
#include "app/config_compare.h"
#include "ui/toolkit/dialog.h"

#include <functional>
#include <vector>

class CDlgConfigCompare : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 180,
        IDC_ROWS = 1401,
        IDC_SUMMARY = 1402,
        IDC_APPLY_SELECTED = 1403,
    };
    // Columns of the rows.
    enum : int { COL_OBJECT = 0, COL_MNEMONIC, COL_INDEX, COL_MODULE, COL_FILE, COL_NOTE, kColumns };

    explicit CDlgConfigCompare(QWidget* owner = nullptr);
    ~CDlgConfigCompare() override;

    // Shows the rows of `file` (its path in the title line) and checks those
    // that differ.
    void SetRows(const std::string& file, std::vector<CompareRow> rows);
    const std::vector<CompareRow>& Rows() const { return m_rows; }
    bool IsChecked(int row) const;
    void SetChecked(int row, bool checked);

    // Marks each row the module did not keep with the value it kept; the
    // summary says how the write went (`error` empty when it went through).
    void ShowReadBack(const std::vector<ReadBack>& results, const std::string& error);

    // Given by the configuration window: writes the checked rows.
    std::function<void(const std::vector<CompareRow>& rows)> applySelected;

    void OnCommand(int id) override;

protected:
    bool OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override { hide(); }

private:
    void ShowSummary();

    std::string m_file;
    std::vector<CompareRow> m_rows;
};
