#include "platform/data/fields.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "platform/core/strutils.h"
#include "platform/data/dataset.h"

namespace qel {

bool TFieldValue::operator==(const TFieldValue& o) const {
    if (Kind != o.Kind) return false;
    switch (Kind) {
    case Null:
    case Unloaded: return true;
    case Int: return I == o.I;
    case Float: return F == o.F;
    case Text: return S == o.S;
    }
    return false;
}

void DatabaseError(const std::string& message, const std::string& componentName) {
    if (componentName.empty()) throw EDatabaseError(message);
    throw EDatabaseError(componentName + ": " + message);
}

// ---- TField --------------------------------------------------------------------------------------

TField::TField(TComponent* owner) : TComponent(owner) {}

TField::~TField() {
    if (FDataSet) FDataSet->RemoveField(this);
}

void TField::SetDataSet(TDataSet* dataset) {
    if (dataset == FDataSet) return;
    if (FDataSet && FDataSet->GetActive())
        DatabaseError("Cannot perform this operation on an open dataset", FDataSet->GetName());
    if (dataset && dataset->GetActive())
        DatabaseError("Cannot perform this operation on an open dataset", dataset->GetName());
    if (FDataSet) FDataSet->RemoveField(this);
    FDataSet = nullptr;
    if (dataset) dataset->AddField(this);
}

void TField::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation == opRemove && component == FLookupDataSet) FLookupDataSet = nullptr;
}

void TField::PropertyChanged(bool layout) {
    if (FDataSet && FDataSet->GetActive()) FDataSet->DataEvent(layout ? deLayoutChange : deDataSetChange, 0);
}

void TField::SetFieldName(const std::string& v) {
    if (v == FFieldName) return;
    if (FDataSet && FDataSet->GetActive())
        DatabaseError("Cannot perform this operation on an open dataset", FDataSet->GetName());
    FFieldName = v;
}

void TField::SetFieldKind(TFieldKind v) {
    if (v == FFieldKind) return;
    if (FDataSet && FDataSet->GetActive())
        DatabaseError("Cannot perform this operation on an open dataset", FDataSet->GetName());
    FFieldKind = v;
}

void TField::SetSize(int v) {
    if (FDataSet && FDataSet->GetActive())
        DatabaseError("Cannot perform this operation on an open dataset", FDataSet->GetName());
    FSize = v < 0 ? 0 : v;
}

int TField::DataSize() const {
    return 0;
}

void TField::SetDisplayLabel(const std::string& v) {
    std::string value = v == FFieldName ? std::string() : v;
    if (value == FDisplayLabel) return;
    FDisplayLabel = value;
    PropertyChanged(true);
}

int TField::GetDisplayWidth() const {
    if (FDisplayWidth > 0) return FDisplayWidth;
    switch (FDataType) {
    case ftString:
    case ftFixedChar:
    case ftWideString: return FSize > 0 ? FSize : 20;
    case ftSmallint:
    case ftWord: return 6;
    case ftInteger:
    case ftAutoInc: return 11;
    case ftLargeint: return 15;
    case ftBoolean: return 5;
    case ftFloat:
    case ftCurrency:
    case ftBCD: return 10;
    case ftDate:
    case ftTime: return 10;
    case ftDateTime: return 18;
    default: return 10;
    }
}

void TField::SetDisplayWidth(int v) {
    if (v == FDisplayWidth) return;
    FDisplayWidth = v < 0 ? 0 : v;
    PropertyChanged(true);
}

void TField::SetVisible(bool v) {
    if (v == FVisible) return;
    FVisible = v;
    PropertyChanged(true);
}

int TField::GetIndex() const {
    return FDataSet ? FDataSet->Fields().IndexOf(this) : -1;
}

void TField::SetIndex(int v) {
    if (!FDataSet) return;
    FDataSet->Fields().SetFieldIndex(this, v);
    FDataSet->DataEvent(deFieldListChange, 0);
    if (FDataSet->GetActive()) FDataSet->DataEvent(deLayoutChange, 0);
}

void TField::SetReadOnly(bool v) {
    if (v == FReadOnly) return;
    FReadOnly = v;
    PropertyChanged(false);
}

void TField::SetAlignment(TFieldAlignment v) {
    if (v == FAlignment) return;
    FAlignment = v;
    PropertyChanged(true);
}

void TField::SetEditMask(const std::string& v) {
    if (v == FEditMask) return;
    FEditMask = v;
    PropertyChanged(false);
}

void TField::SetLookupDataSet(TDataSet* v) {
    if (v == FLookupDataSet) return;
    if (v == FDataSet && v) DatabaseError("Circular datalinks are not allowed");
    if (FLookupDataSet) FLookupDataSet->RemoveFreeNotification(this);
    FLookupDataSet = v;
    if (v) v->FreeNotification(this);
}

const TFieldValue* TField::GetFieldValue() const {
    if (!FDataSet || FSlot < 0) return nullptr;
    TRecordBuffer* r = FDataSet->GetStateRecord();
    if (!r || FSlot >= static_cast<int>(r->Values.size())) return nullptr;
    TFieldValue& v = r->Values[static_cast<size_t>(FSlot)];
    if (v.Kind == TFieldValue::Unloaded) FDataSet->FetchBlob(const_cast<TField*>(this), *r);
    return &v;
}

void TField::SetFieldValue(const TFieldValue& value) {
    if (!FDataSet) DatabaseError("Field '" + DisplayName() + "' has no dataset");
    FDataSet->SetFieldData(this, value);
}

bool TField::IsNull() const {
    const TFieldValue* v = GetFieldValue();
    return !v || v->IsNull();
}

