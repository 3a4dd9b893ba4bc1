#pragma once
// Fields of a dataset: the TField family (one class per data type), field definitions and the
// dataset's field list. A field reads and writes its value in the record buffer the dataset's state
// selects (the active record, the calculation or filter record, the key buffer, the old values).
#include <memory>
#include <string>
#include <vector>

#include "platform/core/component.h"
#include "platform/core/streams.h"
#include "platform/data/db_errors.h"
#include "platform/data/db_types.h"
#include "platform/data/variant.h"

namespace qel {

class TDataSet;
class TField;
class TFieldDefs;

QEL_ENUM(TFieldKind, fkData, fkCalculated, fkLookup, fkInternalCalc)
// Horizontal alignment of a field's text in data controls.
QEL_ENUM(TFieldAlignment, taLeftJustify, taRightJustify, taCenter)
QEL_ENUM(TBlobStreamMode, bmRead, bmWrite, bmReadWrite)

// One stored value in a record buffer: null, integer (also Boolean, dates as their own kind are
// floats), float or text/bytes. Blob values may be "not loaded yet" until the dataset fetches them.
struct TFieldValue {
    enum TKind : uint8_t { Null, Int, Float, Text, Unloaded };
    TKind Kind = Null;
    int64_t I = 0;
    double F = 0;
    std::string S;

    bool IsNull() const { return Kind == Null; }
    void SetNull() { Kind = Null; }
    void SetInt(int64_t v) { Kind = Int, I = v; }
    void SetFloat(double v) { Kind = Float, F = v; }
    void SetText(std::string_view v) { Kind = Text, S.assign(v.data(), v.size()); }
    bool operator==(const TFieldValue& o) const;
};

// A record buffer: the values of all fields (data fields first, by FieldNo, then calculated and
// lookup fields) plus the bookmark and position flag. Datasets may derive to keep cursor data.
QEL_ENUM(TBookmarkFlag, bfCurrent, bfBOF, bfEOF, bfInserted)
using TBookmarkStr = std::string;
using TBookmark = TBookmarkStr; // empty: no bookmark

struct TRecordBuffer {
    virtual ~TRecordBuffer() = default;
    std::vector<TFieldValue> Values;
    TBookmarkStr Bookmark;
    TBookmarkFlag Flag = bfCurrent;
    // Copies values, bookmark and flag (descendants copy their own data too).
    virtual void CopyFrom(const TRecordBuffer& other) {
        Values = other.Values;
        Bookmark = other.Bookmark;
        Flag = other.Flag;
    }
};

using TFieldNotifyEvent = TEvent<void(TField* Sender)>;
using TFieldGetTextEvent = TEvent<void(TField* Sender, std::string& Text, bool DisplayText)>;
using TFieldSetTextEvent = TEvent<void(TField* Sender, const std::string& Text)>;

class TField : public TComponent {
    QEL_CLASS(TField, TComponent)
    explicit TField(TComponent* owner);
    ~TField() override;

    TDataSet* GetDataSet() const { return FDataSet; }
    // Moves the field into `dataset`'s field list (EDatabaseError when that dataset is open).
    void SetDataSet(TDataSet* dataset);

    const std::string& GetFieldName() const { return FFieldName; }
    void SetFieldName(const std::string& v);
    int FieldNo() const { return FFieldNo; }
    TFieldKind GetFieldKind() const { return FFieldKind; }
    void SetFieldKind(TFieldKind v);
    bool Calculated() const { return FFieldKind == fkCalculated; }
    bool Lookup() const { return FFieldKind == fkLookup; }
    TFieldType DataType() const { return FDataType; }
    int GetSize() const { return FSize; }
    void SetSize(int v);
    // Bytes a value takes in the platform's record layout (text fields: Size + 1).
    virtual int DataSize() const;

