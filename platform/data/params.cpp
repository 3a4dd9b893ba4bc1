#include "platform/data/params.h"

#include "platform/core/strutils.h"
#include "platform/data/fields.h"
#include "platform/data/indexdefs.h"

namespace qel {

TParam::TParam(TParams* owner, std::string name, TFieldType type, TParamType paramType)
    : FOwner(owner), FName(std::move(name)), FDataType(type), FParamType(paramType) {}

void TParam::SetDataType(TFieldType v) {
    if (v == FDataType) return;
    FDataType = v;
    // A value that does not fit the new type is dropped rather than kept with the wrong type.
    if (!FValue.IsNull()) {
        try {
            SetValue(FValue);
        } catch (const Exception&) {
            FValue = Variant();
        }
    }
}

void TParam::Clear() {
    FValue = Variant::Null();
    FBound = true;
}

void TParam::SetValue(const Variant& v) {
    Variant stored = v;
    if (!v.IsNull()) {
        switch (FDataType) {
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftAutoInc:
        case ftLargeint: stored = Variant(static_cast<long long>(v.AsInteger())); break;
        case ftFloat:
        case ftBCD: stored = Variant(v.AsFloat()); break;
        case ftCurrency: stored = Variant::FromCurrency(v.AsFloat()); break;
        case ftBoolean: stored = Variant(v.AsBoolean()); break;
        case ftDate:
        case ftTime:
        case ftDateTime: stored = Variant::FromDateTime(v.AsDateTime()); break;
        case ftString:
        case ftFixedChar:
        case ftMemo:
        case ftFmtMemo:
        case ftWideString: stored = Variant(v.AsString()); break;
        case ftUnknown:
            switch (v.Type()) {
            case TVarType::Integer: FDataType = ftInteger; break;
            case TVarType::Float: FDataType = ftFloat; break;
            case TVarType::Currency: FDataType = ftCurrency; break;
            case TVarType::Boolean: FDataType = ftBoolean; break;
            case TVarType::DateTime: FDataType = ftDateTime; break;
            case TVarType::Bytes: FDataType = ftBlob; break;
            default: FDataType = ftString; break;
            }
            break;
        default: break;
        }
    }
    FValue = stored;
    FBound = true;
}

void TParam::SetAsString(const std::string& v) {
    if (FDataType == ftUnknown) FDataType = ftString;
    SetValue(Variant(v));
}
void TParam::SetText(const std::string& v) {
    if (FDataType == ftUnknown) FDataType = ftString;
    if (v.empty() && FDataType != ftString && FDataType != ftFixedChar && FDataType != ftMemo) {
        Clear();
        return;
    }
    SetValue(Variant(v));
}
void TParam::SetAsInteger(int64_t v) {
    FDataType = ftInteger;
    SetValue(Variant(static_cast<long long>(v)));
}
void TParam::SetAsSmallInt(int v) {
    FDataType = ftSmallint;
    SetValue(Variant(v));
}
void TParam::SetAsFloat(double v) {
    FDataType = ftFloat;
    SetValue(Variant(v));
}
void TParam::SetAsCurrency(double v) {
    FDataType = ftCurrency;
    SetValue(Variant::FromCurrency(v));
}
void TParam::SetAsBoolean(bool v) {
    FDataType = ftBoolean;
    SetValue(Variant(v));
}
void TParam::SetAsDateTime(TDateTime v) {
    FDataType = ftDateTime;
    SetValue(Variant::FromDateTime(v));
}
void TParam::SetAsDate(TDateTime v) {
    FDataType = ftDate;
    SetValue(Variant::FromDateTime(v));
}
void TParam::SetAsTime(TDateTime v) {
    FDataType = ftTime;
    SetValue(Variant::FromDateTime(v));
}
void TParam::SetAsBlob(const std::string& bytes) {
    FDataType = ftBlob;
    SetValue(Variant::FromBytes(bytes));
}
void TParam::SetAsMemo(const std::string& text) {
    FDataType = ftMemo;
    SetValue(Variant(text));
}

void TParam::AssignField(const TField* field) {
    if (!field) return;
    FDataType = field->DataType() == ftAutoInc ? ftInteger : field->DataType();
    if (FName.empty()) FName = field->GetFieldName();
    SetValue(field->AsVariant());
}

void TParam::AssignFieldValue(const TField* field, const Variant& value) {
    if (!field) return;
    FDataType = field->DataType() == ftAutoInc ? ftInteger : field->DataType();
    SetValue(value);
}

void TParam::Assign(TPersistent* source) {
    if (auto* p = dynamic_cast<TParam*>(source)) {
        FName = p->FName;
        FDataType = p->FDataType;
        FParamType = p->FParamType;
        FValue = p->FValue;
        FBound = p->FBound;
        return;
    }
    if (auto* f = dynamic_cast<TField*>(source)) {
        AssignField(f);
        return;
    }
    TPersistent::Assign(source);
}

TParams::~TParams() = default;

TParam* TParams::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<size_t>(index)].get();
}