void TField::Clear() {
    SetFieldValue(TFieldValue{});
}

void TField::Change() {
    if (FOnChange) FOnChange(this);
}

void TField::Validate() {
    if (FOnValidate) FOnValidate(this);
}

bool TField::CanModify() const {
    if (FReadOnly || !FDataSet) return false;
    if (FFieldKind == fkCalculated || FFieldKind == fkLookup) return false;
    return FDataSet->CanModify();
}

bool TField::IsIndexField() const {
    return FDataSet && FDataSet->IsIndexField(this);
}

void TField::FocusControl() {
    if (!FDataSet || !FDataSet->GetActive()) return;
    TField* self = this;
    FDataSet->DataEvent(deFocusControl, reinterpret_cast<intptr_t>(&self));
}

void TField::AccessError(const char* typeName) const {
    DatabaseError("Invalid type conversion for field '" + DisplayName() + "'" +
                  (typeName ? std::string(" (") + typeName + ")" : ""));
}

Variant TField::OldValue() const {
    if (!FDataSet) return Variant::Null();
    TDataSetState s = FDataSet->SetTempState(dsOldValue);
    Variant r;
    try {
        r = GetAsVariant();
    } catch (...) {
        FDataSet->RestoreState(s);
        throw;
    }
    FDataSet->RestoreState(s);
    return r;
}

Variant TField::NewValue() const {
    return GetAsVariant();
}

std::string TField::GetAsString() const {
    const TFieldValue* v = GetFieldValue();
    if (!v || v->IsNull()) return {};
    switch (v->Kind) {
    case TFieldValue::Int: return std::to_string(v->I);
    case TFieldValue::Float: return dbconv::FloatToText(v->F);
    default: return v->S;
    }
}
void TField::SetAsStringValue(const std::string&) {
    AccessError("String");
}
int64_t TField::GetAsInteger() const {
    AccessError("Integer");
}
void TField::SetAsIntegerValue(int64_t) {
    AccessError("Integer");
}
double TField::GetAsFloat() const {
    AccessError("Float");
}
void TField::SetAsFloatValue(double) {
    AccessError("Float");
}
TDateTime TField::GetAsDateTime() const {
    AccessError("DateTime");
}
void TField::SetAsDateTimeValue(TDateTime) {
    AccessError("DateTime");
}
bool TField::GetAsBoolean() const {
    AccessError("Boolean");
}
void TField::SetAsBooleanValue(bool) {
    AccessError("Boolean");
}
Variant TField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return Variant(GetAsString());
}
void TField::SetAsVariantValue(const Variant& v) {
    if (v.IsNull())
        Clear();
    else
        SetAsStringValue(v.AsString());
}

std::string TField::GetText() const {
    std::string s;
    if (FOnGetText) {
        FOnGetText(const_cast<TField*>(this), s, false);
        return s;
    }
    return GetTextValue(false);
}

void TField::SetText(const std::string& text) {
    if (FOnSetText)
        FOnSetText(this, text);
    else
        SetTextValue(text);
}

std::string TField::DisplayText() const {
    std::string s;
    if (FOnGetText) {
        FOnGetText(const_cast<TField*>(this), s, true);
        return s;
    }
    return GetTextValue(true);
}

void TField::Assign(TPersistent* source) {
    if (auto* f = dynamic_cast<TField*>(source)) {
        if (f->IsNull())
            Clear();
        else
            SetAsVariant(f->AsVariant());
        return;
    }
    if (!source) {
        Clear();
        return;
    }
    TComponent::Assign(source);
}

// ---- text ----------------------------------------------------------------------------------------

namespace {
// Cuts UTF-8 text to at most `size` bytes without splitting a character.
std::string CutUtf8(const std::string& s, int size) {
    if (size <= 0 || static_cast<int>(s.size()) <= size) return s;
    size_t n = static_cast<size_t>(size);
    while (n > 0 && (static_cast<unsigned char>(s[n]) & 0xC0) == 0x80) --n;
    return s.substr(0, n);
}
} // namespace

TStringField::TStringField(TComponent* owner) : TField(owner) {
    FDataType = ftString;
    FSize = 20;
}

std::string TStringField::GetAsString() const {
    const TFieldValue* v = GetFieldValue();
    if (!v || v->IsNull()) return {};
    if (v->Kind == TFieldValue::Int) return std::to_string(v->I);
    if (v->Kind == TFieldValue::Float) return dbconv::FloatToText(v->F);
    return v->S;
}
void TStringField::SetAsStringValue(const std::string& v) {
    TFieldValue fv;
    fv.SetText(CutUtf8(v, FSize));
    SetFieldValue(fv);
}
int64_t TStringField::GetAsInteger() const {
    std::string s = GetAsString();
    return s.empty() ? 0 : dbconv::TextToInt(s);
}
void TStringField::SetAsIntegerValue(int64_t v) {
    SetAsStringValue(std::to_string(v));
}
double TStringField::GetAsFloat() const {
    std::string s = GetAsString();
    return s.empty() ? 0 : dbconv::TextToFloat(s);
}
void TStringField::SetAsFloatValue(double v) {
    SetAsStringValue(dbconv::FloatToText(v));
}
bool TStringField::GetAsBoolean() const {
    std::string s = GetAsString();
    return !s.empty() && dbconv::TextToBool(s);
}
void TStringField::SetAsBooleanValue(bool v) {
    SetAsStringValue(v ? "T" : "F");
}
TDateTime TStringField::GetAsDateTime() const {
    std::string s = GetAsString();
    return s.empty() ? 0 : dbconv::TextToDateTime(s);
}
void TStringField::SetAsDateTimeValue(TDateTime v) {
    SetAsStringValue(dbconv::DateTimeToText(v));
}
Variant TStringField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return Variant(GetAsString());
}