    std::string GetDisplayLabel() const { return FDisplayLabel.empty() ? FFieldName : FDisplayLabel; }
    void SetDisplayLabel(const std::string& v);
    bool IsDisplayLabelStored() const { return !FDisplayLabel.empty(); }
    std::string DisplayName() const { return GetDisplayLabel(); }
    int GetDisplayWidth() const;
    void SetDisplayWidth(int v);
    bool IsDisplayWidthStored() const { return FDisplayWidth > 0; }
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool v);
    int GetIndex() const;
    void SetIndex(int v);
    bool GetRequired() const { return FRequired; }
    void SetRequired(bool v) { FRequired = v; }
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool v);
    TFieldAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TFieldAlignment v);
    const std::string& GetEditMask() const { return FEditMask; }
    void SetEditMask(const std::string& v);
    const std::string& GetDefaultExpression() const { return FDefaultExpression; }
    void SetDefaultExpression(const std::string& v) { FDefaultExpression = v; }
    const std::string& GetOrigin() const { return FOrigin; }
    void SetOrigin(const std::string& v) { FOrigin = v; }

    // Lookup definition.
    TDataSet* GetLookupDataSet() const { return FLookupDataSet; }
    void SetLookupDataSet(TDataSet* v);
    const std::string& GetLookupKeyFields() const { return FLookupKeyFields; }
    void SetLookupKeyFields(const std::string& v) { FLookupKeyFields = v; }
    const std::string& GetLookupResultField() const { return FLookupResultField; }
    void SetLookupResultField(const std::string& v) { FLookupResultField = v; }
    const std::string& GetKeyFields() const { return FKeyFields; }
    void SetKeyFields(const std::string& v) { FKeyFields = v; }
    bool GetLookupCache() const { return FLookupCache; }
    void SetLookupCache(bool v) { FLookupCache = v; }

    TFieldNotifyEvent GetOnChange() const { return FOnChange; }
    void SetOnChange(TFieldNotifyEvent e) { FOnChange = e; }
    TFieldNotifyEvent GetOnValidate() const { return FOnValidate; }
    void SetOnValidate(TFieldNotifyEvent e) { FOnValidate = e; }
    TFieldGetTextEvent GetOnGetText() const { return FOnGetText; }
    void SetOnGetText(TFieldGetTextEvent e) { FOnGetText = e; }
    TFieldSetTextEvent GetOnSetText() const { return FOnSetText; }
    void SetOnSetText(TFieldSetTextEvent e) { FOnSetText = e; }

    // Values of the record the dataset's state selects.
    bool IsNull() const;
    void Clear();
    std::string AsString() const { return GetAsString(); }
    void SetAsString(const std::string& v) { SetAsStringValue(v); }
    int64_t AsInteger() const { return GetAsInteger(); }
    void SetAsInteger(int64_t v) { SetAsIntegerValue(v); }
    double AsFloat() const { return GetAsFloat(); }
    void SetAsFloat(double v) { SetAsFloatValue(v); }
    double AsCurrency() const { return GetAsFloat(); }
    void SetAsCurrency(double v) { SetAsFloatValue(v); }
    TDateTime AsDateTime() const { return GetAsDateTime(); }
    void SetAsDateTime(TDateTime v) { SetAsDateTimeValue(v); }
    bool AsBoolean() const { return GetAsBoolean(); }
    void SetAsBoolean(bool v) { SetAsBooleanValue(v); }
    Variant AsVariant() const { return GetAsVariant(); }
    void SetAsVariant(const Variant& v) { SetAsVariantValue(v); }
    Variant Value() const { return GetAsVariant(); }
    void SetValue(const Variant& v) { SetAsVariantValue(v); }
    // Value before the current edit (null when inserting) and the value being written.
    Variant OldValue() const;
    Variant NewValue() const;

    // Edit text (EditFormat / OnGetText with DisplayText false) and display text.
    std::string GetText() const;
    void SetText(const std::string& text);
    std::string DisplayText() const;

    bool CanModify() const;
    bool IsIndexField() const;
    virtual bool IsBlob() const { return false; }
    // Whether `ch` may be typed into the field (digits and signs for numbers).
    virtual bool IsValidChar(char ch) const { return true; }
    // Asks the data controls showing this field to take the focus.
    void FocusControl();
    void Assign(TPersistent* source) override;

    // Raw stored value of the current record (nullptr when there is none).
    const TFieldValue* GetFieldValue() const;
    // Stores a raw value (with validation, read-only and state checks and change notification).
    void SetFieldValue(const TFieldValue& value);

    // Internal: set by the dataset when it binds the field.
    void BindInternal(TDataSet* ds, int fieldNo, int slot) {
        (void)ds;
        FFieldNo = fieldNo;
        FSlot = slot;
    }
    int Slot() const { return FSlot; }
    void SetDataTypeInternal(TFieldType t) { FDataType = t; }
    void SetAutoGenerated(bool v) { FAutoGenerated = v; }
    bool AutoGenerated() const { return FAutoGenerated; }
    // Called after a value was written (OnChange).
    void Change();
    // Called before a value is written (OnValidate).
    void Validate();

