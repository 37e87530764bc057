#pragma once
// The modal About box (template 169): product name, user-interface version,
// the maker's block with the after-sales contacts, and a web link.
#include <QFont>

#include "ui/toolkit/dialog.h"

class CHyperLink;

class CDlgAbout : public CDialog {
    Q_OBJECT
public:
    enum : int {
        IDD = 169,
        IDC_TITLE = 1159,
        IDC_VERSION = 1022,
        IDC_MAKER = 1065,
        IDC_LINK = 1158,
    };

    explicit CDlgAbout(QWidget* parent = nullptr);

    CHyperLink* Link() const { return m_link; }
    static QString TitleText();
    static QString VersionText();
    static QString MakerText();
    static QString WebAddress();
    static QString LinkTooltip();

protected:
    bool OnInitDialog() override;

private:
    QFont m_titleFont;
    QFont m_versionFont;
    CHyperLink* m_link = nullptr;
};
