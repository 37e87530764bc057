// Off-screen painting through a real control: drawn into the memory bitmap,
// copied by the paint handler, read back from the widget.
#include <gtest/gtest.h>

#include <QTest>

#include <functional>

#include "tests/support/window_fixture.h"
#include "ui/toolkit/custom_control.h"
#include "ui/toolkit/dialog.h"
#include "ui/toolkit/draw_context.h"

namespace {

using Draw = std::function<void(CDrawContext&)>;

class PlotControl : public CCustomControl {
public:
    Draw draw;
    COffscreenSurface surface;

protected:
    void OnSize(int w, int h) override {
        surface.Create(QSize(w, h));  // black
        CDrawContext dc(&surface.Image());
        dc.SetTextColor(Qt::white);
        draw(dc);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        surface.BlitTo(p, QPoint(0, 0));
    }
};

QImage Render(const Draw& draw, QSize size = QSize(120, 120)) {
    PlotControl c;
    c.draw = draw;
    c.resize(size);
    c.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&c));
    return c.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

bool Lit(const QImage& img, int x, int y) { return qGray(img.pixel(x, y)) > 64; }

QRect LitBox(const QImage& img) {
    QRect box;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (Lit(img, x, y)) box |= QRect(x, y, 1, 1);
    return box;
}

QRect TextAt(TextHAlign h, TextVAlign v, double angle = 0) {
    return LitBox(Render([=](CDrawContext& dc) {
        dc.SetFont(FontForCellHeight(18));
        dc.SetBkTransparent(true);
        dc.SetTextAlign(h, v);
        dc.SetTextAngle(angle);
        dc.TextOut(60, 60, QStringLiteral("HHH"));
    }));
}

}  // namespace

using DrawContext = WindowTest;

TEST_F(DrawContext, MergePenOrsCrossingCurves) {
    const QImage img = Render([](CDrawContext& dc) {
        dc.SetMixMode(MixMode::MergePen);
        dc.SetPen(PenStyle::Solid, 1, ColorFromRef(0x2020FF));
        dc.Polyline({QPoint(0, 10), QPoint(40, 10)});
        dc.SetPen(PenStyle::Solid, 1, ColorFromRef(0x00DF00));
        dc.Polyline({QPoint(20, 0), QPoint(20, 40)});
    });
    EXPECT_EQ(img.pixel(5, 10), qRgb(0xFF, 0x20, 0x20));
    EXPECT_EQ(img.pixel(20, 10), qRgb(0xFF, 0xFF, 0x20));
}

TEST_F(DrawContext, XorPenDrawnTwiceLeavesNoTrace) {
    const QImage img = Render([](CDrawContext& dc) {
        dc.SetMixMode(MixMode::XorPen);
        dc.SetPen(PenStyle::Solid, 1, QColor(128, 128, 128));
        for (int pass = 0; pass < 2; ++pass) dc.Polyline({QPoint(0, 30), QPoint(40, 30), QPoint(40, 0)});
        dc.Polyline({QPoint(0, 50), QPoint(40, 50)});  // once: it shows
    });
    EXPECT_EQ(img.pixel(20, 50), qRgb(128, 128, 128));
    EXPECT_EQ(img.pixel(20, 30), qRgb(0, 0, 0));
    EXPECT_EQ(img.pixel(40, 30), qRgb(0, 0, 0));  // the joint too: each pass draws it once
}

TEST_F(DrawContext, DottedPenAndLineEnds) {
    const QImage img = Render([](CDrawContext& dc) {
        dc.SetPen(PenStyle::Dot, 1, Qt::white);
        dc.MoveTo(0, 20);
        dc.LineTo(30, 20);
        dc.SetPen(PenStyle::Solid, 1, Qt::white);
        dc.MoveTo(0, 25);
        dc.LineTo(10, 25);
    });
    for (int x = 0; x < 12; ++x) EXPECT_EQ(Lit(img, x, 20), x % 6 < 3) << x;  // 3 on, 3 off
    EXPECT_TRUE(Lit(img, 9, 25));
    EXPECT_FALSE(Lit(img, 10, 25));  // a line stops before its end point
}

TEST_F(DrawContext, RectangleAndClip) {
    const QImage img = Render([](CDrawContext& dc) {
        dc.SetPen(PenStyle::Solid, 1, Qt::white);
        dc.SetNullBrush();
        dc.Rectangle(15, 12, 5, 5);  // corners in any order
        dc.SetClipRect(0, 30, 20, 40);
        dc.MoveTo(0, 35);
        dc.LineTo(60, 35);
    });
    EXPECT_TRUE(Lit(img, 5, 5) && Lit(img, 14, 11));
    EXPECT_FALSE(Lit(img, 15, 5) || Lit(img, 5, 12) || Lit(img, 10, 8));
    EXPECT_TRUE(Lit(img, 19, 35));
    EXPECT_FALSE(Lit(img, 20, 35));
}

TEST_F(DrawContext, TextAnchoredByItsAlignment) {
    const QRect rightBottom = TextAt(TextHAlign::Right, TextVAlign::Bottom);
    ASSERT_FALSE(rightBottom.isEmpty());
    EXPECT_LE(rightBottom.right(), 60);
    EXPECT_LT(rightBottom.bottom(), 60);
    const QRect leftTop = TextAt(TextHAlign::Left, TextVAlign::Top);
    EXPECT_GE(leftTop.left(), 60);
    EXPECT_GE(leftTop.top(), 60);
    const QRect centreBase = TextAt(TextHAlign::Center, TextVAlign::Baseline);
    EXPECT_TRUE(centreBase.left() < 60 && centreBase.right() > 60);
    EXPECT_TRUE(centreBase.bottom() <= 60 && centreBase.bottom() > 56);  // "H" sits on the baseline
}

TEST_F(DrawContext, TextTurnedUpwardsForAxisTitles) {
    const QRect box = TextAt(TextHAlign::Center, TextVAlign::Baseline, 90);
    ASSERT_FALSE(box.isEmpty());
    EXPECT_GT(box.height(), 2 * box.width());         // reads along y
    EXPECT_TRUE(box.top() < 60 && box.bottom() > 60);  // centred on the anchor
    EXPECT_TRUE(box.right() <= 61 && box.right() > 56);  // standing left of the upward baseline
    const QFontMetrics fm(FontForCellHeight(18));
    EXPECT_LE(fm.ascent() + fm.descent(), 18);
}

TEST_F(DrawContext, OpaqueTextFillsItsBox) {
    const QImage img = Render([](CDrawContext& dc) {
        dc.SetTextColor(Qt::black);  // on the initial opaque white background
        dc.TextOut(10, 10, QStringLiteral("."));
    });
    EXPECT_TRUE(Lit(img, 10, 10));  // the box's corner, not a glyph pixel
}
