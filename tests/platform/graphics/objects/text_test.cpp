// Fonts and text: metrics, extents, DrawText layout flags, anti-aliasing switch.
#include <gtest/gtest.h>

#include <set>

#include "platform/graphics/bitmap.h"

using namespace qel;

namespace {

// A white bitmap with a DejaVu font selected.
struct TTextFixture {
    TBitmap Bmp{200, 60};
    TTextFixture(int height = -11, TFontQuality quality = fqDefault) {
        Bmp.GetCanvas()->GetFont()->SetName("DejaVu Sans");
        Bmp.GetCanvas()->GetFont()->SetHeight(height);
        Bmp.GetCanvas()->GetFont()->SetQuality(quality);
        Bmp.GetCanvas()->GetFont()->SetColor(clBlack);
        Bmp.GetCanvas()->GetBrush()->SetStyle(bsClear);
        Bmp.GetCanvas()->RequiredState({csHandleValid, csFontValid, csBrushValid});
    }
    HDC DC() { return Bmp.GetCanvas()->GetHandle(); }
    std::set<uint32_t> Colors() {
        std::set<uint32_t> s;
        TDibPtr d = Bmp.GetDib();
        for (int y = 0; y < d->Height(); ++y)
            for (int x = 0; x < d->Width(); ++x) s.insert(d->Row(y)[x]);
        return s;
    }
    int64_t InkCount() {
        int64_t n = 0;
        TDibPtr d = Bmp.GetDib();
        for (int y = 0; y < d->Height(); ++y)
            for (int x = 0; x < d->Width(); ++x) n += d->Row(y)[x] != 0xFFFFFF;
        return n;
    }
};

} // namespace

TEST(FontFaces, ClassicNamesResolveToInstalledFonts) {
    for (const char* name : {"MS Sans Serif", "Arial", "Times New Roman", "Courier New", "Tahoma", "Verdana",
                             "System", "Small Fonts", "Symbol", "Wingdings", "No Such Face 123"}) {
        TResolvedFace f = ResolveFace(name, FW_NORMAL, false, 0);
        EXPECT_FALSE(f.File.empty()) << name;
    }
    EXPECT_NE(ResolveFace("Courier New", FW_NORMAL, false, 0).File,
              ResolveFace("Arial", FW_NORMAL, false, 0).File);
}

TEST(TextMetrics, CharacterAndCellHeights) {
    struct Case {
        int Height;
        bool Cell;
    } cases[] = {{-11, false}, {-13, false}, {-24, false}, {16, true}, {20, true}};
    for (auto c : cases) {
        TTextFixture fx(c.Height);
        TEXTMETRIC tm;
        ASSERT_TRUE(GetTextMetrics(fx.DC(), &tm));
        EXPECT_EQ(tm.tmHeight, tm.tmAscent + tm.tmDescent) << c.Height;
        EXPECT_GT(tm.tmAscent, tm.tmDescent);
        EXPECT_GT(tm.tmDescent, 0);
        if (c.Cell)
            EXPECT_EQ(tm.tmHeight, c.Height);
        else
            EXPECT_EQ(tm.tmHeight - tm.tmInternalLeading, -c.Height);
        EXPECT_GT(tm.tmAveCharWidth, 0);
        EXPECT_GE(tm.tmMaxCharWidth, tm.tmAveCharWidth);
        EXPECT_EQ(fx.Bmp.GetCanvas()->TextHeight("W"), tm.tmHeight);
    }
}

TEST(TextMetrics, ExtentsAddUp) {
    TTextFixture fx;
    TCanvas* c = fx.Bmp.GetCanvas();
    int w = c->TextWidth("W");
    EXPECT_GT(w, 0);
    EXPECT_EQ(c->TextWidth("WWW"), 3 * w);
    EXPECT_LT(c->TextWidth("iii"), c->TextWidth("WWW"));
    EXPECT_EQ(c->TextWidth(""), 0);
    EXPECT_EQ(c->TextWidth("ab"), c->TextWidth("a") + c->TextWidth("b"));
    SetTextCharacterExtra(fx.DC(), 2);
    EXPECT_EQ(GetTextExtent(fx.DC(), "WWW").cx, 3 * w + 6);
    // Bigger font, wider text.
    TTextFixture big(-22);
    EXPECT_GT(big.Bmp.GetCanvas()->TextWidth("Hello"), c->TextWidth("Hello"));
    // UTF-8 text measures per code point.
    EXPECT_EQ(c->TextWidth("\xC3\xA9\xC3\xA9"), 2 * c->TextWidth("\xC3\xA9"));
}