protected:
    virtual std::string GetAsString() const;
    virtual void SetAsStringValue(const std::string& v);
    virtual int64_t GetAsInteger() const;
    virtual void SetAsIntegerValue(int64_t v);
    virtual double GetAsFloat() const;
    virtual void SetAsFloatValue(double v);
    virtual TDateTime GetAsDateTime() const;
    virtual void SetAsDateTimeValue(TDateTime v);
    virtual bool GetAsBoolean() const;
    virtual void SetAsBooleanValue(bool v);
    virtual Variant GetAsVariant() const;
    virtual void SetAsVariantValue(const Variant& v);
    // Text shown (display) or edited; descendants format numbers and dates.
    virtual std::string GetTextValue(bool displayText) const { return GetAsString(); }
    virtual void SetTextValue(const std::string& text) { SetAsStringValue(text); }
    friend class TDataSet;
    [[noreturn]] void AccessError(const char* typeName) const;
    void Notification(TComponent* component, TOperation operation) override;
    void SetDataTypeFixed(TFieldType t) { FDataType = t; }
    void PropertyChanged(bool layout);

    TDataSet* FDataSet = nullptr;
    std::string FFieldName;
    int FFieldNo = 0;
    int FSlot = -1;
    TFieldKind FFieldKind = fkData;
    TFieldType FDataType = ftUnknown;
    int FSize = 0;
    std::string FDisplayLabel;
    int FDisplayWidth = 0;
    bool FVisible = true;
    bool FRequired = false;
    bool FReadOnly = false;
    bool FAutoGenerated = false;
    TFieldAlignment FAlignment = taLeftJustify;
    std::string FEditMask;
    std::string FDefaultExpression;
    std::string FOrigin;
    TDataSet* FLookupDataSet = nullptr;
    std::string FLookupKeyFields, FLookupResultField, FKeyFields;
    bool FLookupCache = false;
    TFieldNotifyEvent FOnChange, FOnValidate;
    TFieldGetTextEvent FOnGetText;
    TFieldSetTextEvent FOnSetText;
};

class TStringField : public TField {
    QEL_CLASS(TStringField, TField)
    explicit TStringField(TComponent* owner);
    int DataSize() const override { return FSize + 1; }
    bool GetFixedChar() const { return FFixedChar; }
    void SetFixedChar(bool v) { FFixedChar = v; }
    bool GetTransliterate() const { return FTransliterate; }
    void SetTransliterate(bool v) { FTransliterate = v; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& v) override;
    int64_t GetAsInteger() const override;
    void SetAsIntegerValue(int64_t v) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double v) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool v) override;
    TDateTime GetAsDateTime() const override;
    void SetAsDateTimeValue(TDateTime v) override;
    Variant GetAsVariant() const override;

private:
    bool FFixedChar = false;
    bool FTransliterate = true;
};

// Base of the number fields: DisplayFormat and EditFormat pictures, right aligned.
class TNumericField : public TField {
    QEL_CLASS(TNumericField, TField)
    explicit TNumericField(TComponent* owner);
    const std::string& GetDisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const std::string& v);
    const std::string& GetEditFormat() const { return FEditFormat; }
    void SetEditFormat(const std::string& v);
    bool IsValidChar(char ch) const override;