// ---- numbers -------------------------------------------------------------------------------------

TNumericField::TNumericField(TComponent* owner) : TField(owner) {
    FAlignment = taRightJustify;
}

void TNumericField::SetDisplayFormat(const std::string& v) {
    if (v == FDisplayFormat) return;
    FDisplayFormat = v;
    PropertyChanged(false);
}
void TNumericField::SetEditFormat(const std::string& v) {
    if (v == FEditFormat) return;
    FEditFormat = v;
    PropertyChanged(false);
}
bool TNumericField::IsValidChar(char ch) const {
    return (ch >= '0' && ch <= '9') || ch == '+' || ch == '-' || ch == '.' || ch == 'e' || ch == 'E';
}

TIntegerField::TIntegerField(TComponent* owner) : TNumericField(owner) {
    FDataType = ftInteger;
}

void TIntegerField::CheckRange(int64_t v) const {
    int64_t lo = FTypeMin, hi = FTypeMax;
    if (FMinValue != 0 || FMaxValue != 0) lo = FMinValue, hi = FMaxValue;
    if (v < lo || v > hi)
        DatabaseError(std::to_string(v) + " is not a valid value for field '" + DisplayName() +
                      "'. The allowed range is " + std::to_string(lo) + " to " + std::to_string(hi));
}
std::string TIntegerField::GetAsString() const {
    const TFieldValue* v = GetFieldValue();
    if (!v || v->IsNull()) return {};
    return std::to_string(GetAsInteger());
}
void TIntegerField::SetAsStringValue(const std::string& v) {
    if (Trim(v).empty()) {
        Clear();
        return;
    }
    int64_t i;
    if (!dbconv::TryTextToInt(v, i)) throw EConvertError("'" + v + "' is not a valid integer value");
    SetAsIntegerValue(i);
}
int64_t TIntegerField::GetAsInteger() const {
    const TFieldValue* v = GetFieldValue();
    if (!v || v->IsNull()) return 0;
    if (v->Kind == TFieldValue::Int) return v->I;
    if (v->Kind == TFieldValue::Float) return static_cast<int64_t>(std::nearbyint(v->F));
    int64_t i = 0;
    dbconv::TryTextToInt(v->S, i);
    return i;
}
void TIntegerField::SetAsIntegerValue(int64_t v) {
    CheckRange(v);
    TFieldValue fv;
    fv.SetInt(v);
    SetFieldValue(fv);
}
double TIntegerField::GetAsFloat() const {
    return static_cast<double>(GetAsInteger());
}
void TIntegerField::SetAsFloatValue(double v) {
    double r = std::nearbyint(v);
    if (!(r >= -9.2e18 && r <= 9.2e18))
        DatabaseError(dbconv::FloatToText(v) + " is not a valid value for field '" + DisplayName() + "'");
    SetAsIntegerValue(static_cast<int64_t>(r));
}
Variant TIntegerField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return Variant(static_cast<long long>(GetAsInteger()));
}
void TIntegerField::SetAsVariantValue(const Variant& v) {
    if (v.IsNull())
        Clear();
    else if (v.Type() == TVarType::String)
        SetAsStringValue(v.AsString());
    else if (v.Type() == TVarType::Float || v.Type() == TVarType::Currency || v.Type() == TVarType::DateTime)
        SetAsFloatValue(v.AsFloat());
    else
        SetAsIntegerValue(v.AsInteger());
}
std::string TIntegerField::GetTextValue(bool displayText) const {
    if (IsNull()) return {};
    const std::string& fmt = displayText || FEditFormat.empty() ? FDisplayFormat : FEditFormat;
    if (fmt.empty() || (!displayText && FEditFormat.empty())) return std::to_string(GetAsInteger());
    return dbconv::FormatFloat(fmt, static_cast<double>(GetAsInteger()));
}

TSmallintField::TSmallintField(TComponent* owner) : TIntegerField(owner) {
    FDataType = ftSmallint;
    FTypeMin = -32768;
    FTypeMax = 32767;
}
TWordField::TWordField(TComponent* owner) : TIntegerField(owner) {
    FDataType = ftWord;
    FTypeMin = 0;
    FTypeMax = 65535;
}
TAutoIncField::TAutoIncField(TComponent* owner) : TIntegerField(owner) {
    FDataType = ftAutoInc;
    FTypeMin = std::numeric_limits<int64_t>::min();
    FTypeMax = std::numeric_limits<int64_t>::max();
}
TLargeintField::TLargeintField(TComponent* owner) : TIntegerField(owner) {
    FDataType = ftLargeint;
    FTypeMin = std::numeric_limits<int64_t>::min();
    FTypeMax = std::numeric_limits<int64_t>::max();
}

TFloatField::TFloatField(TComponent* owner) : TNumericField(owner) {
    FDataType = ftFloat;
}

