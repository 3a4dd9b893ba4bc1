#pragma once
// TParams and TParam: the named, typed parameters of queries and stored procedures.
#include <memory>
#include <string>
#include <vector>

#include "platform/core/component.h"
#include "platform/data/db_errors.h"
#include "platform/data/db_types.h"
#include "platform/data/variant.h"

namespace qel {

class TField;
class TParams;

QEL_ENUM(TParamType, ptUnknown, ptInput, ptOutput, ptInputOutput, ptResult)
QEL_ENUM(TParamBindMode, pbByName, pbByNumber)

class TParam : public TPersistent {
    QEL_CLASS(TParam, TPersistent)
    TParam() = default;
    TParam(TParams* owner, std::string name, TFieldType type, TParamType paramType);

    TParams* Collection() const { return FOwner; }
    const std::string& GetName() const { return FName; }
    void SetName(const std::string& v) { FName = v; }
    TFieldType GetDataType() const { return FDataType; }
    void SetDataType(TFieldType v);
    TParamType GetParamType() const { return FParamType; }
    void SetParamType(TParamType v) { FParamType = v; }
    // True once a value was assigned (also a null one).
    bool GetBound() const { return FBound; }
    void SetBound(bool v) { FBound = v; }
    bool IsNull() const { return FValue.IsNull(); }
    void Clear();

    Variant GetValue() const { return FValue; }
    void SetValue(const Variant& v);
    std::string AsString() const { return FValue.AsString(); }
    void SetAsString(const std::string& v);
    std::string GetText() const { return AsString(); }
    void SetText(const std::string& v);
    int64_t AsInteger() const { return FValue.IsNull() ? 0 : FValue.AsInteger(); }
    void SetAsInteger(int64_t v);
    int AsSmallInt() const { return static_cast<int>(AsInteger()); }
    void SetAsSmallInt(int v);
    double AsFloat() const { return FValue.IsNull() ? 0 : FValue.AsFloat(); }
    void SetAsFloat(double v);
    double AsCurrency() const { return AsFloat(); }
    void SetAsCurrency(double v);
    bool AsBoolean() const { return FValue.IsNull() ? false : FValue.AsBoolean(); }
    void SetAsBoolean(bool v);
    TDateTime AsDateTime() const { return FValue.IsNull() ? 0 : FValue.AsDateTime(); }
    void SetAsDateTime(TDateTime v);
    void SetAsDate(TDateTime v);
    void SetAsTime(TDateTime v);
    std::string AsBlob() const { return FValue.Bytes(); }
    void SetAsBlob(const std::string& bytes);
    void SetAsMemo(const std::string& text);
    // Takes the field's type and value.
    void AssignField(const TField* field);
    void AssignFieldValue(const TField* field, const Variant& value);
    void Assign(TPersistent* source) override;

private:
    TParams* FOwner = nullptr;
    std::string FName;
    TFieldType FDataType = ftUnknown;
    TParamType FParamType = ptUnknown;
    Variant FValue;
    bool FBound = false;
};

class TParams : public TPersistent {
    QEL_CLASS(TParams, TPersistent)
    TParams() = default;
    ~TParams() override;
    TParams(const TParams&) = delete;
    TParams& operator=(const TParams&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    TParam* Items(int index) const; // EListError out of range
    TParam* operator[](int index) const { return Items(index); }
    TParam* CreateParam(TFieldType type, const std::string& name, TParamType paramType);
    TParam* AddParam();
    void Delete(int index);
    void Clear();
    // Case-insensitive; FindParam gives nullptr, ParamByName raises "Parameter 'x' not found".
    TParam* FindParam(std::string_view name) const;
    TParam* ParamByName(std::string_view name) const;
    // Copies every parameter (names, types and values).
    void Assign(TPersistent* source) override;
    // Takes the values of parameters with the same name from `source`, keeping the others.
    void AssignValues(const TParams& source);
    bool IsEqual(const TParams& other) const;
    // The values of "A;B" as a variant array (one name: the value).
    Variant GetParamValues(std::string_view names) const;
    void SetParamValues(std::string_view names, const Variant& value);
    // Reads the ":name" parameters of an SQL text (outside quotes and comments); when
    // `doCreate` is set, creates a parameter for every new name in order. Returns the text with
    // each parameter replaced by "?"; `order` receives the name of each "?" in turn.
    std::string ParseSQL(const std::string& sql, bool doCreate, std::vector<std::string>* order = nullptr);

private:
    std::vector<std::unique_ptr<TParam>> FItems;
};

} // namespace qel
