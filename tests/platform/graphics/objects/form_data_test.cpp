// Pictures and image lists in form files: the "Data" and "Bitmap" binary properties, written only
// when they differ from the ancestor, read back pixel for pixel, and malformed blocks rejected.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/filer.h"
#include "platform/graphics/imagelist.h"
#include "platform/graphics/picture.h"

using namespace qel;

namespace gfxform {

// A component with a picture property that streams the image lists it owns as children.
class TPictureHolder : public TComponent {
    QEL_CLASS(TPictureHolder, TComponent)
    explicit TPictureHolder(TComponent* owner) : TComponent(owner), FPicture(std::make_unique<TPicture>()) {}
    TPicture* GetPicture() const { return FPicture.get(); }
    void SetPicture(TPicture* p) { FPicture->Assign(p); }
    void GetChildren(const TGetChildProc& proc, TComponent* root) override {
        for (int i = 0; i < ComponentCount(); ++i)
            if (Components(i)->Owner() == root) proc(Components(i));
    }

private:
    std::unique_ptr<TPicture> FPicture;
};

QEL_IMPLEMENT_CLASS(TPictureHolder, [](auto& c) {
    c.Object("Picture", &TPictureHolder::GetPicture, &TPictureHolder::SetPicture);
})

} // namespace gfxform

using gfxform::TPictureHolder;