void TFloatField::SetCurrency(bool v) {
    if (v == FCurrency) return;
    FCurrency = v;
    PropertyChanged(false);
}
void TFloatField::SetPrecision(int v) {
    if (v < 2) v = 2;
    if (v > 15) v = 15;
    if (v == FPrecision) return;
    FPrecision = v;
    PropertyChanged(false);
}
std::string TFloatField::GetAsString() const {
    const TFieldValue* v = GetFieldValue();
    if (!v || v->IsNull()) return {};
    return dbconv::FloatToText(GetAsFloat());
}
void TFloatField::SetAsStringValue(const std::string& v) {
    if (Trim(v).empty()) {
        Clear();
        return;
    }
    double d;
    if (!dbconv::TryTextToFloat(v, d)) throw EConvertError("'" + v + "' is not a valid floating point value");
    SetAsFloatValue(d);
}
int64_t TFloatField::GetAsInteger() const {
    double d = GetAsFloat();
    if (!(d >= -9.2e18 && d <= 9.2e18)) AccessError("Integer");
    return static_cast<int64_t>(std::nearbyint(d));
}
void TFloatField::SetAsIntegerValue(int64_t v) {
    SetAsFloatValue(static_cast<double>(v));
}
double TFloatField::GetAsFloat() const {
    const TFieldValue* v = GetFieldValue();
    if (!v || v->IsNull()) return 0;
    if (v->Kind == TFieldValue::Float) return v->F;
    if (v->Kind == TFieldValue::Int) return static_cast<double>(v->I);
    double d = 0;
    dbconv::TryTextToFloat(v->S, d);
    return d;
}
void TFloatField::SetAsFloatValue(double v) {
    if (!std::isfinite(v)) DatabaseError("Invalid value for field '" + DisplayName() + "'");
    if ((FMinValue != 0 || FMaxValue != 0) && (v < FMinValue || v > FMaxValue))
        DatabaseError(dbconv::FloatToText(v) + " is not a valid value for field '" + DisplayName() +
                      "'. The allowed range is " + dbconv::FloatToText(FMinValue) + " to " +
                      dbconv::FloatToText(FMaxValue));
    TFieldValue fv;
    fv.SetFloat(v);
    SetFieldValue(fv);
}
Variant TFloatField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return FCurrency || FDataType == ftCurrency ? Variant::FromCurrency(GetAsFloat()) : Variant(GetAsFloat());
}
void TFloatField::SetAsVariantValue(const Variant& v) {
    if (v.IsNull())
        Clear();
    else if (v.Type() == TVarType::String)
        SetAsStringValue(v.AsString());
    else
        SetAsFloatValue(v.AsFloat());
}
std::string TFloatField::GetTextValue(bool displayText) const {
    if (IsNull()) return {};
    double d = GetAsFloat();
    std::string fmt = displayText ? FDisplayFormat : FEditFormat;
    if (!displayText && fmt.empty()) fmt = FDisplayFormat.empty() ? std::string() : std::string();
    if (!fmt.empty()) return dbconv::FormatFloat(fmt, d);
    if (FCurrency || FDataType == ftCurrency) {
        if (displayText) {
            std::string s = dbconv::FormatFloat("#,##0.00", std::fabs(d));
            return d < 0 ? "-$" + s : "$" + s;
        }
        return dbconv::FormatFloat("0.00", d);
    }
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*g", FPrecision, d);
    return buf;
}

TCurrencyField::TCurrencyField(TComponent* owner) : TFloatField(owner) {
    FDataType = ftCurrency;
    FCurrency = true;
}

TBCDField::TBCDField(TComponent* owner) : TFloatField(owner) {
    FDataType = ftBCD;
    FSize = 4;
}

// ---- Boolean -------------------------------------------------------------------------------------

TBooleanField::TBooleanField(TComponent* owner) : TField(owner) {
    FDataType = ftBoolean;
}

void TBooleanField::SetDisplayValues(const std::string& v) {
    auto semi = v.find(';');
    if (v.empty() || (semi == 0 && v.size() == 1))
        DatabaseError("'" + v + "' is not a valid value for DisplayValues");
    FDisplayValues = v;
    if (semi == std::string::npos)
        FTrueText = v, FFalseText.clear();
    else
        FTrueText = v.substr(0, semi), FFalseText = v.substr(semi + 1);
    PropertyChanged(false);
}
bool TBooleanField::GetAsBoolean() const {
    const TFieldValue* v = GetFieldValue();
    if (!v || v->IsNull()) return false;
    if (v->Kind == TFieldValue::Int) return v->I != 0;
    if (v->Kind == TFieldValue::Float) return v->F != 0;
    try {
        return dbconv::TextToBool(v->S);
    } catch (const EConvertError&) {
        return false;
    }
}
void TBooleanField::SetAsBooleanValue(bool b) {
    TFieldValue fv;
    fv.SetInt(b ? 1 : 0);
    SetFieldValue(fv);
}
std::string TBooleanField::GetAsString() const {
    if (IsNull()) return {};
    return GetAsBoolean() ? FTrueText : FFalseText;
}
void TBooleanField::SetAsStringValue(const std::string& v) {
    std::string t = Trim(v);
    if (t.empty()) {
        Clear();
        return;
    }
    // The display texts first (also their first letters), then the usual words and 1/0.
    if (SameText(t, FTrueText) || (!FTrueText.empty() && SameText(t, FTrueText.substr(0, t.size())) &&
                                   !(!FFalseText.empty() && SameText(t, FFalseText.substr(0, t.size())))))
        return SetAsBooleanValue(true);
    if (!FFalseText.empty() && (SameText(t, FFalseText) || SameText(t, FFalseText.substr(0, t.size()))))
        return SetAsBooleanValue(false);
    try {
        SetAsBooleanValue(dbconv::TextToBool(t));
    } catch (const EConvertError&) {
        DatabaseError("'" + v + "' is not a valid boolean value for field '" + DisplayName() + "'");
    }
}
int64_t TBooleanField::GetAsInteger() const {
    return GetAsBoolean() ? 1 : 0;
}
void TBooleanField::SetAsIntegerValue(int64_t v) {
    SetAsBooleanValue(v != 0);
}
Variant TBooleanField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return Variant(GetAsBoolean());
}
void TBooleanField::SetAsVariantValue(const Variant& v) {
    if (v.IsNull())
        Clear();
    else if (v.Type() == TVarType::String)
        SetAsStringValue(v.AsString());
    else
        SetAsBooleanValue(v.AsBoolean());
}

