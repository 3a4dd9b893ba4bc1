#pragma once
// The text form format as a syntax tree, independent of any registered class: objects with their
// property assignments (values already decoded) and nested objects. A parsed document keeps the exact
// source text of every piece, so printing it back reproduces the file byte for byte; a document built
// in code (by the writer, say) is printed in the canonical layout: two spaces per nesting level, long
// strings broken into chunks of 64 characters joined with " +", binary data 32 bytes per line.
//
//   object Form1: TForm1
//     Caption = 'Hello'#13#10'world'
//     Font.Name = 'Arial'
//     Options = [opOne, opTwo]
//     Lines.Strings = (
//       'first'
//       'second')
//     Items = <
//       item
//         Caption = 'a'
//       end>
//     Picture.Data = {
//       0754426974...}
//     OnClick = Button1Click
//     object Button1: TButton
//     end
//   end
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/exceptions.h"

namespace qel {

// A malformed or unreadable form file. The message is "<file>(<line>): <detail>"; the parts are kept
// for tools that print them their own way.
class EFormReadError : public EReadError {
public:
    EFormReadError(std::string fileName, int line, std::string detail);
    const char* ClassName() const noexcept override { return "EFormReadError"; }
    const std::string& FileName() const noexcept { return FFileName; }
    int Line() const noexcept { return FLine; }
    const std::string& Detail() const noexcept { return FDetail; }

private:
    std::string FFileName;
    int FLine;
    std::string FDetail;
};

enum class TFormValueKind {
    Integer,    // 12, -3, $FF
    Float,      // 1.5, 2E10, 12.5c (suffix s, c or d kept)
    String,     // 'text'#13#10'more' + 'continued'
    Ident,      // True, alClient, clRed, Button1Click, Form2.Button1, nil
    Set,        // [a, b]
    List,       // ( value value ... )
    Collection, // < item ... end ... >
    Binary,     // { 0A1B... }
};

struct TFormProperty;

struct TFormCollectionItem {
    int Line = 0;
    int Index = -1; // "item [n]" (rare); -1 when absent
    std::vector<TFormProperty> Properties;
};

struct TFormValue {
    TFormValueKind Kind = TFormValueKind::Integer;
    int Line = 0;
    int64_t Int = 0;
    double Float = 0;
    char FloatSuffix = 0;                       // 0, 's', 'c' or 'd'
    std::string Str;                            // String bytes (UTF-8), Ident text, Binary bytes
    std::vector<std::string> Elements;          // Set
    std::vector<TFormValue> Items;              // List
    std::vector<TFormCollectionItem> CollItems; // Collection

    static TFormValue MakeInteger(int64_t v);
    static TFormValue MakeFloat(double v, char suffix = 0);
    static TFormValue MakeString(std::string s);
    static TFormValue MakeIdent(std::string s);
    static TFormValue MakeSet(std::vector<std::string> elements);
    static TFormValue MakeList();
    static TFormValue MakeList(std::vector<TFormValue> items);
    static TFormValue MakeBinary(std::string bytes);
    static TFormValue MakeCollection();
    static TFormValue MakeCollection(std::vector<TFormCollectionItem> items);

    bool operator==(const TFormValue& o) const;
};

struct TFormProperty {
    std::string Name; // possibly dotted: Font.Name
    TFormValue Value;
    int Line = 0;
    std::string
        Raw; // the exact source (leading blank lines, indentation, line end); empty when built in code

    bool operator==(const TFormProperty& o) const { return Name == o.Name && Value == o.Value; }
};

enum class TFormObjectKind { Object, Inherited, Inline };

struct TFormObject {
    TFormObjectKind Kind = TFormObjectKind::Object;
    std::string Name; // empty for unnamed objects ("object TSplitPane")
    std::string ClassName;
    int Index = -1; // "object Name: TClass [n]": the child's position; -1 when absent
    int Line = 0;
    int EndLine = 0;
    std::vector<TFormProperty> Properties;
    std::vector<TFormObject> Children;
    std::string RawHeader; // exact source of the header line(s)
    std::string RawEnd;    // exact source of the "end" line

    const TFormProperty* FindProperty(std::string_view name) const; // case-insensitive
};

struct TFormDocument {
    std::string FileName;
    TFormObject Root;
    std::string Trailing; // whatever follows the root's "end" (blank lines)
};

// Limits that keep hostile input from exhausting the stack.
constexpr int kMaxFormObjectDepth = 200;
constexpr int kMaxFormValueDepth = 64;

// Parses a text form file; raises EFormReadError naming `fileName` and the line on any error.
TFormDocument ParseForm(std::string_view text, const std::string& fileName = {});
// Prints a document: pieces parsed from text exactly as they were, pieces built in code canonically.
std::string PrintForm(const TFormDocument& doc);
// Prints a document in the canonical layout, ignoring the source text.
std::string FormatForm(const TFormDocument& doc);
std::string FormatFormObject(const TFormObject& obj, int level = 0);
// One value as it appears after "Name = " at the given nesting level of its property.
std::string FormatFormValue(const TFormValue& value, int level = 0);

// The text form of a string value ('It''s'#13#10'ok'), without line breaking.
std::string QuoteFormString(std::string_view s);
// The text form of a float value: shortest exact digits, always with a '.' or exponent.
std::string FormatFormFloat(double v);

} // namespace qel