protected:
    std::string FDisplayFormat, FEditFormat;
};

class TIntegerField : public TNumericField {
    QEL_CLASS(TIntegerField, TNumericField)
    explicit TIntegerField(TComponent* owner);
    int64_t GetMaxValue() const { return FMaxValue; }
    void SetMaxValue(int64_t v) { FMaxValue = v; }
    int64_t GetMinValue() const { return FMinValue; }
    void SetMinValue(int64_t v) { FMinValue = v; }
    int DataSize() const override { return 4; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& v) override;
    int64_t GetAsInteger() const override;
    void SetAsIntegerValue(int64_t v) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double v) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& v) override;
    std::string GetTextValue(bool displayText) const override;
    // Range of the type (and of MinValue/MaxValue when set); ERangeError-like EDatabaseError outside.
    void CheckRange(int64_t v) const;
    int64_t FMinValue = 0, FMaxValue = 0;
    int64_t FTypeMin = -2147483648LL, FTypeMax = 2147483647LL;
};

class TSmallintField : public TIntegerField {
    QEL_CLASS(TSmallintField, TIntegerField)
    explicit TSmallintField(TComponent* owner);
    int DataSize() const override { return 2; }
};
class TWordField : public TIntegerField {
    QEL_CLASS(TWordField, TIntegerField)
    explicit TWordField(TComponent* owner);
    int DataSize() const override { return 2; }
};
class TAutoIncField : public TIntegerField {
    QEL_CLASS(TAutoIncField, TIntegerField)
    explicit TAutoIncField(TComponent* owner);
};
class TLargeintField : public TIntegerField {
    QEL_CLASS(TLargeintField, TIntegerField)
    explicit TLargeintField(TComponent* owner);
    int DataSize() const override { return 8; }
};

class TFloatField : public TNumericField {
    QEL_CLASS(TFloatField, TNumericField)
    explicit TFloatField(TComponent* owner);
    bool GetCurrency() const { return FCurrency; }
    void SetCurrency(bool v);
    double GetMaxValue() const { return FMaxValue; }
    void SetMaxValue(double v) { FMaxValue = v; }
    double GetMinValue() const { return FMinValue; }
    void SetMinValue(double v) { FMinValue = v; }
    int GetPrecision() const { return FPrecision; }
    void SetPrecision(int v);
    int DataSize() const override { return 8; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& v) override;
    int64_t GetAsInteger() const override;
    void SetAsIntegerValue(int64_t v) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double v) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& v) override;
    std::string GetTextValue(bool displayText) const override;
    bool FCurrency = false;
    double FMaxValue = 0, FMinValue = 0;
    int FPrecision = 15;
};

class TCurrencyField : public TFloatField {
    QEL_CLASS(TCurrencyField, TFloatField)
    explicit TCurrencyField(TComponent* owner);
};

// Fixed-point decimal kept as a double; Size is the number of decimals.
class TBCDField : public TFloatField {
    QEL_CLASS(TBCDField, TFloatField)
    explicit TBCDField(TComponent* owner);
    int DataSize() const override { return 34; }
};

class TBooleanField : public TField {
    QEL_CLASS(TBooleanField, TField)
    explicit TBooleanField(TComponent* owner);
    // "True;False" style pair of texts used for AsString and text input.
    const std::string& GetDisplayValues() const { return FDisplayValues; }
    void SetDisplayValues(const std::string& v);
    int DataSize() const override { return 2; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& v) override;
    bool GetAsBoolean() const override;
    void SetAsBooleanValue(bool v) override;
    int64_t GetAsInteger() const override;
    void SetAsIntegerValue(int64_t v) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& v) override;

private:
    std::string FDisplayValues, FTrueText = "True", FFalseText = "False";
};