// ---- dates ---------------------------------------------------------------------------------------

TDateTimeField::TDateTimeField(TComponent* owner) : TField(owner) {
    FDataType = ftDateTime;
}

void TDateTimeField::SetDisplayFormat(const std::string& v) {
    if (v == FDisplayFormat) return;
    FDisplayFormat = v;
    PropertyChanged(false);
}
TDateTime TDateTimeField::GetAsDateTime() const {
    const TFieldValue* v = GetFieldValue();
    if (!v || v->IsNull()) return 0;
    if (v->Kind == TFieldValue::Float) return v->F;
    if (v->Kind == TFieldValue::Int) return static_cast<double>(v->I);
    TDateTime d = 0;
    dbconv::TryTextToDateTime(v->S, d);
    return d;
}
void TDateTimeField::SetAsDateTimeValue(TDateTime v) {
    if (!std::isfinite(v) || std::fabs(v) > 2958466.0)
        DatabaseError("Invalid value for field '" + DisplayName() + "'");
    TFieldValue fv;
    fv.SetFloat(Normalize(v));
    SetFieldValue(fv);
}
double TDateTimeField::GetAsFloat() const {
    return GetAsDateTime();
}
void TDateTimeField::SetAsFloatValue(double v) {
    SetAsDateTimeValue(v);
}
std::string TDateTimeField::DefaultText(TDateTime v) const {
    return dbconv::DateTimeToText(v);
}
TDateTime TDateTimeField::ParseText(const std::string& s) const {
    return dbconv::TextToDateTime(s);
}
std::string TDateTimeField::GetAsString() const {
    if (IsNull()) return {};
    return DefaultText(GetAsDateTime());
}
void TDateTimeField::SetAsStringValue(const std::string& v) {
    if (Trim(v).empty()) {
        Clear();
        return;
    }
    SetAsDateTimeValue(ParseText(v));
}
Variant TDateTimeField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return Variant::FromDateTime(GetAsDateTime());
}
void TDateTimeField::SetAsVariantValue(const Variant& v) {
    if (v.IsNull())
        Clear();
    else if (v.Type() == TVarType::String)
        SetAsStringValue(v.AsString());
    else
        SetAsDateTimeValue(v.AsDateTime());
}
std::string TDateTimeField::GetTextValue(bool displayText) const {
    if (IsNull()) return {};
    if (displayText && !FDisplayFormat.empty())
        return dbconv::FormatDateTime(FDisplayFormat, GetAsDateTime());
    return DefaultText(GetAsDateTime());
}

TDateField::TDateField(TComponent* owner) : TDateTimeField(owner) {
    FDataType = ftDate;
}
TDateTime TDateField::Normalize(TDateTime v) const {
    return std::floor(v);
}
std::string TDateField::DefaultText(TDateTime v) const {
    return dbconv::DateToText(v);
}
TDateTime TDateField::ParseText(const std::string& s) const {
    return std::floor(dbconv::TextToDateTime(s));
}

TTimeField::TTimeField(TComponent* owner) : TDateTimeField(owner) {
    FDataType = ftTime;
}
TDateTime TTimeField::Normalize(TDateTime v) const {
    return v - std::floor(v);
}
std::string TTimeField::DefaultText(TDateTime v) const {
    return dbconv::TimeToText(v);
}
TDateTime TTimeField::ParseText(const std::string& s) const {
    TDateTime d = dbconv::TextToDateTime(s);
    return d - std::floor(d);
}

// ---- binary --------------------------------------------------------------------------------------

TBinaryField::TBinaryField(TComponent* owner) : TField(owner) {}
std::string TBinaryField::AsBytes() const {
    const TFieldValue* v = GetFieldValue();
    if (!v || v->IsNull()) return {};
    if (v->Kind == TFieldValue::Text) return v->S;
    return GetAsString();
}
void TBinaryField::SetAsBytes(const std::string& bytes) {
    std::string b = bytes;
    if (FSize > 0 && static_cast<int>(b.size()) > FSize) b.resize(static_cast<size_t>(FSize));
    if (FDataType == ftBytes && FSize > 0 && static_cast<int>(b.size()) < FSize)
        b.resize(static_cast<size_t>(FSize), '\0');
    TFieldValue fv;
    fv.SetText(b);
    SetFieldValue(fv);
}
std::string TBinaryField::GetAsString() const {
    return AsBytes();
}
void TBinaryField::SetAsStringValue(const std::string& v) {
    SetAsBytes(v);
}
Variant TBinaryField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return Variant::FromBytes(AsBytes());
}
void TBinaryField::SetAsVariantValue(const Variant& v) {
    if (v.IsNull())
        Clear();
    else
        SetAsBytes(v.Type() == TVarType::Bytes ? v.Bytes() : v.AsString());
}
std::string TBinaryField::GetTextValue(bool) const {
    return IsNull() ? std::string() : "(" + ClassName().substr(1) + ")";
}

TBytesField::TBytesField(TComponent* owner) : TBinaryField(owner) {
    FDataType = ftBytes;
    FSize = 16;
}
TVarBytesField::TVarBytesField(TComponent* owner) : TBinaryField(owner) {
    FDataType = ftVarBytes;
    FSize = 16;
}

// ---- blobs ---------------------------------------------------------------------------------------

TBlobField::TBlobField(TComponent* owner) : TField(owner) {
    FDataType = ftBlob;
}

