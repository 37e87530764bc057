// Turns the user manual (Markdown) into the PDF that the Help button opens:
// A4, DejaVu Sans, a title page with the program's version, no heading left
// at the foot of a page, page numbers in the footer.
// Usage: tarvik-helpdoc HELP_MD OUTPUT_PDF [PREVIEW_DIR]
//   PREVIEW_DIR, when given, also receives every page as page-NN.png.
// Runs without a display (QT_QPA_PLATFORM=offscreen).
#include "app/version.h"

#include <QAbstractTextDocumentLayout>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>

namespace {

constexpr int kDpi = 300;           // resolution of the PDF's painter
constexpr double kMarginMm = 18.0;  // page margin on every side
constexpr double kFooterMm = 8.0;   // footer band inside the bottom margin

QFont BodyFont() {
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(9.5);
    return f;
}

// Spacing, monospace runs and table frames. The layout takes these lengths
// as pixels of a 96 dpi screen and scales them to the PDF, so pt = 96 / 72.
void Style(QTextDocument& doc) {
    const double pt = 96.0 / 72.0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        QTextBlockFormat f = b.blockFormat();
        const int level = f.headingLevel();
        const bool codeBlock = f.hasProperty(QTextFormat::BlockCodeFence) || f.nonBreakableLines();
        if (level > 0) {
            f.setTopMargin((level == 1 ? 16 : level == 2 ? 12 : 8) * pt);
            f.setBottomMargin((level == 1 ? 10 : 4) * pt);
        } else if (codeBlock) {
            f.setLeftMargin(8 * pt);
            f.setBackground(QColor(0xf0, 0xf0, 0xf0));
            f.setBottomMargin(0);
        } else if (b.textList()) {
            f.setBottomMargin(2 * pt);
        } else {
            f.setBottomMargin(5 * pt);
        }
        QTextCursor c(b);
        c.setBlockFormat(f);
        // Code (inline and fenced) in DejaVu Sans Mono.
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (!codeBlock && !frag.charFormat().fontFixedPitch()) continue;
            QTextCursor r(&doc);
            r.setPosition(frag.position());
            r.setPosition(frag.position() + frag.length(), QTextCursor::KeepAnchor);
            QTextCharFormat cf;
            cf.setFontFamilies({QStringLiteral("DejaVu Sans Mono")});
            cf.setFontPointSize(8.5);
            r.mergeCharFormat(cf);
        }
    }
    for (QTextFrame* frame : doc.rootFrame()->childFrames()) {
        auto* table = qobject_cast<QTextTable*>(frame);
        if (!table) continue;
        QTextTableFormat tf = table->format();
        tf.setBorderCollapse(true);
        tf.setBorder(1);
        tf.setBorderBrush(QColor(0x90, 0x90, 0x90));
        tf.setCellSpacing(0);
        tf.setCellPadding(2 * pt);
        tf.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tf.setWidth(QTextLength(QTextLength::PercentageLength, 100));
        tf.setBottomMargin(6 * pt);
        table->setFormat(tf);
    }
}

// A copy of the styled text with page breaks before the given blocks, laid
// out for the page body (sizes in the device's pixels). The styling is done
// before the copy has a layout: each change to a laid-out document lays it
// out again.
std::unique_ptr<QTextDocument> LayOut(const QTextDocument& styled, QPaintDevice* device, const QSizeF& body,
                                      const std::set<int>& breaks) {
    std::unique_ptr<QTextDocument> doc(styled.clone());
    for (int n : breaks) {
        const QTextBlock b = doc->findBlockByNumber(n);
        QTextBlockFormat f = b.blockFormat();
        f.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        QTextCursor(b).setBlockFormat(f);
    }
    doc->documentLayout()->setPaintDevice(device);
    doc->setPageSize(body);
    doc->pageCount();  // the whole layout, now
    return doc;
}

// A heading low on a page moves to the next one, with its text: a top-level
// section starts on a new page unless more than 40 % of the page is left,
// any other heading when less than 12 % is left. Each break moves what
// follows, so the text is laid out again after each one (a fresh copy:
// changing a laid-out document in place misplaces blocks).
std::unique_ptr<QTextDocument> LoadDocument(const QString& markdown, QPaintDevice* device, const QSizeF& body) {
    QTextDocument styled;
    styled.setDefaultFont(BodyFont());
    styled.setDocumentMargin(0);
    styled.setMarkdown(markdown, QTextDocument::MarkdownDialectGitHub);
    Style(styled);
    std::set<int> breaks;
    for (;;) {
        std::unique_ptr<QTextDocument> doc = LayOut(styled, device, body, breaks);
        QAbstractTextDocumentLayout* layout = doc->documentLayout();
        bool added = false;
        for (QTextBlock b = doc->begin().next(); b.isValid() && !added; b = b.next()) {
            const int level = b.blockFormat().headingLevel();
            if (level == 0 || breaks.count(b.blockNumber())) continue;
            const double top = layout->blockBoundingRect(b).top();
            const double onPage = top - std::floor(top / body.height()) * body.height();
            if (onPage <= body.height() * (level == 1 ? 0.6 : 0.88)) continue;
            breaks.insert(b.blockNumber());
            added = true;
        }
        if (!added) return doc;
    }
}

