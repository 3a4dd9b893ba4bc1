#include <gtest/gtest.h>

#include "mem_dataset.h"
#include "platform/data/params.h"

namespace qel::test {
namespace {

class FieldsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Ds.FieldDefs()->Add("S", ftString, 5);
        Ds.FieldDefs()->Add("I", ftInteger);
        Ds.FieldDefs()->Add("W", ftWord);
        Ds.FieldDefs()->Add("F", ftFloat);
        Ds.FieldDefs()->Add("C", ftCurrency);
        Ds.FieldDefs()->Add("B", ftBoolean);
        Ds.FieldDefs()->Add("D", ftDate);
        Ds.FieldDefs()->Add("T", ftTime);
        Ds.FieldDefs()->Add("DT", ftDateTime);
        Ds.FieldDefs()->Add("M", ftMemo);
        Ds.Open();
        Ds.Append();
    }
    TField* F(const char* n) { return Ds.FieldByName(n); }
    TMemDataSet Ds;
};

TEST_F(FieldsTest, TextConversionsRoundTrip) {
    struct Case {
        const char* Field;
        const char* In;
        const char* Out;
    } cases[] = {
        {"S", "abc", "abc"},
        {"S", "abcdefgh", "abcde"}, // text longer than Size is cut
        {"I", " 42 ", "42"},
        {"I", "-7", "-7"},
        {"F", "0.1", "0.1"},
        {"F", "1.7E308", "1.7e+308"},
        {"C", "12.5", "12.5"},
        {"B", "1", "True"},
        {"B", "false", "False"},
        {"B", "y", "True"},
        {"D", "2024-02-29", "2024-02-29"},
        {"D", "3/4/1999", "1999-03-04"},
        {"T", "23:59:59.999", "23:59:59.999"},
        {"DT", "2001-09-11 08:46", "2001-09-11 08:46:00"},
        {"M", "long\ntext", "long\ntext"},
    };
    for (auto& c : cases) {
        F(c.Field)->SetAsString(c.In);
        EXPECT_EQ(F(c.Field)->AsString(), c.Out) << c.Field << " <- " << c.In;
        std::string again = F(c.Field)->AsString();
        F(c.Field)->SetAsString(again);
        EXPECT_EQ(F(c.Field)->AsString(), again) << c.Field;
    }
}

TEST_F(FieldsTest, BadTextRaisesConversionOrRangeErrors) {
    EXPECT_THROW(F("I")->SetAsString("12x"), EConvertError);
    EXPECT_THROW(F("F")->SetAsString("1.2.3"), EConvertError);
    EXPECT_THROW(F("D")->SetAsString("2023-02-29"), EConvertError);
    EXPECT_THROW(F("B")->SetAsString("maybe"), EDatabaseError);
    EXPECT_THROW(F("W")->SetAsInteger(70000), EDatabaseError);
    EXPECT_THROW(F("I")->SetAsInteger(int64_t{1} << 40), EDatabaseError);
    F("I")->SetAsString("");
    EXPECT_TRUE(F("I")->IsNull());
    EXPECT_EQ(F("I")->AsInteger(), 0);
    EXPECT_TRUE(F("I")->Value().IsNull());
}

TEST_F(FieldsTest, DisplayAndEditFormats) {
    auto* f = dynamic_cast<TFloatField*>(F("F"));
    f->SetAsFloat(1234.5);
    EXPECT_EQ(f->DisplayText(), "1234.5");
    f->SetDisplayFormat("#,##0.00");
    EXPECT_EQ(f->DisplayText(), "1,234.50");
    EXPECT_EQ(f->GetText(), "1234.5");
    f->SetEditFormat("0.000");
    EXPECT_EQ(f->GetText(), "1234.500");
    F("C")->SetAsFloat(-1234.5);
    EXPECT_EQ(F("C")->DisplayText(), "-$1,234.50");
    EXPECT_EQ(F("C")->GetText(), "-1234.50");
    auto* d = dynamic_cast<TDateField*>(F("D"));
    d->SetAsDateTime(dbconv::EncodeDate(2024, 7, 4));
    d->SetDisplayFormat("dd mmm yyyy");
    EXPECT_EQ(d->DisplayText(), "04 Jul 2024");
    auto* b = dynamic_cast<TBooleanField*>(F("B"));
    b->SetDisplayValues("Yes;No");
    b->SetAsString("no");
    EXPECT_EQ(b->AsString(), "No");
    EXPECT_FALSE(b->AsBoolean());
    F("I")->SetOnGetText([](TField* s, std::string& text, bool display) {
        text = (display ? "#" : "") + std::to_string(s->AsInteger());
    });
    F("I")->SetAsInteger(5);
    EXPECT_EQ(F("I")->DisplayText(), "#5");
    EXPECT_EQ(F("I")->GetText(), "5");
    EXPECT_EQ(F("F")->GetAlignment(), taRightJustify);
    EXPECT_EQ(F("S")->GetAlignment(), taLeftJustify);
}

TEST_F(FieldsTest, VariantValuesKeepTheirTypes) {
    F("I")->SetValue(Variant(12));
    EXPECT_EQ(F("I")->Value().Type(), TVarType::Integer);
    F("F")->SetValue(Variant("2.5"));
    EXPECT_EQ(F("F")->AsFloat(), 2.5);
    F("DT")->SetValue(Variant::FromDateTime(45000.25));
    EXPECT_EQ(F("DT")->Value().Type(), TVarType::DateTime);
    EXPECT_DOUBLE_EQ(F("DT")->AsDateTime(), 45000.25);
    EXPECT_DOUBLE_EQ(F("D")->AsDateTime(), 0); // null
    F("D")->SetAsDateTime(45000.75);
    EXPECT_DOUBLE_EQ(F("D")->AsDateTime(), 45000.0); // dates drop the time
    EXPECT_TRUE(Variant::Null() == Variant());
    EXPECT_TRUE(Variant(2) == Variant(2.0));
    EXPECT_FALSE(Variant("2") == Variant(2));
    EXPECT_THROW(Variant::Null().AsInteger(), EConvertError);
}