TEST(TextOut, NonAntialiasedTextUsesOnlyTheTwoColours) {
    TTextFixture mono(-14, fqNonAntialiased);
    mono.Bmp.GetCanvas()->TextOut(4, 4, "Hello, glyphs & masks");
    auto colors = mono.Colors();
    EXPECT_EQ(colors, (std::set<uint32_t>{0x000000, 0xFFFFFF}));

    TTextFixture aa(-14, fqAntialiased);
    aa.Bmp.GetCanvas()->TextOut(4, 4, "Hello, glyphs & masks");
    EXPECT_GT(aa.Colors().size(), 2u) << "anti-aliased text blends its edges";
}

TEST(TextOut, AlignmentAndOpaqueBackground) {
    TTextFixture fx(-14, fqNonAntialiased);
    HDC dc = fx.DC();
    int w = GetTextExtent(dc, "Abc").cx;
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(255, 0, 0));
    SetTextAlign(dc, TA_RIGHT | TA_BOTTOM);
    ASSERT_TRUE(TextOut(dc, 100, 40, "Abc"));
    TDibPtr d = fx.Bmp.GetDib();
    // The opaque cell spans [100 - w, 100) x [40 - tmHeight, 40).
    int red = 0;
    for (int y = 0; y < d->Height(); ++y)
        for (int x = 0; x < d->Width(); ++x)
            if (d->Row(y)[x] == 0xFF0000) {
                ++red;
                EXPECT_TRUE(x >= 100 - w && x < 100 && y >= 40 - tm.tmHeight && y < 40) << x << "," << y;
            }
    EXPECT_GT(red, 0);
    EXPECT_EQ(d->Row(40 - tm.tmHeight)[100 - w], 0xFF0000u);
}

TEST(TextOut, RotatedTextGoesUp) {
    TTextFixture fx(-14, fqNonAntialiased);
    fx.Bmp.SetSize(60, 200);
    fx.Bmp.GetCanvas()->FillRect(TRect(0, 0, 60, 200));
    fx.Bmp.GetCanvas()->GetFont()->SetOrientation(900);
    fx.Bmp.GetCanvas()->TextOut(20, 180, "Rotated text");
    TDibPtr d = fx.Bmp.GetDib();
    int minY = 1000, maxY = -1, minX = 1000, maxX = -1;
    for (int y = 0; y < d->Height(); ++y)
        for (int x = 0; x < d->Width(); ++x)
            if (d->Row(y)[x] == 0) {
                minY = std::min(minY, y), maxY = std::max(maxY, y);
                minX = std::min(minX, x), maxX = std::max(maxX, x);
            }
    ASSERT_GE(maxY, 0);
    EXPECT_LT(maxY, 181);
    EXPECT_GT(maxY - minY, 3 * (maxX - minX)) << "text at 90 degrees runs vertically";
    EXPECT_GE(minX, 20) << "with TA_TOP the glyphs lie to the right of the reference point";
}

TEST(DrawText, CalcRectCases) {
    TTextFixture fx;
    HDC dc = fx.DC();
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    auto extent = [&](const char* s) { return GetTextExtent(dc, s).cx; };
    struct Case {
        const char* Text;
        UINT Flags;
        int Width;   // rectangle width given
        int ExpectW; // -1: compare with ExpectWText
        const char* ExpectWText;
        int Lines;
    } cases[] = {
        {"File", DT_SINGLELINE, 500, -1, "File", 1},
        {"&File", DT_SINGLELINE, 500, -1, "File", 1},
        {"&File", DT_SINGLELINE | DT_NOPREFIX, 500, -1, "&File", 1},
        {"a&&b", DT_SINGLELINE, 500, -1, "a&b", 1},
        {"one\ntwo\nthree", 0, 500, -1, "three", 3},
        {"one\r\ntwo", DT_SINGLELINE, 500, -1, "onetwo", 1},
        {"", 0, 500, 0, nullptr, 0},
    };
    for (const Case& c : cases) {
        TRect r(10, 5, 10 + c.Width, 5);
        int h = DrawText(dc, c.Text, -1, &r, c.Flags | DT_CALCRECT);
        int want = c.ExpectW >= 0 ? c.ExpectW : extent(c.ExpectWText);
        EXPECT_EQ(r.Width(), want) << c.Text;
        EXPECT_EQ(h, c.Lines * tm.tmHeight) << c.Text;
        EXPECT_EQ(r.Height(), h) << c.Text;
        EXPECT_EQ(r.Left, 10);
        EXPECT_EQ(r.Top, 5);
    }
}

