// Off-screen painting through a real control: the plot is drawn into the
// memory bitmap and the paint handler copies it; the pixels are read back
// from the widget. Merge-pen mixing, dotted pens, GDI end points, anchored
// and rotated text, clipping.
#include <gtest/gtest.h>

#include <QPaintEvent>
#include <QTest>

#include <functional>

#include "ui/toolkit/custom_control.h"
#include "ui/toolkit/dialog.h"
#include "ui/toolkit/draw_context.h"

namespace {

class PlotControl : public CCustomControl {
public:
    std::function<void(CDrawContext&)> draw;
    COffscreenSurface surface;

protected:
    void OnSize(int w, int h) override {
        surface.Create(QSize(w, h));
        CDrawContext dc(&surface.Image());
        dc.FillRect(QRect(0, 0, w, h), Qt::black);
        if (draw) draw(dc);
    }
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        surface.BlitTo(p, QPoint(0, 0));
    }
};

QImage Render(const std::function<void(CDrawContext&)>& draw, QSize size = QSize(80, 60)) {
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

}  // namespace

TEST(DrawContext, MergePenOrsCrossingCurves) {
    const QImage img = Render([](CDrawContext& dc) {
        dc.SetMixMode(MixMode::MergePen);
        dc.SetPen(PenStyle::Solid, 1, ColorFromRef(0x2020FF));
        dc.MoveTo(0, 10);
        dc.LineTo(40, 10);
        dc.SetPen(PenStyle::Solid, 1, ColorFromRef(0x00DF00));
        dc.MoveTo(20, 0);
        dc.LineTo(20, 40);
    });
    EXPECT_EQ(img.pixel(5, 10), qRgb(0xFF, 0x20, 0x20));
    EXPECT_EQ(img.pixel(20, 10), qRgb(0xFF, 0xFF, 0x20));
}

TEST(DrawContext, DottedPenAndLineEndPixel) {
    const QImage img = Render([](CDrawContext& dc) {
        dc.SetPen(PenStyle::Dot, 1, Qt::white);
        dc.MoveTo(0, 20);
        dc.LineTo(30, 20);
        dc.SetPen(PenStyle::Solid, 1, Qt::white);
        dc.MoveTo(0, 25);
        dc.LineTo(10, 25);
    });
    const bool expected[] = {true, true, true, false, false, false, true, true, true, false};
    for (int x = 0; x < 10; ++x) EXPECT_EQ(Lit(img, x, 20), expected[x]) << x;
    EXPECT_TRUE(Lit(img, 9, 25));
    EXPECT_FALSE(Lit(img, 10, 25));  // a line stops before its end point
}

TEST(DrawContext, RectangleAndClip) {
    const QImage img = Render([](CDrawContext& dc) {
        dc.SetPen(PenStyle::Solid, 1, Qt::white);
        dc.SetNullBrush();
        dc.Rectangle(15, 12, 5, 5);  // corners in any order
        dc.SetClipRect(0, 30, 20, 40);
        dc.MoveTo(0, 35);
        dc.LineTo(60, 35);
    });
    EXPECT_TRUE(Lit(img, 5, 5));
    EXPECT_TRUE(Lit(img, 14, 11));
    EXPECT_FALSE(Lit(img, 15, 5));
    EXPECT_FALSE(Lit(img, 5, 12));
    EXPECT_FALSE(Lit(img, 10, 8));  // null brush: inside untouched
    EXPECT_TRUE(Lit(img, 19, 35));
    EXPECT_FALSE(Lit(img, 20, 35));
}

TEST(DrawContext, AnchoredText) {
    const auto at = [](TextHAlign h, TextVAlign v) {
        return LitBox(Render([=](CDrawContext& dc) {
            dc.SetBkTransparent(true);
            dc.SetTextColor(Qt::white);
            dc.SetTextAlign(h, v);
            dc.TextOut(60, 30, QStringLiteral("HH"));
        }, QSize(120, 60)));
    };
    const QRect rightBottom = at(TextHAlign::Right, TextVAlign::Bottom);
    ASSERT_FALSE(rightBottom.isEmpty());
    EXPECT_LE(rightBottom.right(), 60);
    EXPECT_LT(rightBottom.bottom(), 30);
    const QRect leftTop = at(TextHAlign::Left, TextVAlign::Top);
    EXPECT_GE(leftTop.left(), 60);
    EXPECT_GE(leftTop.top(), 30);
    const QRect centreBase = at(TextHAlign::Center, TextVAlign::Baseline);
    EXPECT_LT(centreBase.left(), 60);
    EXPECT_GT(centreBase.right(), 60);
    EXPECT_LE(centreBase.bottom(), 30);  // no descenders: all above the baseline
    EXPECT_GT(centreBase.bottom(), 25);
}

TEST(DrawContext, OpaqueTextFillsItsBox) {
    const QImage img = Render([](CDrawContext& dc) {
        dc.SetTextColor(Qt::black);
        dc.SetBkColor(Qt::white);
        dc.TextOut(10, 10, QStringLiteral("."));
    });
    EXPECT_TRUE(Lit(img, 10, 10));  // the box's corner, not a glyph pixel
}

TEST(DrawContext, TextTurnedUpwardsForAxisTitles) {
    const QRect box = LitBox(Render([](CDrawContext& dc) {
        dc.SetFont(FontForCellHeight(18));
        dc.SetBkTransparent(true);
        dc.SetTextColor(Qt::white);
        dc.SetTextAlign(TextHAlign::Center, TextVAlign::Baseline);
        dc.SetTextAngle(90);
        dc.TextOut(40, 60, QStringLiteral("HHHH"));
    }, QSize(80, 120)));
    ASSERT_FALSE(box.isEmpty());
    EXPECT_GT(box.height(), 2 * box.width());  // reads along y
    EXPECT_LT(box.top(), 60);                  // centred on the anchor's y
    EXPECT_GT(box.bottom(), 60);
    EXPECT_LE(box.right(), 41);  // the glyphs stand left of the upward baseline
}

TEST(DrawContext, FontByCellHeight) {
    const QFont f = FontForCellHeight(18);
    const QFontMetrics fm(f);
    EXPECT_LE(fm.ascent() + fm.descent(), 18);
    EXPECT_GE(fm.ascent() + fm.descent(), 14);
}