class TDateTimeField : public TField {
    QEL_CLASS(TDateTimeField, TField)
    explicit TDateTimeField(TComponent* owner);
    const std::string& GetDisplayFormat() const { return FDisplayFormat; }
    void SetDisplayFormat(const std::string& v);
    int DataSize() const override { return 8; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& v) override;
    double GetAsFloat() const override;
    void SetAsFloatValue(double v) override;
    TDateTime GetAsDateTime() const override;
    void SetAsDateTimeValue(TDateTime v) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& v) override;
    std::string GetTextValue(bool displayText) const override;
    // The stored value normalised to this field's part (date fields drop the time, time fields the date).
    virtual TDateTime Normalize(TDateTime v) const { return v; }
    virtual std::string DefaultText(TDateTime v) const;
    virtual TDateTime ParseText(const std::string& s) const;
    std::string FDisplayFormat;
};

class TDateField : public TDateTimeField {
    QEL_CLASS(TDateField, TDateTimeField)
    explicit TDateField(TComponent* owner);
    int DataSize() const override { return 4; }

protected:
    TDateTime Normalize(TDateTime v) const override;
    std::string DefaultText(TDateTime v) const override;
    TDateTime ParseText(const std::string& s) const override;
};

class TTimeField : public TDateTimeField {
    QEL_CLASS(TTimeField, TDateTimeField)
    explicit TTimeField(TComponent* owner);
    int DataSize() const override { return 4; }

protected:
    TDateTime Normalize(TDateTime v) const override;
    std::string DefaultText(TDateTime v) const override;
    TDateTime ParseText(const std::string& s) const override;
};

// Raw bytes (fixed size for TBytesField, up to Size for TVarBytesField).
class TBinaryField : public TField {
    QEL_CLASS(TBinaryField, TField)
    explicit TBinaryField(TComponent* owner);
    std::string AsBytes() const;
    void SetAsBytes(const std::string& bytes);

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& v) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& v) override;
    std::string GetTextValue(bool displayText) const override;
};
class TBytesField : public TBinaryField {
    QEL_CLASS(TBytesField, TBinaryField)
    explicit TBytesField(TComponent* owner);
    int DataSize() const override { return FSize; }
};
class TVarBytesField : public TBinaryField {
    QEL_CLASS(TVarBytesField, TBinaryField)
    explicit TVarBytesField(TComponent* owner);
    int DataSize() const override { return FSize + 2; }
};

// Binary large objects; values are fetched from the dataset when first read.
class TBlobField : public TField {
    QEL_CLASS(TBlobField, TField)
    explicit TBlobField(TComponent* owner);
    bool IsBlob() const override { return true; }
    int DataSize() const override { return 0; }
    TFieldType GetBlobType() const { return FDataType; }
    void SetBlobType(TFieldType t);
    int64_t BlobSize() const;
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    bool GetModified() const { return FModified; }
    void SetModified(bool v) { FModified = v; }

protected:
    std::string GetAsString() const override;
    void SetAsStringValue(const std::string& v) override;
    Variant GetAsVariant() const override;
    void SetAsVariantValue(const Variant& v) override;
    std::string GetTextValue(bool displayText) const override;
    bool FModified = false;
};
class TMemoField : public TBlobField {
    QEL_CLASS(TMemoField, TBlobField)
    explicit TMemoField(TComponent* owner);

protected:
    std::string GetTextValue(bool displayText) const override;
};
// A picture's bytes; the picture classes of the graphics layer read and write them.
class TGraphicField : public TBlobField {
    QEL_CLASS(TGraphicField, TBlobField)
    explicit TGraphicField(TComponent* owner);

protected:
    std::string GetTextValue(bool displayText) const override;
};

// A stream over a blob field's value. Writing replaces the value when the stream is destroyed.
class TBlobStream : public TMemoryStream {
    QEL_CLASS(TBlobStream, TMemoryStream)
    TBlobStream(TBlobField* field, TBlobStreamMode mode);
    ~TBlobStream() override;
    int64_t Write(const void* buffer, int64_t count) override;
    void SetSize(int64_t size) override;

private:
    TBlobField* FField;
    TBlobStreamMode FMode;
    bool FChanged = false;
};