TEST_F(FieldsTest, OnValidateCanRefuseAValueAndOnChangeSeesTheNewOne) {
    std::string seen;
    F("S")->SetOnValidate([](TField* f) {
        if (f->AsString() == "bad") throw EDatabaseError("refused");
    });
    F("S")->SetOnChange([&](TField* f) { seen = f->AsString(); });
    F("S")->SetAsString("good");
    EXPECT_EQ(seen, "good");
    EXPECT_THROW(F("S")->SetAsString("bad"), EDatabaseError);
    EXPECT_EQ(F("S")->AsString(), "good");
}

TEST_F(FieldsTest, BlobStreamsReadAndWrite) {
    auto* m = dynamic_cast<TMemoField*>(F("M"));
    {
        TBlobStream w(m, bmWrite);
        w.WriteString("hello ");
        w.WriteString("world");
    }
    EXPECT_EQ(m->AsString(), "hello world");
    EXPECT_EQ(m->BlobSize(), 11);
    TBlobStream r(m, bmRead);
    EXPECT_EQ(r.ReadAll(), "hello world");
    EXPECT_THROW(r.WriteString("x"), EStreamError);
    Ds.Cancel();
    EXPECT_THROW(TBlobStream(m, bmWrite), EDatabaseError);
}

TEST(DateConversions, TextRoundTripsAndInvalidDatesRaise) {
    for (double v : {0.0, 1.5, 36526.999988425926, 45351.0, -700.25}) {
        double back = dbconv::TextToDateTime(dbconv::DateTimeToText(v));
        EXPECT_NEAR(back, v, 1e-8) << v;
    }
    EXPECT_EQ(dbconv::DateToText(dbconv::EncodeDate(1899, 12, 30)), "1899-12-30");
    EXPECT_EQ(dbconv::EncodeDate(1900, 1, 1), 2.0);
    EXPECT_THROW(dbconv::EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(dbconv::TextToDateTime("12x"), EConvertError);
    EXPECT_EQ(dbconv::FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz",
                                     dbconv::EncodeDate(2020, 1, 2) + dbconv::EncodeTime(3, 4, 5, 6)),
              "2020-01-02 03:04:05.006");
    for (double v : {0.1, 1.0 / 3, 1e-300, 123456789.125, -2.5e17})
        EXPECT_EQ(dbconv::TextToFloat(dbconv::FloatToText(v)), v);
    EXPECT_EQ(dbconv::FormatFloat("0.00;(0.00);zero", -3.14159), "(3.14)");
    EXPECT_EQ(dbconv::FormatFloat("0.00;(0.00);zero", 0), "zero");
    EXPECT_EQ(dbconv::FormatFloat("0.##E+00", 12345), "1.23E+04");
}

TEST(Params, ParsingNamesAndValues) {
    TParams p;
    std::vector<std::string> order;
    std::string text = p.ParseSQL(
        "SELECT ':not' AS x, a::int FROM t -- :comment\nWHERE a = :A AND b = :B OR c = :a", true, &order);
    EXPECT_EQ(text, "SELECT ':not' AS x, a::int FROM t -- :comment\nWHERE a = ? AND b = ? OR c = ?");
    EXPECT_EQ(order, (std::vector<std::string>{"A", "B", "a"}));
    ASSERT_EQ(p.Count(), 2);
    EXPECT_EQ(p.Items(0)->GetParamType(), ptInput);
    EXPECT_THROW(p.ParamByName("zz"), EDatabaseError);
    EXPECT_EQ(p.FindParam("b"), p.Items(1));
    p.ParamByName("a")->SetAsInteger(3);
    EXPECT_EQ(p.Items(0)->GetDataType(), ftInteger);
    EXPECT_TRUE(p.Items(0)->GetBound());
    EXPECT_TRUE(p.Items(1)->IsNull());
    p.Items(1)->SetText("x");
    TParams copy;
    copy.Assign(&p);
    EXPECT_TRUE(copy.IsEqual(p));
    copy.ParamByName("B")->SetAsString("y");
    EXPECT_FALSE(copy.IsEqual(p));
    p.AssignValues(copy);
    EXPECT_EQ(p.ParamByName("B")->AsString(), "y");
    TParam* d = p.CreateParam(ftDate, "D", ptInput);
    d->SetText("");
    EXPECT_TRUE(d->IsNull());
    EXPECT_THROW(d->SetText("not a date"), EConvertError);
}

TEST(IndexDefs, FindsIndexesByFieldsAndFormatsOptions) {
    TIndexDefs defs;
    defs.Add("", "Id", {ixPrimary, ixUnique});
    defs.Add("ByName", "Last;First", {ixCaseInsensitive});
    EXPECT_EQ(defs.GetIndexForFields("last", false), defs.Items(1));
    EXPECT_EQ(defs.GetIndexForFields("Last;First", true), defs.Items(1));
    EXPECT_EQ(defs.GetIndexForFields("First", false), nullptr);
    EXPECT_THROW(defs.Find("Nope"), EDatabaseError);
    EXPECT_EQ(defs.Items(0)->OptionsText(), "[ixPrimary, ixUnique]");
    EXPECT_EQ(defs.Items(1)->FieldList(), (std::vector<std::string>{"Last", "First"}));
    EXPECT_EQ(SplitFieldNames(" a ; ;b;"), (std::vector<std::string>{"a", "b"}));
}

} // namespace
} // namespace qel::test
