#include "ui/about/dlg_about.h"

#include "app/version.h"
#include "device/object_dictionary.h"
#include "ui/about/hyper_link.h"

namespace {

const ControlDef kControls[] = {
    {CDlgAbout::IDC_TITLE, ControlKind::Static, "", 7, 7, 253, 19},
    {CDlgAbout::IDC_VERSION, ControlKind::Static, "", 7, 27, 253, 12},
    {CDlgAbout::IDC_MAKER, ControlKind::StaticBorder, "", 7, 43, 253, 68},
    {CDlgAbout::IDC_LINK, ControlKind::Static, "", 7, 121, 132, 8, CS_NOTIFY},
    {IDCANCEL, ControlKind::PushButton, "Close", 210, 118, 50, 14, CS_TABSTOP},
};

const DialogTemplate kTemplate{CDlgAbout::IDD, "About", 267, 139, false, kControls,
                               int(sizeof kControls / sizeof kControls[0])};

// An Arial font of a given pixel height and average character width.
QFont ArialFont(int heightPx, int widthPx) {
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(heightPx);
    f.setWeight(QFont::Normal);  // weight 1 has no face of its own: regular Arial
    const int natural = CDialog::BaseUnitX(f);
    if (natural > 0) f.setStretch(qBound(50, widthPx * 100 / natural, 200));
    return f;
}

}  // namespace

QString CDlgAbout::TitleText() { return QStringLiteral("Tarvik UI"); }

QString CDlgAbout::VersionText() {
    return QStringLiteral("UI Version ") + QString::fromLatin1(UiVersionString().c_str());
}

QString CDlgAbout::MakerText() {
    return QStringLiteral("Kelvane Co., Ltd.\n"
                          "Model: Brisknode Tarvik\n"
                          "P. ID: ") +
           QLatin1String(od::kProductCode) +
           QStringLiteral("\n"
                          "\n"
                          // Tab stops fall every eight average characters: the one-tab labels
                          // run past the first stop and the address label stays short of it,
                          // so all four values start at the second stop.
                          "Service e-mail:\tsupport@kelvane.example\n"
                          "Service phone:\t+49 30 5550 1840 (Fax: +49 30 5550 1849)\n"
                          "Office:\t\tKelvane Customer Centre, Lindenweg 12, 10115 Berlin\n"
                          "Office hours:\tMon-Fri 9:00-17:00 (CET)\n");
}

QString CDlgAbout::WebAddress() { return QStringLiteral("https://www.kelvane.example/tarvik"); }

QString CDlgAbout::LinkTooltip() { return QStringLiteral("Please visit this homepage for more information."); }

CDlgAbout::CDlgAbout(QWidget* parent) : CDialog(kTemplate, parent) {}

bool CDlgAbout::OnInitDialog() {
    CDialog::OnInitDialog();

    // The link takes the place of static 1158, with its geometry and id.
    m_link = new CHyperLink(this);
    ReplaceDlgItem(IDC_LINK, m_link);

    m_titleFont = ArialFont(24, 10);
    m_versionFont = ArialFont(16, 6);
    if (QWidget* w = GetDlgItem(IDC_TITLE)) w->setFont(m_titleFont);
    if (QWidget* w = GetDlgItem(IDC_VERSION)) w->setFont(m_versionFont);

    SetDlgItemText(IDC_TITLE, TitleText());
    SetDlgItemText(IDC_VERSION, VersionText());
    SetDlgItemText(IDC_MAKER, MakerText());
    SetDlgItemText(IDC_LINK, WebAddress());
    m_link->SetURL(WebAddress());
    m_link->setToolTip(LinkTooltip());
    m_link->setCursor(Qt::PointingHandCursor);
    return true;
}