TParam* TParams::CreateParam(TFieldType type, const std::string& name, TParamType paramType) {
    FItems.push_back(std::make_unique<TParam>(this, name, type, paramType));
    return FItems.back().get();
}

TParam* TParams::AddParam() {
    return CreateParam(ftUnknown, "", ptUnknown);
}

void TParams::Delete(int index) {
    Items(index);
    FItems.erase(FItems.begin() + index);
}

void TParams::Clear() {
    FItems.clear();
}

TParam* TParams::FindParam(std::string_view name) const {
    for (auto& p : FItems)
        if (SameText(p->GetName(), name)) return p.get();
    return nullptr;
}

TParam* TParams::ParamByName(std::string_view name) const {
    TParam* p = FindParam(name);
    if (!p) DatabaseError("Parameter '" + std::string(name) + "' not found");
    return p;
}

void TParams::Assign(TPersistent* source) {
    if (auto* s = dynamic_cast<TParams*>(source)) {
        if (s == this) return;
        Clear();
        for (auto& p : s->FItems) {
            TParam* n = AddParam();
            n->Assign(p.get());
        }
        return;
    }
    TPersistent::Assign(source);
}

void TParams::AssignValues(const TParams& source) {
    for (auto& p : source.FItems)
        for (auto& mine : FItems)
            if (SameText(mine->GetName(), p->GetName())) {
                mine->Assign(p.get());
            }
}

bool TParams::IsEqual(const TParams& other) const {
    if (Count() != other.Count()) return false;
    for (int i = 0; i < Count(); ++i) {
        TParam* a = Items(i);
        TParam* b = other.Items(i);
        if (a->GetName() != b->GetName() || a->GetDataType() != b->GetDataType() ||
            a->GetParamType() != b->GetParamType() || !(a->GetValue() == b->GetValue()))
            return false;
    }
    return true;
}

Variant TParams::GetParamValues(std::string_view names) const {
    auto list = SplitFieldNames(names);
    if (list.size() == 1) return ParamByName(list[0])->GetValue();
    std::vector<Variant> out;
    for (auto& n : list) out.push_back(ParamByName(n)->GetValue());
    return Variant::ArrayOf(std::move(out));
}

void TParams::SetParamValues(std::string_view names, const Variant& value) {
    auto list = SplitFieldNames(names);
    if (list.size() == 1 && !value.IsArray()) {
        ParamByName(list[0])->SetValue(value);
        return;
    }
    for (size_t i = 0; i < list.size(); ++i)
        ParamByName(list[i])->SetValue(value.IsArray() && static_cast<int>(i) < value.ArrayCount()
                                           ? value[static_cast<int>(i)]
                                           : Variant::Null());
}

std::string TParams::ParseSQL(const std::string& sql, bool doCreate, std::vector<std::string>* order) {
    std::string out;
    out.reserve(sql.size());
    size_t i = 0;
    auto isIdent = [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
               static_cast<unsigned char>(c) >= 0x80;
    };
    while (i < sql.size()) {
        char c = sql[i];
        if (c == '\'' || c == '"' || c == '[' || c == '`') {
            char close = c == '[' ? ']' : c;
            size_t j = i + 1;
            while (j < sql.size()) {
                if (sql[j] == close) {
                    if (close != ']' && j + 1 < sql.size() && sql[j + 1] == close) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            size_t end = j < sql.size() ? j + 1 : sql.size();
            out.append(sql, i, end - i);
            i = end;
            continue;
        }
        if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            size_t j = sql.find('\n', i);
            if (j == std::string::npos) j = sql.size();
            out.append(sql, i, j - i);
            i = j;
            continue;
        }
        if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            size_t j = sql.find("*/", i + 2);
            j = j == std::string::npos ? sql.size() : j + 2;
            out.append(sql, i, j - i);
            i = j;
            continue;
        }
        if (c == ':' && i + 1 < sql.size()) {
            if (sql[i + 1] == ':') { // "::" stays as it is
                out += "::";
                i += 2;
                continue;
            }
            size_t j = i + 1;
            std::string name;
            if (sql[j] == '"') {
                size_t k = sql.find('"', j + 1);
                if (k != std::string::npos) {
                    name = sql.substr(j + 1, k - j - 1);
                    j = k + 1;
                }
            } else {
                while (j < sql.size() && isIdent(sql[j])) ++j;
                name = sql.substr(i + 1, j - i - 1);
            }
            bool prevIdent = i > 0 && isIdent(sql[i - 1]);
            if (!name.empty() && !prevIdent) {
                if (doCreate && !FindParam(name)) CreateParam(ftUnknown, name, ptInput);
                if (order) order->push_back(name);
                out += '?';
                i = j;
                continue;
            }
        }
        out += c;
        ++i;
    }
    return out;
}

QEL_IMPLEMENT_CLASS(TParam)
QEL_IMPLEMENT_CLASS(TParams)

} // namespace qel
