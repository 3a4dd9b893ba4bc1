#include "platform/data/indexdefs.h"

#include "platform/core/strutils.h"

namespace qel {

std::vector<std::string> SplitFieldNames(std::string_view names) {
    std::vector<std::string> out;
    size_t start = 0;
    while (start <= names.size()) {
        size_t semi = names.find(';', start);
        if (semi == std::string_view::npos) semi = names.size();
        std::string part = Trim(names.substr(start, semi - start));
        if (!part.empty()) out.push_back(part);
        start = semi + 1;
    }
    return out;
}

TIndexDef::TIndexDef(TIndexDefs*, std::string name, std::string fields, TIndexOptions options)
    : FName(std::move(name)), FFields(std::move(fields)), FOptions(options) {}

std::vector<std::string> TIndexDef::FieldList() const {
    return SplitFieldNames(FFields);
}

std::string TIndexDef::OptionsText() const {
    static const char* const names[] = {"ixPrimary", "ixUnique", "ixDescending", "ixCaseInsensitive",
                                        "ixExpression"};
    std::string out;
    for (int i = 0; i < 5; ++i)
        if (FOptions.Contains(static_cast<TIndexOption>(i))) {
            if (!out.empty()) out += ", ";
            out += names[i];
        }
    return out.empty() ? out : "[" + out + "]";
}

void TIndexDef::Assign(TPersistent* source) {
    if (auto* d = dynamic_cast<TIndexDef*>(source)) {
        FName = d->FName;
        FFields = d->FFields;
        FExpression = d->FExpression;
        FDescFields = d->FDescFields;
        FCaseInsFields = d->FCaseInsFields;
        FOptions = d->FOptions;
        return;
    }
    TPersistent::Assign(source);
}

TIndexDefs::~TIndexDefs() = default;

TIndexDef* TIndexDefs::Items(int index) const {
    if (index < 0 || index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FItems[static_cast<size_t>(index)].get();
}

TIndexDef* TIndexDefs::AddIndexDef() {
    FItems.push_back(std::make_unique<TIndexDef>());
    return FItems.back().get();
}

TIndexDef* TIndexDefs::Add(const std::string& name, const std::string& fields, TIndexOptions options) {
    FItems.push_back(std::make_unique<TIndexDef>(this, name, fields, options));
    return FItems.back().get();
}

void TIndexDefs::Clear() {
    FItems.clear();
}

int TIndexDefs::IndexOf(std::string_view name) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(FItems[static_cast<size_t>(i)]->GetName(), name)) return i;
    return -1;
}

TIndexDef* TIndexDefs::Find(std::string_view name) const {
    int i = IndexOf(name);
    if (i < 0) DatabaseError("Index '" + std::string(name) + "' not found");
    return Items(i);
}

TIndexDef* TIndexDefs::FindIndexForFields(std::string_view fields) const {
    TIndexDef* d = GetIndexForFields(fields, false);
    if (!d) DatabaseError("No index for fields '" + std::string(fields) + "'");
    return d;
}

TIndexDef* TIndexDefs::GetIndexForFields(std::string_view fields, bool caseInsensitive) const {
    auto want = SplitFieldNames(fields);
    if (want.empty()) return nullptr;
    for (auto& d : FItems) {
        if (caseInsensitive && !d->GetOptions().Contains(ixCaseInsensitive)) continue;
        auto have = d->FieldList();
        if (have.size() < want.size()) continue;
        bool ok = true;
        for (size_t i = 0; i < want.size() && ok; ++i) ok = SameText(have[i], want[i]);
        if (ok) return d.get();
    }
    return nullptr;
}

void TIndexDefs::Update() {
    if (FUpdateProc) FUpdateProc(*this);
    FUpdated = true;
}

void TIndexDefs::Assign(TPersistent* source) {
    if (auto* s = dynamic_cast<TIndexDefs*>(source)) {
        if (s == this) return;
        Clear();
        for (auto& d : s->FItems) AddIndexDef()->Assign(d.get());
        return;
    }
    TPersistent::Assign(source);
}

QEL_IMPLEMENT_CLASS(TIndexDef)
QEL_IMPLEMENT_CLASS(TIndexDefs)

} // namespace qel