void TBlobField::SetBlobType(TFieldType t) {
    if (t < ftBlob || (t > ftTypedBinary && t != ftOraBlob && t != ftOraClob))
        DatabaseError("Invalid blob type");
    FDataType = t;
}
int64_t TBlobField::BlobSize() const {
    const TFieldValue* v = GetFieldValue();
    return !v || v->IsNull() ? 0 : static_cast<int64_t>(v->S.size());
}
std::string TBlobField::GetAsString() const {
    const TFieldValue* v = GetFieldValue();
    if (!v || v->IsNull()) return {};
    return v->S;
}
void TBlobField::SetAsStringValue(const std::string& v) {
    TFieldValue fv;
    if (v.empty())
        fv.SetNull();
    else
        fv.SetText(v);
    SetFieldValue(fv);
    FModified = true;
}
Variant TBlobField::GetAsVariant() const {
    if (IsNull()) return Variant::Null();
    return FDataType == ftMemo || FDataType == ftFmtMemo ? Variant(GetAsString())
                                                         : Variant::FromBytes(GetAsString());
}
void TBlobField::SetAsVariantValue(const Variant& v) {
    if (v.IsNull())
        Clear();
    else
        SetAsStringValue(v.Type() == TVarType::Bytes ? v.Bytes() : v.AsString());
}
std::string TBlobField::GetTextValue(bool) const {
    return IsNull() ? "(blob)" : "(BLOB)";
}
void TBlobField::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    SetAsStringValue(stream.ReadAll());
}
void TBlobField::SaveToStream(TStream& stream) const {
    std::string s = GetAsString();
    stream.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
}
void TBlobField::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(f);
}
void TBlobField::SaveToFile(const std::string& fileName) const {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

TMemoField::TMemoField(TComponent* owner) : TBlobField(owner) {
    FDataType = ftMemo;
}
std::string TMemoField::GetTextValue(bool displayText) const {
    if (!displayText) return GetAsString();
    return IsNull() ? "(memo)" : "(MEMO)";
}

TGraphicField::TGraphicField(TComponent* owner) : TBlobField(owner) {
    FDataType = ftGraphic;
}
std::string TGraphicField::GetTextValue(bool) const {
    return IsNull() ? "(graphic)" : "(GRAPHIC)";
}

TBlobStream::TBlobStream(TBlobField* field, TBlobStreamMode mode) : FField(field), FMode(mode) {
    if (!field) throw EDatabaseError("Blob stream needs a field");
    if (mode != bmRead) {
        TDataSet* ds = field->GetDataSet();
        if (!ds || !IsEditMode(ds->State()) || ds->State() == dsSetKey)
            DatabaseError("Dataset not in edit or insert mode", ds ? ds->GetName() : std::string());
        if (field->GetReadOnly()) DatabaseError("Field '" + field->DisplayName() + "' cannot be modified");
    }
    if (mode != bmWrite) {
        std::string s = field->AsString();
        TMemoryStream::Write(s.data(), static_cast<int64_t>(s.size()));
        Seek(0, soBeginning);
    }
}

TBlobStream::~TBlobStream() {
    if (!FChanged || FMode == bmRead) return;
    try {
        FField->SetAsString(std::string(Bytes()));
    } catch (...) {
        // A destructor must not throw; the value stays as it was.
    }
}

int64_t TBlobStream::Write(const void* buffer, int64_t count) {
    if (FMode == bmRead) throw EStreamError("Can't write to a read-only stream");
    FChanged = true;
    return TMemoryStream::Write(buffer, count);
}

void TBlobStream::SetSize(int64_t size) {
    if (FMode == bmRead) throw EStreamError("Can't write to a read-only stream");
    FChanged = true;
    TMemoryStream::SetSize(size);
}

// ---- type tables ---------------------------------------------------------------------------------

TClass FieldClassOf(TFieldType type) {
    switch (type) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
    case ftGuid: return TStringField::StaticClass();
    case ftSmallint: return TSmallintField::StaticClass();
    case ftInteger: return TIntegerField::StaticClass();
    case ftWord: return TWordField::StaticClass();
    case ftBoolean: return TBooleanField::StaticClass();
    case ftFloat: return TFloatField::StaticClass();
    case ftCurrency: return TCurrencyField::StaticClass();
    case ftBCD:
    case ftFMTBcd: return TBCDField::StaticClass();
    case ftDate: return TDateField::StaticClass();
    case ftTime: return TTimeField::StaticClass();
    case ftDateTime:
    case ftTimeStamp: return TDateTimeField::StaticClass();
    case ftBytes: return TBytesField::StaticClass();
    case ftVarBytes: return TVarBytesField::StaticClass();
    case ftAutoInc: return TAutoIncField::StaticClass();
    case ftBlob:
    case ftTypedBinary:
    case ftOraBlob: return TBlobField::StaticClass();
    case ftMemo:
    case ftFmtMemo:
    case ftOraClob: return TMemoField::StaticClass();
    case ftGraphic: return TGraphicField::StaticClass();
    case ftLargeint: return TLargeintField::StaticClass();
    default: return nullptr;
    }
}

std::string FieldTypeName(TFieldType type) {
    static const char* const names[] = {
        "Unknown",     "String",    "Smallint",  "Integer",    "Word",     "Boolean",    "Float",
        "Currency",    "BCD",       "Date",      "Time",       "DateTime", "Bytes",      "VarBytes",
        "AutoInc",     "Blob",      "Memo",      "Graphic",    "FmtMemo",  "ParadoxOle", "DBaseOle",
        "TypedBinary", "Cursor",    "FixedChar", "WideString", "Largeint", "ADT",        "Array",
        "Reference",   "DataSet",   "OraBlob",   "OraClob",    "Variant",  "Interface",  "IDispatch",
        "Guid",        "TimeStamp", "FMTBcd"};
    int i = static_cast<int>(type);
    if (i < 0 || i >= static_cast<int>(sizeof names / sizeof names[0])) return "Unknown";
    return names[i];
}