// The field class that holds values of a data type (nullptr for types without one).
TClass FieldClassOf(TFieldType type);
// Long label of a type for reports ("String", "Integer", ..., "Unknown" for any other).
std::string FieldTypeName(TFieldType type);

// ---- field definitions ---------------------------------------------------------------------------

QEL_ENUM(TFieldAttribute, faHiddenCol, faReadonly, faRequired, faLink, faUnNamed, faFixed)
using TFieldAttributes = Set<TFieldAttribute>;

class TFieldDef : public TPersistent {
    QEL_CLASS(TFieldDef, TPersistent)
    TFieldDef() = default;
    TFieldDef(TFieldDefs* owner, std::string name, TFieldType type, int size, bool required);

    const std::string& GetName() const { return FName; }
    void SetName(const std::string& v) { FName = v; }
    TFieldType GetDataType() const { return FDataType; }
    void SetDataType(TFieldType v) { FDataType = v; }
    int GetSize() const { return FSize; }
    void SetSize(int v) { FSize = v; }
    int GetPrecision() const { return FPrecision; }
    void SetPrecision(int v) { FPrecision = v; }
    bool GetRequired() const { return FAttributes.Contains(faRequired); }
    void SetRequired(bool v) {
        if (v)
            FAttributes.Include(faRequired);
        else
            FAttributes.Exclude(faRequired);
    }
    TFieldAttributes GetAttributes() const { return FAttributes; }
    void SetAttributes(TFieldAttributes v) { FAttributes = v; }
    int FieldNo() const { return FFieldNo; }
    void SetFieldNoInternal(int n) { FFieldNo = n; }
    TClass FieldClass() const { return FieldClassOf(FDataType); }
    // Creates a field of the matching class for `dataset`, owned by `owner`.
    TField* CreateField(TComponent* owner, TDataSet* dataset) const;
    void Assign(TPersistent* source) override;

private:
    std::string FName;
    TFieldType FDataType = ftUnknown;
    int FSize = 0;
    int FPrecision = 0;
    int FFieldNo = 0;
    TFieldAttributes FAttributes;
};

class TFieldDefs : public TPersistent {
    QEL_CLASS(TFieldDefs, TPersistent)
    TFieldDefs() = default;
    ~TFieldDefs() override;
    int Count() const { return static_cast<int>(FItems.size()); }
    TFieldDef* Items(int index) const; // EListError out of range
    TFieldDef* operator[](int index) const { return Items(index); }
    TFieldDef* AddFieldDef();
    TFieldDef* Add(const std::string& name, TFieldType type, int size = 0, bool required = false);
    void Clear();
    int IndexOf(std::string_view name) const;     // case-insensitive, -1 when missing
    TFieldDef* Find(std::string_view name) const; // EDatabaseError "Field 'x' not found"
    bool GetUpdated() const { return FUpdated; }
    void SetUpdated(bool v) { FUpdated = v; }
    void Assign(TPersistent* source) override;

private:
    std::vector<std::unique_ptr<TFieldDef>> FItems;
    bool FUpdated = false;
};

// The ordered list of a dataset's fields (not owning: fields belong to their owner component).
class TFields {
public:
    explicit TFields(TDataSet* dataset) : FDataSet(dataset) {}
    int Count() const { return static_cast<int>(FList.size()); }
    TField* operator[](int index) const { return Fields(index); }
    TField* Fields(int index) const; // EListError out of range
    TField* FindField(std::string_view name) const;
    TField* FieldByName(std::string_view name) const; // EDatabaseError "Field 'x' not found"
    TField* FieldByNumber(int fieldNo) const;
    int IndexOf(const TField* f) const;
    void Add(TField* f);
    void Remove(TField* f);
    void Clear() { FList.clear(); }
    void SetFieldIndex(TField* f, int index);
    const std::vector<TField*>& List() const { return FList; }

private:
    TDataSet* FDataSet;
    std::vector<TField*> FList;
};

} // namespace qel