TEST(DrawText, WordBreakAndEllipsis) {
    TTextFixture fx;
    HDC dc = fx.DC();
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    int two = GetTextExtent(dc, "alpha beta").cx;
    TRect r(0, 0, two + 1, 0);
    int h = DrawText(dc, "alpha beta alpha beta", -1, &r, DT_WORDBREAK | DT_CALCRECT);
    EXPECT_EQ(h, 2 * tm.tmHeight);
    EXPECT_LE(r.Width(), two + 1);
    // A single long word cannot be broken: one line, wider than the rectangle.
    TRect r2(0, 0, 10, 0);
    EXPECT_EQ(DrawText(dc, "unbreakable", -1, &r2, DT_WORDBREAK | DT_CALCRECT), tm.tmHeight);
    EXPECT_EQ(r2.Width(), GetTextExtent(dc, "unbreakable").cx);
    // End ellipsis keeps the text inside the rectangle and ends in "...".
    TRect r3(0, 0, 60, 0);
    DrawText(dc, "A rather long caption for a narrow box", -1, &r3,
             DT_SINGLELINE | DT_END_ELLIPSIS | DT_CALCRECT);
    EXPECT_LE(r3.Width(), 60);
    EXPECT_GT(r3.Width(), GetTextExtent(dc, "...").cx);
    // Path ellipsis keeps the file name.
    TRect r4(0, 0, GetTextExtent(dc, ".../file.txt").cx + 2, 0);
    DrawText(dc, "/usr/share/some/deep/folder/file.txt", -1, &r4,
             DT_SINGLELINE | DT_PATH_ELLIPSIS | DT_CALCRECT);
    EXPECT_LE(r4.Width(), GetTextExtent(dc, ".../file.txt").cx + 2);
    EXPECT_GE(r4.Width(), GetTextExtent(dc, "/file.txt").cx);
    // Tabs expand to 8 average widths.
    TRect r5(0, 0, 500, 0);
    DrawText(dc, "\tx", -1, &r5, DT_SINGLELINE | DT_EXPANDTABS | DT_CALCRECT);
    EXPECT_EQ(r5.Width(), 8 * tm.tmAveCharWidth + GetTextExtent(dc, "x").cx);
}

TEST(DrawText, PrefixUnderlineAndPlacement) {
    auto ink = [](const char* text, UINT flags) {
        TTextFixture fx(-14, fqNonAntialiased);
        TRect r(0, 0, 200, 60);
        DrawText(fx.DC(), text, -1, &r, flags);
        return fx.InkCount();
    };
    int64_t plain = ink("File", DT_SINGLELINE);
    int64_t prefixed = ink("&File", DT_SINGLELINE);
    EXPECT_GT(prefixed, plain) << "the prefixed character is underlined";
    EXPECT_EQ(ink("&File", DT_SINGLELINE | DT_HIDEPREFIX), plain);
    EXPECT_GT(ink("&File", DT_SINGLELINE | DT_NOPREFIX), plain) << "'&' drawn as a character";

    // Vertical centring and right alignment place the text exactly.
    TTextFixture fx(-14, fqNonAntialiased);
    HDC dc = fx.DC();
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, RGB(0, 0, 255));
    TEXTMETRIC tm;
    GetTextMetrics(dc, &tm);
    TRect r(0, 0, 200, 60);
    int h = DrawText(dc, "Mid", -1, &r, DT_SINGLELINE | DT_VCENTER | DT_RIGHT);
    int top = (60 - tm.tmHeight) / 2;
    EXPECT_EQ(h, top + tm.tmHeight);
    int w = GetTextExtent(dc, "Mid").cx;
    EXPECT_EQ(fx.Bmp.GetDib()->Row(top)[200 - w], 0x0000FFu);
    EXPECT_EQ(fx.Bmp.GetDib()->Row(top - 1)[200 - w], 0xFFFFFFu);
    EXPECT_EQ(fx.Bmp.GetDib()->Row(top)[200 - w - 1], 0xFFFFFFu);
}