// ---- field definitions ---------------------------------------------------------------------------

TFieldDef::TFieldDef(TFieldDefs*, std::string name, TFieldType type, int size, bool required)
    : FName(std::move(name)), FDataType(type), FSize(size) {
    SetRequired(required);
}

TField* TFieldDef::CreateField(TComponent* owner, TDataSet* dataset) const {
    TClass cls = FieldClass();
    if (!cls || !cls->Create) DatabaseError("Field '" + FName + "' is of an unknown type");
    auto* f = dynamic_cast<TField*>(cls->Create(owner));
    if (!f) DatabaseError("Field '" + FName + "' is of an unknown type");
    f->SetFieldName(FName);
    f->SetDataTypeInternal(FDataType);
    if (FDataType == ftString || FDataType == ftFixedChar || FDataType == ftWideString ||
        FDataType == ftBytes || FDataType == ftVarBytes || FDataType == ftBCD ||
        FieldClassOf(FDataType) == TBlobField::StaticClass() ||
        FieldClassOf(FDataType) == TMemoField::StaticClass() || FDataType == ftGraphic)
        f->SetSize(FSize);
    f->SetRequired(GetRequired());
    if (FAttributes.Contains(faReadonly) || FDataType == ftAutoInc) f->SetReadOnly(true);
    if (FAttributes.Contains(faHiddenCol)) f->SetVisible(false);
    if (auto* ff = dynamic_cast<TFloatField*>(f); ff && FPrecision > 0) ff->SetPrecision(FPrecision);
    if (dataset) f->SetDataSet(dataset);
    return f;
}

void TFieldDef::Assign(TPersistent* source) {
    if (auto* d = dynamic_cast<TFieldDef*>(source)) {
        FName = d->FName;
        FDataType = d->FDataType;
        FSize = d->FSize;
        FPrecision = d->FPrecision;
        FAttributes = d->FAttributes;
        return;
    }
    TPersistent::Assign(source);
}

TFieldDefs::~TFieldDefs() = default;

TFieldDef* TFieldDefs::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<size_t>(index)].get();
}
TFieldDef* TFieldDefs::AddFieldDef() {
    FItems.push_back(std::make_unique<TFieldDef>());
    FItems.back()->SetFieldNoInternal(Count());
    return FItems.back().get();
}
TFieldDef* TFieldDefs::Add(const std::string& name, TFieldType type, int size, bool required) {
    if (name.empty()) DatabaseError("Field name missing");
    if (IndexOf(name) >= 0) DatabaseError("Duplicate field name '" + name + "'");
    FItems.push_back(std::make_unique<TFieldDef>(this, name, type, size, required));
    FItems.back()->SetFieldNoInternal(Count());
    return FItems.back().get();
}
void TFieldDefs::Clear() {
    FItems.clear();
}
int TFieldDefs::IndexOf(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(FItems[static_cast<size_t>(i)]->GetName(), name)) return i;
    return -1;
}
TFieldDef* TFieldDefs::Find(std::string_view name) const {
    int i = IndexOf(name);
    if (i < 0) DatabaseError("Field '" + std::string(name) + "' not found");
    return Items(i);
}
void TFieldDefs::Assign(TPersistent* source) {
    if (auto* d = dynamic_cast<TFieldDefs*>(source)) {
        if (d == this) return;
        Clear();
        for (auto& item : d->FItems) {
            TFieldDef* n = AddFieldDef();
            n->Assign(item.get());
        }
        return;
    }
    TPersistent::Assign(source);
}

// ---- field list ----------------------------------------------------------------------------------

TField* TFields::Fields(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FList[static_cast<size_t>(index)];
}
TField* TFields::FindField(std::string_view name) const {
    for (TField* f : FList)
        if (SameText(f->GetFieldName(), name)) return f;
    return nullptr;
}
TField* TFields::FieldByName(std::string_view name) const {
    TField* f = FindField(name);
    if (!f)
        DatabaseError("Field '" + std::string(name) + "' not found",
                      FDataSet ? FDataSet->GetName() : std::string());
    return f;
}
TField* TFields::FieldByNumber(int fieldNo) const {
    for (TField* f : FList)
        if (f->FieldNo() == fieldNo && f->GetFieldKind() == fkData) return f;
    return nullptr;
}
int TFields::IndexOf(const TField* f) const {
    for (size_t i = 0; i < FList.size(); ++i)
        if (FList[i] == f) return static_cast<int>(i);
    return -1;
}
void TFields::Add(TField* f) {
    if (IndexOf(f) < 0) FList.push_back(f);
}
void TFields::Remove(TField* f) {
    int i = IndexOf(f);
    if (i >= 0) FList.erase(FList.begin() + i);
}
void TFields::SetFieldIndex(TField* f, int index) {
    int cur = IndexOf(f);
    if (cur < 0) return;
    if (index < 0) index = 0;
    if (index >= Count()) index = Count() - 1;
    if (index == cur) return;
    FList.erase(FList.begin() + cur);
    FList.insert(FList.begin() + index, f);
}