// The first line of the Markdown ("# Title") names the manual.
QString TitleOf(const QString& markdown) {
    const QString first = markdown.section(QLatin1Char('\n'), 0, 0).trimmed();
    return first.startsWith(QLatin1String("# ")) ? first.mid(2).trimmed() : QStringLiteral("Tarvik UI");
}

// Paints every page through newPage (called before each page but the first).
int PaintPages(QPainter& p, const QRectF& page, QTextDocument& doc, const QString& title,
               const std::function<void()>& newPage) {
    const double mm = page.width() / 210.0;
    const QRectF body(kMarginMm * mm, kMarginMm * mm, page.width() - 2 * kMarginMm * mm,
                      page.height() - 2 * kMarginMm * mm);
    const QString version = QStringLiteral("Version %1").arg(QString::fromUtf8(UiVersionString()));

    // Title page.
    QFont big = BodyFont();
    big.setPointSizeF(28);
    big.setBold(true);
    p.setFont(big);
    p.drawText(QRectF(body.left(), body.top() + body.height() * 0.3, body.width(), body.height() * 0.1),
               Qt::AlignHCenter | Qt::AlignBottom, title);
    QFont sub = BodyFont();
    sub.setPointSizeF(14);
    p.setFont(sub);
    p.drawText(QRectF(body.left(), body.top() + body.height() * 0.42, body.width(), body.height() * 0.1),
               Qt::AlignHCenter | Qt::AlignTop, version);

    // The manual, one body height per page; the footer tells the page number.
    const int pages = doc.pageCount();
    QFont small = BodyFont();
    small.setPointSizeF(8);
    for (int i = 0; i < pages; ++i) {
        newPage();
        p.save();
        p.translate(body.topLeft());
        const QRectF slice(0, i * body.height(), body.width(), body.height());
        p.translate(0, -slice.top());
        p.setClipRect(slice);
        QAbstractTextDocumentLayout::PaintContext ctx;
        ctx.clip = slice;
        doc.documentLayout()->draw(&p, ctx);
        p.restore();
        p.setFont(small);
        const QRectF footer(body.left(), page.height() - kMarginMm * mm, body.width(), kFooterMm * mm);
        p.drawText(footer, Qt::AlignLeft | Qt::AlignVCenter, title + QStringLiteral(" ") + version);
        p.drawText(footer, Qt::AlignRight | Qt::AlignVCenter,
                   QStringLiteral("Page %1 of %2").arg(i + 2).arg(pages + 1));
    }
    return pages + 1;
}

QSizeF BodySize(const QRectF& page) {
    const double mm = page.width() / 210.0;
    return QSizeF(page.width() - 2 * kMarginMm * mm, page.height() - 2 * kMarginMm * mm);
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: tarvik-helpdoc HELP_MD OUTPUT_PDF [PREVIEW_DIR]\n");
        return 2;
    }
    QFile in(QString::fromLocal8Bit(argv[1]));
    if (!in.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "tarvik-helpdoc: cannot read %s\n", argv[1]);
        return 1;
    }
    const QString markdown = QString::fromUtf8(in.readAll());
    const QString title = TitleOf(markdown);

    const QString outPath = QString::fromLocal8Bit(argv[2]);
    QPdfWriter pdf(outPath);
    pdf.setResolution(kDpi);
    pdf.setTitle(title);
    pdf.setCreator(QStringLiteral("tarvik-helpdoc"));
    pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    const QRectF page(QPointF(0, 0), QSizeF(pdf.width(), pdf.height()));

    QPainter p;
    if (!p.begin(&pdf)) {
        std::fprintf(stderr, "tarvik-helpdoc: cannot write %s\n", argv[2]);
        return 1;
    }
    // The layout measures text at the PDF's own resolution.
    const std::unique_ptr<QTextDocument> doc = LoadDocument(markdown, &pdf, BodySize(page));
    const int pages = PaintPages(p, page, *doc, title, [&] { pdf.newPage(); });
    if (!p.end()) {
        std::fprintf(stderr, "tarvik-helpdoc: cannot write %s\n", argv[2]);
        QFile::remove(outPath);
        return 1;
    }
    std::printf("tarvik-helpdoc: %s, %d pages\n", argv[2], pages);

    // Preview: the same pages as pictures at the PDF's resolution.
    if (argc > 3) {
        const QString dir = QString::fromLocal8Bit(argv[3]);
        QDir().mkpath(dir);
        QImage img(int(page.width()), int(page.height()), QImage::Format_RGB32);
        const int dpm = int(kDpi / 0.0254 + 0.5);
        img.setDotsPerMeterX(dpm);
        img.setDotsPerMeterY(dpm);
        img.fill(Qt::white);
        int n = 0;
        QPainter ip(&img);
        auto save = [&] {
            ip.end();
            img.save(QStringLiteral("%1/page-%2.png").arg(dir).arg(++n, 2, 10, QLatin1Char('0')));
            img.fill(Qt::white);
            ip.begin(&img);
        };
        PaintPages(ip, page, *doc, title, save);
        ip.end();
        img.save(QStringLiteral("%1/page-%2.png").arg(dir).arg(++n, 2, 10, QLatin1Char('0')));
    }
    return 0;
}