TEST(DrawText, ClipsToTheRectangleUnlessNoClip) {
    auto drawn = [](UINT flags) {
        TTextFixture fx(-14, fqNonAntialiased);
        TRect r(0, 0, 12, 60);
        DrawText(fx.DC(), "WWWWWW", -1, &r, DT_SINGLELINE | flags);
        int maxX = -1;
        TDibPtr d = fx.Bmp.GetDib();
        for (int y = 0; y < d->Height(); ++y)
            for (int x = 0; x < d->Width(); ++x)
                if (d->Row(y)[x] != 0xFFFFFF) maxX = std::max(maxX, x);
        return maxX;
    };
    EXPECT_LT(drawn(0), 12);
    EXPECT_GT(drawn(DT_NOCLIP), 12);
}

TEST(GlyphCache, RepeatedTextRendersEachGlyphOnce) {
    TTextFixture fx;
    fx.Bmp.GetCanvas()->TextOut(0, 0, "cache me");
    int64_t before = GlyphRenderCount();
    for (int i = 0; i < 200; ++i) fx.Bmp.GetCanvas()->TextOut(0, 0, "cache me");
    EXPECT_EQ(GlyphRenderCount(), before);
}

TEST(TFont, PropertiesSizeAndNotifications) {
    TFont f;
    EXPECT_EQ(f.GetName(), "MS Sans Serif");
    EXPECT_EQ(f.GetHeight(), -11);
    EXPECT_EQ(f.GetSize(), 8);
    EXPECT_EQ(f.GetColor(), clWindowText);
    int changes = 0;
    f.SetOnChange([&](TObject*) { ++changes; });
    f.SetSize(10);
    EXPECT_EQ(f.GetHeight(), -13);
    f.SetSize(10);
    EXPECT_EQ(changes, 1) << "setting the same value does not notify";
    f.SetStyle({fsBold, fsUnderline});
    TFont g;
    g.Assign(&f);
    EXPECT_TRUE(g.Equals(f));
    LOGFONT lf = g.GetLogFont();
    EXPECT_EQ(lf.lfWeight, FW_BOLD);
    EXPECT_EQ(lf.lfUnderline, 1);
    // Published in form-file order.
    auto props = TFont::StaticClass()->Properties();
    std::vector<std::string> names;
    for (auto* p : props) names.push_back(p->Name);
    std::vector<std::string> head(names.begin(), names.begin() + 7);
    EXPECT_EQ(head,
              (std::vector<std::string>{"Charset", "Color", "Height", "Name", "Pitch", "Size", "Style"}));
}

TEST(TPenBrush, DefaultsAndChange) {
    TPen p;
    EXPECT_EQ(p.GetColor(), clBlack);
    EXPECT_EQ(p.GetWidth(), 1);
    EXPECT_EQ(p.GetMode(), pmCopy);
    EXPECT_EQ(p.Rop2(), R2_COPYPEN);
    int n = 0;
    p.SetOnChange([&](TObject*) { ++n; });
    p.SetMode(pmXor);
    EXPECT_EQ(p.Rop2(), R2_XORPEN);
    EXPECT_EQ(n, 1);
    TBrush b;
    EXPECT_EQ(b.GetColor(), clWhite);
    EXPECT_EQ(b.GetStyle(), bsSolid);
    b.SetStyle(bsClear);
    TBrush c;
    c.Assign(&b);
    EXPECT_EQ(c.GetStyle(), bsClear);
}

TEST(TCanvas, ToolsAreRealisedOnUse) {
    TBitmap bmp(20, 20);
    TCanvas* c = bmp.GetCanvas();
    c->GetBrush()->SetColor(clRed);
    c->FillRect(TRect(0, 0, 10, 10));
    EXPECT_EQ(c->GetPixel(5, 5), clRed);
    c->GetBrush()->SetColor(clLime);
    c->FillRect(TRect(10, 10, 20, 20));
    EXPECT_EQ(c->GetPixel(15, 15), clLime);
    EXPECT_EQ(c->GetPixel(5, 5), clRed);
    c->GetPen()->SetColor(clBlue);
    c->MoveTo(0, 19);
    c->LineTo(5, 19);
    EXPECT_EQ(c->GetPixel(4, 19), clBlue);
    EXPECT_NE(c->GetPixel(5, 19), clBlue) << "lines leave out their end point";
    EXPECT_EQ(c->GetPenPos(), TPoint(5, 19));
    c->SetPixel(1, 1, clYellow);
    EXPECT_EQ(c->GetPixel(1, 1), clYellow);
    int changes = 0;
    c->SetOnChange([&](TObject*) { ++changes; });
    c->Rectangle(0, 0, 4, 4);
    EXPECT_EQ(changes, 1);
    TCanvas bare;
    EXPECT_THROW(bare.FillRect(TRect(0, 0, 1, 1)), EInvalidOperation);
}