// ---- published properties ------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TField, [](auto& c) {
    c.Property("Alignment", &TField::GetAlignment, &TField::SetAlignment).Default(taLeftJustify);
    c.Property("DefaultExpression", &TField::GetDefaultExpression, &TField::SetDefaultExpression);
    c.Property("DisplayLabel", &TField::GetDisplayLabel, &TField::SetDisplayLabel)
        .Stored(&TField::IsDisplayLabelStored);
    c.Property("DisplayWidth", &TField::GetDisplayWidth, &TField::SetDisplayWidth)
        .Stored(&TField::IsDisplayWidthStored);
    c.Property("FieldKind", &TField::GetFieldKind, &TField::SetFieldKind).Default(fkData);
    c.Property("FieldName", &TField::GetFieldName, &TField::SetFieldName);
    c.Property("Index", &TField::GetIndex, &TField::SetIndex).Stored(false);
    c.Property("LookupDataSet", &TField::GetLookupDataSet, &TField::SetLookupDataSet);
    c.Property("LookupKeyFields", &TField::GetLookupKeyFields, &TField::SetLookupKeyFields);
    c.Property("LookupResultField", &TField::GetLookupResultField, &TField::SetLookupResultField);
    c.Property("KeyFields", &TField::GetKeyFields, &TField::SetKeyFields);
    c.Property("LookupCache", &TField::GetLookupCache, &TField::SetLookupCache).Default(false);
    c.Property("Origin", &TField::GetOrigin, &TField::SetOrigin);
    c.Property("ReadOnly", &TField::GetReadOnly, &TField::SetReadOnly).Default(false);
    c.Property("Required", &TField::GetRequired, &TField::SetRequired).Default(false);
    c.Property("Visible", &TField::GetVisible, &TField::SetVisible).Default(true);
    c.Event("OnChange", &TField::GetOnChange, &TField::SetOnChange);
    c.Event("OnGetText", &TField::GetOnGetText, &TField::SetOnGetText);
    c.Event("OnSetText", &TField::GetOnSetText, &TField::SetOnSetText);
    c.Event("OnValidate", &TField::GetOnValidate, &TField::SetOnValidate);
})
QEL_IMPLEMENT_CLASS(TStringField, [](auto& c) {
    c.Property("EditMask", &TStringField::GetEditMask, &TStringField::SetEditMask);
    c.Property("FixedChar", &TStringField::GetFixedChar, &TStringField::SetFixedChar).Default(false);
    c.Property("Size", &TStringField::GetSize, &TStringField::SetSize).Default(20);
    c.Property("Transliterate", &TStringField::GetTransliterate, &TStringField::SetTransliterate)
        .Default(true);
})
QEL_IMPLEMENT_CLASS(TNumericField, [](auto& c) {
    c.Property("DisplayFormat", &TNumericField::GetDisplayFormat, &TNumericField::SetDisplayFormat);
    c.Property("EditFormat", &TNumericField::GetEditFormat, &TNumericField::SetEditFormat);
})
QEL_IMPLEMENT_CLASS(TIntegerField, [](auto& c) {
    c.Property("MaxValue", &TIntegerField::GetMaxValue, &TIntegerField::SetMaxValue).Default(int64_t{0});
    c.Property("MinValue", &TIntegerField::GetMinValue, &TIntegerField::SetMinValue).Default(int64_t{0});
})
QEL_IMPLEMENT_CLASS(TSmallintField)
QEL_IMPLEMENT_CLASS(TWordField)
QEL_IMPLEMENT_CLASS(TAutoIncField)
QEL_IMPLEMENT_CLASS(TLargeintField)
QEL_IMPLEMENT_CLASS(TFloatField, [](auto& c) {
    c.Property("Currency", &TFloatField::GetCurrency, &TFloatField::SetCurrency).Default(false);
    c.Property("MaxValue", &TFloatField::GetMaxValue, &TFloatField::SetMaxValue);
    c.Property("MinValue", &TFloatField::GetMinValue, &TFloatField::SetMinValue);
    c.Property("Precision", &TFloatField::GetPrecision, &TFloatField::SetPrecision).Default(15);
})
QEL_IMPLEMENT_CLASS(TCurrencyField, [](auto& c) {
    c.Property("Currency", &TCurrencyField::GetCurrency, &TCurrencyField::SetCurrency).Default(true);
})
QEL_IMPLEMENT_CLASS(TBCDField,
                    [](auto& c) { c.Property("Size", &TBCDField::GetSize, &TBCDField::SetSize).Default(4); })
QEL_IMPLEMENT_CLASS(TBooleanField, [](auto& c) {
    c.Property("DisplayValues", &TBooleanField::GetDisplayValues, &TBooleanField::SetDisplayValues);
})
QEL_IMPLEMENT_CLASS(TDateTimeField, [](auto& c) {
    c.Property("DisplayFormat", &TDateTimeField::GetDisplayFormat, &TDateTimeField::SetDisplayFormat);
    c.Property("EditMask", &TDateTimeField::GetEditMask, &TDateTimeField::SetEditMask);
})
QEL_IMPLEMENT_CLASS(TDateField)
QEL_IMPLEMENT_CLASS(TTimeField)
QEL_IMPLEMENT_CLASS(TBinaryField, [](auto& c) {
    c.Property("Size", &TBinaryField::GetSize, &TBinaryField::SetSize).Default(16);
})
QEL_IMPLEMENT_CLASS(TBytesField)
QEL_IMPLEMENT_CLASS(TVarBytesField)
QEL_IMPLEMENT_CLASS(TBlobField, [](auto& c) {
    c.Property("BlobType", &TBlobField::GetBlobType, &TBlobField::SetBlobType);
    c.Property("Size", &TBlobField::GetSize, &TBlobField::SetSize).Default(0);
})
QEL_IMPLEMENT_CLASS(TMemoField)
QEL_IMPLEMENT_CLASS(TGraphicField)
QEL_IMPLEMENT_CLASS(TBlobStream)
QEL_IMPLEMENT_CLASS(TFieldDef)
QEL_IMPLEMENT_CLASS(TFieldDefs)

} // namespace qel
