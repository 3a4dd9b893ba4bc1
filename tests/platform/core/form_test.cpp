#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "form_classes.h"
#include "platform/core/formsyntax.h"
#include "platform/core/resources.h"

using namespace qel;
using namespace qeltest;

namespace {

std::string FormPath(const std::string& name) {
    return std::string(QEL_CORE_TEST_DIR) + "/forms/" + name;
}

std::string LoadForm(const std::string& name) {
    std::ifstream f(FormPath(name), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// The form resources of the test classes, as the build would embed them.
struct RegisterTestForms {
    RegisterTestForms() {
        RegisterResourceCopy("TTestForm", kFormResourceType, LoadForm("inherit_base.qfm"),
                             "inherit_base.qfm");
        RegisterResourceCopy("TTestForm2", kFormResourceType, LoadForm("inherit_derived.qfm"),
                             "inherit_derived.qfm");
        RegisterResourceCopy("TTestFrame", kFormResourceType, LoadForm("frame.qfm"), "frame.qfm");
    }
};
const RegisterTestForms kRegisterTestForms;

} // namespace

// ---- syntax layer -----------------------------------------------------------------------------------

class FormCorpus : public ::testing::TestWithParam<const char*> {};

TEST_P(FormCorpus, ParsesAndPrintsBackByteForByte) {
    std::string text = LoadForm(GetParam());
    ASSERT_FALSE(text.empty());
    TFormDocument doc = ParseForm(text, GetParam());
    EXPECT_EQ(PrintForm(doc), text);
    // The corpus is written in the canonical layout, so formatting from the values alone agrees.
    EXPECT_EQ(FormatForm(doc), text);
}

INSTANTIATE_TEST_SUITE_P(Files, FormCorpus,
                         ::testing::Values("all_values.qfm", "empty_values.qfm", "inherit_base.qfm",
                                           "inherit_derived.qfm", "frame.qfm", "form_with_frame.qfm"));

TEST(FormSyntax, KeepsUnusualLayoutExactlyAndDecodesValues) {
    const std::string text = "\r\n  object  F : TTestForm\r\n"
                             "\tCaption='a' +\r\n   'b'#65#$42 + #10\r\n"
                             "  Num = -$10\r\n"
                             "  Hex=$7FFFFFFFFFFFFFFF\r\n"
                             "  F1 = 1.5c\r\n"
                             "  S = [ x ,y ]\r\n"
                             "  L = ( 1 'two' ( 3 ) [ ] )\r\n"
                             "  C = < item [2] A = 1 end item end >\r\n"
                             "  B = { 0a 1B\r\n ff }\r\n"
                             "  R = Form2.Button1\r\n"
                             "  object TTestControl [3]\r\n  end\r\n"
                             "end  \r\n\r\n";
    TFormDocument doc = ParseForm(text, "odd.qfm");
    EXPECT_EQ(PrintForm(doc), text);
    const TFormObject& r = doc.Root;
    EXPECT_EQ(r.Name, "F");
    EXPECT_EQ(r.ClassName, "TTestForm");
    ASSERT_EQ(r.Properties.size(), 9u);
    EXPECT_EQ(r.FindProperty("caption")->Value.Str, "abAB\n");
    EXPECT_EQ(r.FindProperty("Num")->Value.Int, -16);
    EXPECT_EQ(r.FindProperty("Hex")->Value.Int, INT64_MAX);
    EXPECT_EQ(r.FindProperty("F1")->Value.Kind, TFormValueKind::Float);
    EXPECT_EQ(r.FindProperty("F1")->Value.FloatSuffix, 'c');
    EXPECT_EQ(r.FindProperty("S")->Value.Elements, (std::vector<std::string>{"x", "y"}));
    const TFormValue& l = r.FindProperty("L")->Value;
    ASSERT_EQ(l.Items.size(), 4u);
    EXPECT_EQ(l.Items[1].Str, "two");
    EXPECT_EQ(l.Items[2].Items[0].Int, 3);
    EXPECT_EQ(l.Items[3].Kind, TFormValueKind::Set);
    const TFormValue& c = r.FindProperty("C")->Value;
    ASSERT_EQ(c.CollItems.size(), 2u);
    EXPECT_EQ(c.CollItems[0].Index, 2);
    EXPECT_EQ(c.CollItems[0].Properties[0].Name, "A");
    EXPECT_EQ(r.FindProperty("B")->Value.Str, std::string("\x0a\x1b\xff", 3));
    EXPECT_EQ(r.FindProperty("R")->Value.Str, "Form2.Button1");
    EXPECT_EQ(r.FindProperty("L")->Line, 9);
    ASSERT_EQ(r.Children.size(), 1u);
    EXPECT_EQ(r.Children[0].Index, 3);
    EXPECT_TRUE(r.Children[0].Name.empty());
    // The canonical form of the same document parses to equal values.
    TFormDocument again = ParseForm(FormatForm(doc));
    EXPECT_EQ(again.Root.Properties, doc.Root.Properties);
}

TEST(FormSyntax, EditedPiecesAreFormattedCanonically) {
    TFormDocument doc = ParseForm("object A: TTestForm\n    Left   =  1\nend\n");
    doc.Root.Properties[0].Value.Int = 5;
    doc.Root.Properties[0].Raw.clear();
    EXPECT_EQ(PrintForm(doc), "object A: TTestForm\n  Left = 5\nend\n");
}

struct BadSyntax {
    const char* Text;
    const char* Message;
};

class FormSyntaxErrors : public ::testing::TestWithParam<BadSyntax> {};

TEST_P(FormSyntaxErrors, NameFileLineAndProblem) {
    try {
        ParseForm(GetParam().Text, "bad.qfm");
        FAIL() << "no error for " << GetParam().Text;
    } catch (const EFormReadError& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().Message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormSyntaxErrors,
    ::testing::Values(
        BadSyntax{"", "bad.qfm(1): Empty form file: 'object' expected"},
        BadSyntax{"thing A: B\nend\n", "bad.qfm(1): 'object' expected"},
        BadSyntax{"object A: TX\n  Left = 1\n", "bad.qfm(3): 'end' expected for A (started at line 1)"},
        BadSyntax{"object A: TX\n  Caption = 'abc\nend\n", "bad.qfm(2): Unterminated string in Caption"},
        BadSyntax{"object A: TX\n  Caption = 'a' +\nend\n",
                  "bad.qfm(3): String expected after '+' in Caption"},
        BadSyntax{"object A: TX\n  Left 1\nend\n", "bad.qfm(2): '=' expected after Left"},
        BadSyntax{"object A: TX\n  Left = 99999999999999999999\nend\n",
                  "bad.qfm(2): Integer value out of range in Left"},
        BadSyntax{"object A: TX\n  Left = 12abc\nend\n", "bad.qfm(2): Invalid number in Left"},
        BadSyntax{"object A: TX\n  F = 1E999\nend\n", "bad.qfm(2): Floating point value out of range in F"},
        BadSyntax{"object A: TX\n  S = [a b]\nend\n", "bad.qfm(2): ',' or ']' expected in S"},
        BadSyntax{"object A: TX\n  L = (1 2\nend\n", "bad.qfm(2): ')' expected in L"},
        BadSyntax{"object A: TX\n  B = {\n 00\n", "bad.qfm(2): '}' expected in B"},
        BadSyntax{"object A: TX\n  C = <\n item\n end\n", "bad.qfm(2): '>' expected in C"},
        BadSyntax{"object A: TX\n  L = (1 2", "bad.qfm(2): ')' expected in L"},
        BadSyntax{"object A: TX\n  C = < thing end >\nend\n", "bad.qfm(2): 'item' expected in C"},
        BadSyntax{"object A: TX\n  B = { 0A1 }\nend\n",
                  "bad.qfm(2): Odd number of hex digits in binary data of B"},
        BadSyntax{"object A: TX\n  B = { 0G }\nend\n", "bad.qfm(2): Invalid binary data in B"},
        BadSyntax{"object A: TX\n  S = #1114112\nend\n", "bad.qfm(2): Character code out of range in S"},
        BadSyntax{"object A: TX\n  = 1\nend\n", "bad.qfm(2): Property name expected"},
        BadSyntax{"object A: TX\n  object B: TY\n  end\n  Left = 1\nend\n",
                  "bad.qfm(4): Property Left follows a nested object"},
        BadSyntax{"object A: TX\nend\nobject B: TX\nend\n",
                  "bad.qfm(3): Unexpected text after the final 'end'"},
        BadSyntax{"object A: TX\n  Left = \x01\nend\n", "bad.qfm(2): Invalid character #1"},
        BadSyntax{"object A: TX extra\nend\n", "bad.qfm(1): End of line expected after the object header"}));

TEST(FormSyntax, NestingBombsAreRejectedWithoutExhaustingTheStack) {
    std::string deep;
    for (int i = 0; i < 100000; ++i) deep += "object A: T\n";
    try {
        ParseForm(deep, "deep.qfm");
        FAIL();
    } catch (const EFormReadError& e) {
        EXPECT_EQ(e.Detail(), "Objects nested too deeply");
        EXPECT_EQ(e.Line(), kMaxFormObjectDepth + 1);
    }
    std::string lists = "object A: T\n  L = " + std::string(100000, '(');
    try {
        ParseForm(lists, "deep.qfm");
        FAIL();
    } catch (const EFormReadError& e) {
        EXPECT_EQ(e.Detail(), "Values nested too deeply in L");
    }
}

TEST(FormSyntax, LongStringsAndBinaryBreakIntoLinesThatReadBack) {
    std::string s;
    for (int i = 0; i < 300; ++i) s += static_cast<char>(i % 7 == 0 ? '\'' : 'a' + i % 26);
    s += "\xC3\xA9"; // a two-byte character straddling a chunk boundary stays whole
    std::string bin;
    for (int i = 0; i < 1000; ++i) bin += static_cast<char>(i * 37);
    TFormDocument doc;
    doc.Root.Name = "X";
    doc.Root.ClassName = "TX";
    doc.Root.Properties.push_back({"S", TFormValue::MakeString(s), 0, {}});
    doc.Root.Properties.push_back({"B", TFormValue::MakeBinary(bin), 0, {}});
    std::string text = FormatForm(doc);
    std::istringstream lines(text);
    std::string line;
    size_t longest = 0;
    while (std::getline(lines, line)) longest = std::max(longest, line.size());
    EXPECT_LE(longest, 100u); // 64 characters, quotes doubled, plus indentation
    TFormDocument back = ParseForm(text);
    EXPECT_EQ(back.Root.Properties[0].Value.Str, s);
    EXPECT_EQ(back.Root.Properties[1].Value.Str, bin);
    EXPECT_EQ(FormatForm(back), text);
}

// ---- reading and writing components ---------------------------------------------------------------

TEST(FormReader, ReadsEveryValueKindAndWritesTheSameFile) {
    std::string text = LoadForm("all_values.qfm");
    auto root = std::make_unique<TTestForm>(nullptr);
    ReadComponentText(text, root.get(), "all_values.qfm");
    TTestForm& f = *root;
    EXPECT_EQ(f.GetName(), "Form1");
    EXPECT_EQ(f.GetTag(), -7);
    EXPECT_EQ(f.GetCaption(), "It's a form\r\nsecond line\ttab");
    EXPECT_FALSE(f.GetVisible());
    EXPECT_EQ(f.GetAlign(), taClient);
    EXPECT_TRUE(f.GetAnchors().Empty());
    EXPECT_EQ(f.GetColor(), clRed);
    EXPECT_DOUBLE_EQ(f.GetRatio(), 1.25);
    EXPECT_EQ(f.GetBig(), int64_t{1} << 40);
    EXPECT_EQ(f.GetCursor(), -21);
    EXPECT_EQ(f.GetFont()->GetName(), "Arial");
    EXPECT_EQ(f.GetFont()->GetSize(), 10);
    EXPECT_EQ(f.GetFont()->GetColor(), 0x123456);
    EXPECT_EQ(f.GetFont()->GetStyle(), (Set<TTestFontStyle>{fsBold, fsItalic}));
    ASSERT_EQ(f.GetLines()->Count(), 4);
    EXPECT_EQ(f.GetLines()->Get(3), "caf\xC3\xA9 \xE2\x80\x94 \xC3\xBC"
                                    "ber");
    ASSERT_EQ(f.GetItems()->Count(), 2);
    auto* item0 = f.GetItems()->ItemAs<TTestItem>(0);
    auto* button = dynamic_cast<TTestControl*>(f.FindComponent("Button1"));
    auto* label = dynamic_cast<TTestControl*>(f.FindComponent("Label1"));
    ASSERT_TRUE(button && label);
    EXPECT_EQ(item0->GetLink(), button);
    item0->GetOnClick()(item0);
    EXPECT_EQ(f.Clicks, std::vector<std::string>{"Button1Click"});
    EXPECT_EQ(f.GetBuddy(), button);
    EXPECT_EQ(button->GetBuddy(), label); // forward reference
    EXPECT_EQ(label->GetBuddy(), &f);     // the root itself
    EXPECT_EQ(f.Points, (std::vector<int>{1, -2, 300}));
    EXPECT_EQ(f.Data, std::string("\x00\x01\x02\xFF", 4));
    EXPECT_EQ(button->Data.size(), 34u);
    EXPECT_EQ(button->GetBig(), INT64_MIN);
    EXPECT_EQ(button->GetColor(), static_cast<TColor>(0x80000019));
    EXPECT_EQ(button->GetAnchors(), (Set<TTestAnchor>{anLeft, anTop, anRight, anBottom}));
    ASSERT_EQ(button->Controls().size(), 1u);
    TTestControl* unnamed = button->Controls()[0];
    EXPECT_EQ(unnamed->GetName(), "");
    EXPECT_EQ(unnamed->Owner(), &f);
    EXPECT_EQ(unnamed->GetCaption(), "\x01\x02x\x7F");
    auto* timer = dynamic_cast<TTestTimer*>(f.FindComponent("Timer1"));
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->GetInterval(), 250);
    timer->GetOnTimer()(timer);
    EXPECT_EQ(f.Clicks.back(), "TimerFired");
    // Every read component had Loaded once, and nothing is left in a loading state.
    for (TTestControl* c : {static_cast<TTestControl*>(&f), button, label, unnamed}) {
        EXPECT_EQ(c->LoadedCalls, 1) << c->GetName();
        EXPECT_FALSE(c->ComponentState().Contains(csLoading));
        EXPECT_FALSE(c->ComponentState().Contains(csReading));
    }
    EXPECT_EQ(WriteComponent(root.get()), text);
}

TEST(FormReader, EmptyAndDefaultValuesAreNotWritten) {
    auto root = std::make_unique<TTestForm>(nullptr);
    root->SetName("Empty");
    EXPECT_EQ(WriteComponent(root.get()), LoadForm("empty_values.qfm"));
}

TEST(FormReader, LoadedRunsAfterAllReferencesAreResolvedInReadingOrder) {
    const std::string text = "object F: TTestForm\n  Left = 0\n  Top = 0\n"
                             "  object A: TTestControl\n    Left = 0\n    Top = 0\n    Buddy = B\n"
                             "    object C: TTestControl\n      Left = 0\n      Top = 0\n    end\n  end\n"
                             "  object B: TTestControl\n    Left = 0\n    Top = 0\n  end\nend\n";
    std::vector<std::string> log;
    GLoadedLog = &log;
    TTestForm f(nullptr);
    ReadComponentText(text, &f, "order.qfm");
    GLoadedLog = nullptr;
    EXPECT_EQ(log, (std::vector<std::string>{"F", "A->B", "C", "B"}));
    EXPECT_EQ(dynamic_cast<TTestControl*>(f.FindComponent("A"))->GetBuddy(), f.FindComponent("B"));
}

TEST(FormReader, VisualInheritanceAppliesTheAncestorFileFirst) {
    std::unique_ptr<TTestForm2> f(CreateComponent<TTestForm2>(nullptr));
    EXPECT_TRUE(f->ResourcesFound);
    EXPECT_EQ(f->GetName(), "DerivedForm");
    EXPECT_EQ(f->GetCaption(), "Derived");
    EXPECT_EQ(f->Points, (std::vector<int>{5, 6})); // from the ancestor file only
    auto* b1 = dynamic_cast<TTestControl*>(f->FindComponent("Button1"));
    auto* b2 = dynamic_cast<TTestControl*>(f->FindComponent("Button2"));
    ASSERT_TRUE(b1 && b2);
    EXPECT_EQ(f->ComponentCount(), 2); // the inherited Button1 was updated, not created again
    EXPECT_EQ(b1->GetCaption(), "Derived button");
    EXPECT_EQ(b1->GetLeft(), 1);
    EXPECT_EQ(b1->GetFont()->GetSize(), 12);
    EXPECT_EQ(b1->GetLines()->GetCommaText(), "a,b");
    EXPECT_EQ(b1->GetBuddy(), b2);
    EXPECT_EQ(b2->GetBuddy(), b1);
    EXPECT_EQ(b1->LoadedCalls, 1); // once, after both files
    f->GetOnClick()(f.get());
    b1->GetOnClick()(b1);
    EXPECT_EQ(f->Clicks, (std::vector<std::string>{"ExtraClick", "Button1Click"}));

    // Writing against a fresh ancestor stores only the differences: the descendant's own file.
    std::unique_ptr<TTestForm> ancestor(CreateComponent<TTestForm>(nullptr));
    EXPECT_EQ(ancestor->GetName(), "BaseForm");
    EXPECT_EQ(WriteComponent(f.get(), ancestor.get()), LoadForm("inherit_derived.qfm"));
    EXPECT_EQ(WriteComponent(ancestor.get()), LoadForm("inherit_base.qfm"));

    // A second instance of the same form gets a unique name among loaded roots.
    std::unique_ptr<TTestForm2> second(CreateComponent<TTestForm2>(nullptr));
    EXPECT_EQ(second->GetName(), "DerivedForm_1");
    EXPECT_EQ(FindGlobalComponent("DerivedForm"), f.get());
    second.reset();
    EXPECT_EQ(FindGlobalComponent("DerivedForm_1"), nullptr);
}

TEST(FormReader, EmbeddedFramesReadTheirOwnFileThenTheFormsChanges) {
    std::string text = LoadForm("form_with_frame.qfm");
    auto root = std::make_unique<TTestForm>(nullptr);
    ReadComponentText(text, root.get(), "form_with_frame.qfm");
    auto* frame = dynamic_cast<TTestFrame*>(root->FindComponent("Frame11"));
    ASSERT_TRUE(frame);
    EXPECT_TRUE(frame->ComponentState().Contains(csInline));
    EXPECT_EQ(frame->GetCaption(), "Frame");
    EXPECT_EQ(frame->GetLeft(), 10);
    auto* button = dynamic_cast<TTestControl*>(frame->FindComponent("FrameButton"));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->GetCaption(), "Changed");
    EXPECT_EQ(button->GetLeft(), 3);
    EXPECT_EQ(root->GetBuddy(), button);
    EXPECT_EQ(frame->Parent(), root.get());
    EXPECT_EQ(FindGlobalComponent("Frame11"), nullptr);
    EXPECT_EQ(WriteComponent(root.get()), text);
}

TEST(FormReader, ReferencesToAnotherRootWaitUntilThatRootLoads) {
    auto b = std::make_unique<TTestForm>(nullptr);
    ReadComponentText("object FormB: TTestForm\n  Left = 0\n  Top = 0\n  Buddy = FormA.Edit1\nend\n", b.get(),
                      "b.qfm");
    EXPECT_EQ(b->GetBuddy(), nullptr);
    EXPECT_EQ(PendingGlobalFixups(), 1);
    auto a = std::make_unique<TTestForm>(nullptr);
    ReadComponentText("object FormA: TTestForm\n  Left = 0\n  Top = 0\n"
                      "  object Edit1: TTestControl\n    Left = 0\n    Top = 0\n  end\nend\n",
                      a.get(), "a.qfm");
    EXPECT_EQ(PendingGlobalFixups(), 0);
    ASSERT_NE(b->GetBuddy(), nullptr);
    EXPECT_EQ(b->GetBuddy(), a->FindComponent("Edit1"));
    EXPECT_EQ(WriteComponent(b.get()),
              "object FormB: TTestForm\n  Left = 0\n  Top = 0\n  Buddy = FormA.Edit1\nend\n");
    a.reset(); // free notification clears the reference
    EXPECT_EQ(b->GetBuddy(), nullptr);

    // A waiting reference is dropped when its form goes first.
    auto c = std::make_unique<TTestForm>(nullptr);
    ReadComponentText("object FormC: TTestForm\n  Left = 0\n  Top = 0\n  Buddy = FormZ.X\nend\n", c.get(),
                      "c.qfm");
    EXPECT_EQ(PendingGlobalFixups(), 1);
    c.reset();
    EXPECT_EQ(PendingGlobalFixups(), 0);
}

TEST(FormReader, ReadComponentCreatesTheRootFromTheFile) {
    TComponent owner(nullptr);
    TComponent* c = ReadComponent(LoadForm("all_values.qfm"), &owner, "all_values.qfm");
    ASSERT_TRUE(c);
    EXPECT_EQ(c->ClassName(), "TTestForm");
    EXPECT_EQ(c->Owner(), &owner);
    EXPECT_THROW(ReadComponent("object X: TNoSuchForm\nend\n", &owner, "x.qfm"), EFormReadError);
    EXPECT_EQ(owner.ComponentCount(), 1);
}

struct BadForm {
    const char* Body; // inserted into "object Form1: TTestForm" ... "end"
    const char* Message;
};

class FormReadErrors : public ::testing::TestWithParam<BadForm> {};

TEST_P(FormReadErrors, RaiseReadErrorAndLeaveNothingHalfBuilt) {
    std::string text = std::string("object Form1: TTestForm\n  Left = 0\n") + GetParam().Body + "end\n";
    TTestForm root(nullptr);
    root.SetName("Original");
    auto* existing = new TTestControl(&root);
    existing->SetName("Existing");
    try {
        ReadComponentText(text, &root, "main.qfm");
        FAIL() << "no error for " << GetParam().Body;
    } catch (const EReadError& e) {
        EXPECT_EQ(std::string(e.what()), GetParam().Message);
    }
    EXPECT_EQ(root.ComponentCount(), 1);
    EXPECT_EQ(root.Components(0), existing);
    EXPECT_EQ(root.GetName(), "Original");
    EXPECT_TRUE(root.ComponentState().Empty());
    EXPECT_TRUE(existing->ComponentState().Empty());
    EXPECT_EQ(FindGlobalComponent("Form1"), nullptr);
    EXPECT_EQ(PendingGlobalFixups(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, FormReadErrors,
    ::testing::Values(
        BadForm{"  Fnt = 1\n", "main.qfm(3): Property Fnt does not exist in TTestForm"},
        BadForm{"  Font.Nme = 'x'\n", "main.qfm(3): Property Font.Nme does not exist in TTestForm"},
        BadForm{"  Caption.X = 1\n", "main.qfm(3): Property Caption.X does not exist in TTestForm"},
        BadForm{"  Left = 'x'\n",
                "main.qfm(3): Invalid property value for Left: An integer expected, found a string"},
        BadForm{"  Left = 4294967296\n",
                "main.qfm(3): Invalid property value for Left: 4294967296 is out of range"},
        BadForm{"  Visible = Yes\n",
                "main.qfm(3): Invalid property value for Visible: Yes is not True or False"},
        BadForm{"  Align = alTop\n",
                "main.qfm(3): Invalid property value for Align: alTop is not a TTestAlign value"},
        BadForm{"  Anchors = [anLeft, anUp]\n",
                "main.qfm(3): Invalid property value for Anchors: anUp is not a TTestAnchor value"},
        BadForm{"  Color = clPuce\n",
                "main.qfm(3): Invalid property value for Color: clPuce is not a colour"},
        BadForm{"  Caption = 5\n",
                "main.qfm(3): Invalid property value for Caption: A string expected, found an integer"},
        BadForm{"  Font = 1\n",
                "main.qfm(3): Invalid property value for Font: an object property takes no value; set its "
                "properties (Font.Name = ...)"},
        BadForm{"  Items = (1)\n",
                "main.qfm(3): Invalid property value for Items: A collection expected, found a list"},
        BadForm{"  Items = <\n    item\n      Capton = 'x'\n    end>\n",
                "main.qfm(5): Property Items[0].Capton does not exist in TTestForm"},
        BadForm{"  OnClick = Button9Click\n", "main.qfm(3): Method Button9Click not found in TTestForm"},
        BadForm{"  OnClick = WrongSignature\n", "main.qfm(3): Invalid property value for OnClick: method "
                                                "WrongSignature does not have the parameters "
                                                "of OnClick"},
        BadForm{"  Buddy = Nobody\n",
                "main.qfm(3): Invalid property value for Form1.Buddy: component Nobody not found"},
        BadForm{"  Buddy = Form1.Nothing\n",
                "main.qfm(3): Invalid property value for Form1.Buddy: component Form1.Nothing not found"},
        BadForm{"  Points = 5\n", "main.qfm(3): Invalid property value for Points: A list expected"},
        BadForm{"  Points = (1 'x')\n",
                "main.qfm(3): Invalid property value for Points: An integer expected"},
        BadForm{"  Data = 'abc'\n",
                "main.qfm(3): Invalid property value for Data: binary data expected, found a string"},
        BadForm{"  Lines.Strings = (1)\n",
                "main.qfm(3): Invalid property value for Lines.Strings: A string expected"},
        BadForm{"  object B: TNoSuchClass\n  end\n", "main.qfm(3): Class TNoSuchClass not found"},
        BadForm{"  object B: TStringList\n  end\n",
                "main.qfm(3): Cannot create a TStringList from a form file"},
        BadForm{"  object B: TTestControl\n    Left = 1\n  end\n  object B: TTestControl\n  end\n",
                "main.qfm(6): A component named B already exists"},
        BadForm{"  object B: TTestControl\n    object C: TTestControl\n      Bad = 1\n    end\n  end\n",
                "main.qfm(5): Property Bad does not exist in TTestControl"},
        BadForm{"  inherited Ghost: TTestControl\n  end\n",
                "main.qfm(3): Ancestor for 'Ghost' not found in TTestForm"},
        BadForm{"  inherited Existing: TTestTimer\n  end\n",
                "main.qfm(3): Existing is a TTestControl, not a TTestTimer"}));

TEST(FormReader, SetterErrorsKeepTheirKindAndGainTheLocation) {
    TTestForm root(nullptr);
    try {
        ReadComponentText("object Form1: TTestForm\n  Left = 0\n  Limit = -1\nend\n", &root, "main.qfm");
        FAIL();
    } catch (const EInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "main.qfm(3): Error reading Form1.Limit: Limit must not be negative");
    }
    EXPECT_EQ(root.GetName(), "");
}

TEST(FormReader, WrongRootClassIsRejected) {
    TTestControl notAForm(nullptr);
    try {
        ReadComponentText("object Form1: TTestForm\nend\n", &notAForm, "main.qfm");
        FAIL();
    } catch (const EFormReadError& e) {
        EXPECT_EQ(e.Detail(), "The file describes a TTestForm, not a TTestControl");
    }
}

TEST(FormReader, DefinedPropertiesAreWrittenOnlyWhenTheyDifferFromTheAncestor) {
    TTestForm ancestor(nullptr), form(nullptr);
    ancestor.SetName("A");
    form.SetName("A");
    ancestor.Points = {1, 2};
    form.Points = {1, 2};
    ancestor.GetLines()->SetText("x\n");
    form.GetLines()->SetText("x\n");
    EXPECT_EQ(WriteComponent(&form, &ancestor), "inherited A: TTestForm\nend\n");
    form.Points = {};
    form.GetLines()->Clear();
    EXPECT_EQ(WriteComponent(&form, &ancestor),
              "inherited A: TTestForm\n  Lines.Strings = ()\n  Points = ()\nend\n");
}

TEST(FormReader, RandomDamageNeverCrashes) {
    std::string text = LoadForm("all_values.qfm");
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    int errors = 0;
    for (int round = 0; round < 600; ++round) {
        std::string t = text;
        int edits = 1 + static_cast<int>(next() % 4);
        for (int e = 0; e < edits; ++e) {
            size_t pos = next() % t.size();
            switch (next() % 3) {
            case 0: t.erase(pos, 1 + next() % 8); break;
            case 1: t.insert(pos, 1, "'#$()<>[]{}=+.\n0aZ"[next() % 18]); break;
            default: t[pos] = static_cast<char>(next() & 0xFF); break;
            }
            if (t.empty()) t.push_back('x');
        }
        TTestForm root(nullptr);
        try {
            ReadComponentText(t, &root, "fuzz.qfm");
        } catch (const Exception&) {
            ++errors;
            EXPECT_EQ(root.ComponentCount(), 0);
        }
    }
    EXPECT_GT(errors, 300);
}