namespace {

void RegisterFormClasses() {
    RegisterClasses({TPictureHolder::StaticClass(), TImageList::StaticClass(), TBitmap::StaticClass(),
                     TIcon::StaticClass(), TPngImage::StaticClass(), TMetafile::StaticClass(),
                     TJPEGImage::StaticClass(), TGIFImage::StaticClass()});
}

// A small picture with a distinct colour at every pixel.
TImageData Gradient(int w, int h) {
    TImageData img;
    img.Width = w;
    img.Height = h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.Pixels.push_back(static_cast<uint32_t>((x * 40) << 16 | (y * 50) << 8 | ((x + y) * 20 + 7)));
    return img;
}

std::vector<uint32_t> Pixels(const TGraphic* g) {
    TImageData d = g->GetImageData();
    std::vector<uint32_t> out;
    for (uint32_t p : d.Pixels) out.push_back(p & 0xFFFFFF);
    return out;
}

// Three 3x2 images, fuchsia where transparent.
std::unique_ptr<TBitmap> Strip() {
    auto b = std::make_unique<TBitmap>(9, 2);
    b->GetCanvas()->GetBrush()->SetColor(clFuchsia);
    b->GetCanvas()->FillRect(TRect(0, 0, 9, 2));
    b->GetCanvas()->SetPixel(1, 0, clRed);
    b->GetCanvas()->SetPixel(4, 1, clLime);
    b->GetCanvas()->SetPixel(6, 0, clBlue);
    b->GetCanvas()->SetPixel(8, 1, clYellow);
    return b;
}

struct TImageDump {
    std::vector<uint32_t> Image, Mask;
    bool operator==(const TImageDump&) const = default;
};

std::vector<TImageDump> Dump(TCustomImageList* list) {
    std::vector<TImageDump> out;
    for (int i = 0; i < list->Count(); ++i) {
        TBitmap image, mask;
        EXPECT_TRUE(list->GetBitmap(i, &image));
        EXPECT_TRUE(list->GetMask(i, &mask));
        out.push_back({Pixels(&image), Pixels(&mask)});
    }
    return out;
}

std::string Hex(const std::string& bytes) {
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::string ShortName(const std::string& name) {
    return std::string(1, static_cast<char>(name.size())) + name;
}

std::string Le32(uint32_t v) {
    std::string s;
    for (int i = 0; i < 4; ++i) s += static_cast<char>((v >> (8 * i)) & 255);
    return s;
}

} // namespace

TEST(FormData, PictureAndImageListRoundTripThroughAFormFile) {
    RegisterFormClasses();
    TPictureHolder holder(nullptr);
    holder.SetName("Holder1");
    TBitmap bmp;
    bmp.SetImageData(Gradient(6, 5));
    holder.GetPicture()->SetGraphic(&bmp);
    auto* list = new TImageList(&holder);
    list->SetName("Images");
    list->SetSize(3, 2);
    auto strip = Strip();
    ASSERT_EQ(list->AddMasked(strip.get(), clFuchsia), 0);
    ASSERT_EQ(list->Count(), 3);
    list->Overlay(2, 1);

    std::string text = WriteComponent(&holder);
    EXPECT_NE(text.find("Picture.Data = {"), std::string::npos) << text;
    EXPECT_NE(text.find("Bitmap = {"), std::string::npos) << text;

    TPictureHolder back(nullptr);
    ReadComponentText(text, &back, "holder.qfm");
    EXPECT_EQ(back.GetName(), "Holder1");
    ASSERT_NE(back.GetPicture()->GetGraphic(), nullptr);
    EXPECT_EQ(back.GetPicture()->GetGraphic()->ClassType(), TBitmap::StaticClass());
    EXPECT_EQ(Pixels(back.GetPicture()->GetGraphic()), Pixels(&bmp));
    auto* backList = dynamic_cast<TImageList*>(back.FindComponent("Images"));
    ASSERT_NE(backList, nullptr);
    EXPECT_EQ(backList->GetWidth(), 3);
    EXPECT_EQ(backList->GetHeight(), 2);
    EXPECT_EQ(Dump(backList), Dump(list));
    EXPECT_TRUE(backList->SameImages(list));
    // The mask made transparent exactly the fuchsia pixels.
    TBitmap mask;
    ASSERT_TRUE(backList->GetMask(1, &mask));
    EXPECT_EQ(mask.GetCanvas()->GetPixel(1, 1), clBlack);
    EXPECT_EQ(mask.GetCanvas()->GetPixel(0, 0), clWhite);
}

TEST(FormData, EmptyPictureAndEmptyListWriteNothing) {
    RegisterFormClasses();
    TPictureHolder holder(nullptr);
    holder.SetName("Holder1");
    auto* list = new TImageList(&holder);
    list->SetName("Images");
    std::string text = WriteComponent(&holder);
    EXPECT_EQ(text.find("Data"), std::string::npos) << text;
    EXPECT_EQ(text.find("Bitmap"), std::string::npos) << text;
}

TEST(FormData, EmptyGraphicsOfEveryClassReadBackEmpty) {
    RegisterFormClasses();
    for (TGraphicClass cls : {TBitmap::StaticClass(), TPngImage::StaticClass(), TJPEGImage::StaticClass(),
                              TIcon::StaticClass(), TGIFImage::StaticClass(), TMetafile::StaticClass()}) {
        SCOPED_TRACE(cls->Name);
        TPictureHolder holder(nullptr);
        holder.SetName("Holder1");
        auto empty = CreateGraphic(cls);
        holder.GetPicture()->SetGraphic(empty.get());
        std::string text = WriteComponent(&holder);
        EXPECT_NE(text.find("Picture.Data"), std::string::npos) << text;
        TPictureHolder back(nullptr);
        ReadComponentText(text, &back);
        ASSERT_NE(back.GetPicture()->GetGraphic(), nullptr);
        EXPECT_EQ(back.GetPicture()->GetGraphic()->ClassType(), cls);
        EXPECT_TRUE(back.GetPicture()->GetGraphic()->Empty());
    }
}

struct TGraphicCase {
    const char* Name;
    std::function<std::unique_ptr<TGraphic>()> Make;
};

TEST(FormData, EveryLosslessGraphicClassSurvivesTheFormFile) {
    RegisterFormClasses();
    const std::vector<TGraphicCase> cases = {
        {"TBitmap",
         [] {
             auto b = std::make_unique<TBitmap>();
             b->SetImageData(Gradient(7, 3));
             return std::unique_ptr<TGraphic>(std::move(b));
         }},
        {"TPngImage",
         [] {
             auto p = std::make_unique<TPngImage>();
             p->SetImageData(Gradient(4, 6));
             return std::unique_ptr<TGraphic>(std::move(p));
         }},
        {"TIcon",
         [] {
             auto i = std::make_unique<TIcon>();
             TImageData d = Gradient(16, 16);
             d.HasAlpha = true;
             for (auto& p : d.Pixels) p |= 0xFF000000u;
             i->SetImageData(d);
             return std::unique_ptr<TGraphic>(std::move(i));
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPictureHolder holder(nullptr);
        holder.SetName("Holder1");
        auto g = c.Make();
        holder.GetPicture()->SetGraphic(g.get());
        std::string text = WriteComponent(&holder);
        TPictureHolder back(nullptr);
        ReadComponentText(text, &back);
        ASSERT_NE(back.GetPicture()->GetGraphic(), nullptr);
        EXPECT_EQ(back.GetPicture()->GetGraphic()->ClassName(), c.Name);
        EXPECT_EQ(back.GetPicture()->GetWidth(), g->GetWidth());
        EXPECT_EQ(back.GetPicture()->GetHeight(), g->GetHeight());
        EXPECT_EQ(Pixels(back.GetPicture()->GetGraphic()), Pixels(g.get()));
        EXPECT_TRUE(back.GetPicture()->SameGraphic(holder.GetPicture()));
    }
}

TEST(FormData, OnlyDifferencesFromTheAncestorAreWritten) {
    RegisterFormClasses();
    auto make = [](int seed, bool withImages) {
        auto h = std::make_unique<TPictureHolder>(nullptr);
        h->SetName("Holder1");
        TBitmap b;
        b.SetImageData(Gradient(4 + seed, 4));
        h->GetPicture()->SetGraphic(&b);
        auto* list = new TImageList(h.get());
        list->SetName("Images");
        list->SetSize(3, 2);
        if (withImages) {
            auto strip = Strip();
            list->AddMasked(strip.get(), clFuchsia);
        }
        return h;
    };
    auto ancestor = make(0, true);
    auto same = make(0, true);
    std::string diff = WriteComponent(same.get(), ancestor.get());
    EXPECT_EQ(diff.find("Picture.Data"), std::string::npos) << diff;
    EXPECT_EQ(diff.find("Bitmap"), std::string::npos) << diff;

    auto changed = make(1, true);
    diff = WriteComponent(changed.get(), ancestor.get());
    EXPECT_NE(diff.find("Picture.Data"), std::string::npos) << diff;
    EXPECT_EQ(diff.find("Bitmap"), std::string::npos) << diff;

    // A descendant that cleared its picture and its images writes both, and reading the difference
    // over the ancestor's state clears them too.
    auto cleared = make(0, false);
    cleared->GetPicture()->SetGraphic(nullptr);
    diff = WriteComponent(cleared.get(), ancestor.get());
    EXPECT_NE(diff.find("Picture.Data"), std::string::npos) << diff;
    EXPECT_NE(diff.find("Bitmap"), std::string::npos) << diff;
    auto over = make(0, true);
    ReadComponentText(diff, over.get());
    EXPECT_EQ(over->GetPicture()->GetGraphic(), nullptr);
    auto* overList = dynamic_cast<TImageList*>(over->FindComponent("Images"));
    ASSERT_NE(overList, nullptr);
    EXPECT_EQ(overList->Count(), 0);
}

struct TMalformedCase {
    const char* Name;
    std::string Property; // "Picture.Data" on the holder, or "Bitmap" on the image list
    std::string Value;    // the value text as it stands in the file
};

TEST(FormData, MalformedBlocksRaiseReadOrGraphicErrors) {
    RegisterFormClasses();
    // A valid bitmap block to cut short.
    std::string bmpBlock;
    {
        TPicture pic;
        TBitmap b;
        b.SetImageData(Gradient(5, 5));
        pic.SetGraphic(&b);
        TMemoryStream ms;
        pic.WriteData(ms);
        bmpBlock = std::string(ms.Bytes());
    }
    std::string listBlock;
    {
        TImageList list(nullptr);
        list.SetSize(3, 2);
        auto strip = Strip();
        list.AddMasked(strip.get(), clFuchsia);
        TMemoryStream ms;
        list.WriteData(ms);
        listBlock = std::string(ms.Bytes());
    }
    auto bin = [](const std::string& bytes) { return "{" + Hex(bytes) + "}"; };
    std::string listHeader = listBlock.substr(0, 28);
    std::string badCount = listHeader;
    badCount[4] = 9; // nine images, but bitmaps for three
    std::string zeroWidth = listHeader;
    zeroWidth[10] = 0;
    const std::vector<TMalformedCase> cases = {
        {"empty block", "Picture.Data", "{}"},
        {"name longer than the block", "Picture.Data", bin(std::string(1, '\x40') + "TBit")},
        {"unknown class", "Picture.Data", bin(ShortName("TNoSuchGraphic") + "xyz")},
        {"class that is no graphic", "Picture.Data", bin(ShortName("TImageList") + "xyz")},
        {"abstract graphic class", "Picture.Data", bin(ShortName("TGraphic"))},
        {"abstract raster class", "Picture.Data", bin(ShortName("TRasterImage"))},
        {"bitmap size beyond the block", "Picture.Data",
         bin(ShortName("TBitmap") + Le32(0xFFFFFFFFu) + "BM")},
        {"bitmap garbage", "Picture.Data", bin(ShortName("TBitmap") + Le32(6) + "BMxxxx")},
        {"bitmap cut short", "Picture.Data", bin(bmpBlock.substr(0, bmpBlock.size() / 2))},
        {"bitmap without its size", "Picture.Data", bin(ShortName("TBitmap") + "\x01")},
        {"png garbage", "Picture.Data", bin(ShortName("TPngImage") + "\x89PNG\r\n\x1a\nnope")},
        {"jpeg garbage", "Picture.Data", bin(ShortName("TJPEGImage") + "\xFF\xD8\xFF\xE0junk")},
        {"gif garbage", "Picture.Data", bin(ShortName("TGIFImage") + "GIF89a\x01")},
        {"icon garbage", "Picture.Data", bin(ShortName("TIcon") + std::string("\0\0\1\0\5\0", 6))},
        {"metafile garbage", "Picture.Data", bin(ShortName("TMetafile") + Le32(1) + Le32(200))},
        {"not binary data", "Picture.Data", "12"},
        {"list header only in part", "Bitmap", bin("IL\x01\x01")},
        {"list wrong signature", "Bitmap", bin("XX" + listBlock.substr(2))},
        {"list count beyond its bitmaps", "Bitmap", bin(badCount + listBlock.substr(28))},
        {"list bitmaps missing", "Bitmap", bin(listHeader)},
        {"list zero width", "Bitmap", bin(zeroWidth + listBlock.substr(28))},
        {"list mask cut short", "Bitmap", bin(listBlock.substr(0, listBlock.size() - 20))},
        {"list as a string", "Bitmap", "'IL'"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::string text;
        if (c.Property == "Bitmap")
            text =
                "object Holder1: TPictureHolder\n  object Images: TImageList\n    Height = 2\n    Width = 3\n"
                "    Bitmap = " +
                c.Value + "\n  end\nend\n";
        else
            text = "object Holder1: TPictureHolder\n  " + c.Property + " = " + c.Value + "\nend\n";
        TPictureHolder holder(nullptr);
        TBitmap keep;
        keep.SetImageData(Gradient(2, 2));
        holder.GetPicture()->SetGraphic(&keep);
        bool raised = false;
        try {
            ReadComponentText(text, &holder, "bad.qfm");
        } catch (const EReadError& e) {
            raised = true;
            EXPECT_NE(std::string(e.what()).find("bad.qfm"), std::string::npos) << e.what();
        } catch (const EInvalidGraphic& e) {
            raised = true;
            EXPECT_NE(std::string(e.what()).find("bad.qfm"), std::string::npos) << e.what();
        }
        EXPECT_TRUE(raised);
        // A failed read keeps the picture the holder had.
        ASSERT_NE(holder.GetPicture()->GetGraphic(), nullptr);
        EXPECT_EQ(Pixels(holder.GetPicture()->GetGraphic()), Pixels(&keep));
    }
}
