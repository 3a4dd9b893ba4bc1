#include "platform/engine/dbdataset.h"

#include <algorithm>

#include "platform/core/strutils.h"

namespace qel {

using namespace engine;

namespace {
class TRecordAdapter : public TFilterRecord {
public:
    TRecordAdapter(std::function<TFilterValue(int)> fn) : FFn(std::move(fn)) {}
    TFilterValue FieldValue(int index) const override { return FFn(index); }

private:
    std::function<TFilterValue(int)> FFn;
};
} // namespace

// ---- TBDEDataSet ---------------------------------------------------------------------------------

TBDEDataSet::TBDEDataSet(TComponent* owner) : TDataSet(owner) {}
TBDEDataSet::~TBDEDataSet() = default;

TBDEDataSet::TCursorFilter& TBDEDataSet::FindFilter(hDBIFilter h) {
    for (auto& f : FCursorFilters)
        if (f.Handle == h) return f;
    EngineError("Invalid filter handle", ecInvalidHandle);
}

hDBIFilter TBDEDataSet::AddFilter(void* clientData, uint16_t priority, bool canAbort,
                                  std::shared_ptr<const TFilterExpr> expr, TCursorFilterCallback callback) {
    if (!expr && !callback) EngineError("A filter needs an expression or a callback", ecInvalidHandle);
    TCursorFilter f;
    f.Handle = FNextFilter++;
    f.ClientData = clientData;
    f.Priority = priority;
    f.CanAbort = canAbort;
    f.Expr = std::move(expr);
    f.Callback = std::move(callback);
    FCursorFilters.push_back(std::move(f));
    std::stable_sort(FCursorFilters.begin(), FCursorFilters.end(),
                     [](const TCursorFilter& a, const TCursorFilter& b) { return a.Priority < b.Priority; });
    return FNextFilter - 1;
}

void TBDEDataSet::ActivateFilter(hDBIFilter filter) {
    TCursorFilter& f = FindFilter(filter);
    if (f.Active) return;
    f.Active = true;
    CursorFiltersChanged();
}

void TBDEDataSet::DeactivateFilter(hDBIFilter filter) {
    TCursorFilter& f = FindFilter(filter);
    if (!f.Active) return;
    f.Active = false;
    CursorFiltersChanged();
}

void TBDEDataSet::DropFilter(hDBIFilter filter) {
    TCursorFilter& f = FindFilter(filter);
    bool wasActive = f.Active;
    FCursorFilters.erase(std::remove_if(FCursorFilters.begin(), FCursorFilters.end(),
                                        [&](const TCursorFilter& x) { return x.Handle == filter; }),
                         FCursorFilters.end());
    if (wasActive) CursorFiltersChanged();
}

bool TBDEDataSet::FilterActive(hDBIFilter filter) const {
    for (auto& f : FCursorFilters)
        if (f.Handle == filter) return f.Active;
    return false;
}

bool TBDEDataSet::HasActiveCursorFilters() const {
    for (auto& f : FCursorFilters)
        if (f.Active) return true;
    return false;
}

void TBDEDataSet::CursorFiltersChanged() {}

bool TBDEDataSet::CursorFiltersAccept(TRecordBuffer& record) {
    if (FCursorFilters.empty()) return true;
    // A copy: a callback may add or drop filters.
    std::vector<TCursorFilter> filters = FCursorFilters;
    for (auto& f : filters) {
        if (!f.Active) continue;
        bool accept = true;
        if (f.Expr) {
            TRecordAdapter rec([&](int index) { return FilterValueOf(record, index); });
            accept = f.Expr->Evaluate(rec);
        } else if (f.Callback) {
            accept = EvaluateOnRecord(record, [&] { return f.Callback(f.ClientData, record); });
        }
        if (!accept) return false;
    }
    return true;
}

std::unique_ptr<TFilterExpr> TBDEDataSet::CompileCursorFilter(const std::string& text,
                                                              TFilterOptions options) {
    CheckActive();
    TFilterFieldResolver resolver = [this](std::string_view name) -> std::optional<TFilterFieldInfo> {
        TField* f = FindField(name);
        if (!f || f->Slot() < 0) return std::nullopt;
        if (f->IsBlob() && f->DataType() != ftMemo && f->DataType() != ftFmtMemo) return std::nullopt;
        return TFilterFieldInfo{f->Slot(), FilterKindOf(f->DataType())};
    };
    return CompileFilter(text, resolver, TFilterCompileOptions::From(options));
}

bool TBDEDataSet::ReadRecordField(const TRecordBuffer& record, std::string_view fieldName, Variant& value) {
    TField* f = FieldByName(fieldName);
    bool blank = true;
    EvaluateOnRecord(const_cast<TRecordBuffer&>(record), [&] {
        blank = f->IsNull();
        value = blank ? Variant::Null() : f->AsVariant();
        return true;
    });
    return !blank;
}

// ---- TDBDataSet ----------------------------------------------------------------------------------

TDBDataSet::TDBDataSet(TComponent* owner) : TBDEDataSet(owner) {}

TDBDataSet::~TDBDataSet() {
    if (FDatabase) FDatabase->RemoveDataSet(this);
}

void TDBDataSet::SetDatabaseName(const std::string& v) {
    if (v == FDatabaseName) return;
    CheckInactive();
    FDatabaseName = v;
}

void TDBDataSet::SetSessionName(const std::string& v) {
    if (v == FSessionName) return;
    CheckInactive();
    FSessionName = v;
}

TSession* TDBDataSet::DBSession() const {
    return Sessions().OpenSession(FSessionName);
}

void* TDBDataSet::DBHandle() const {
    return FDatabase && FDatabase->GetConnected() ? FDatabase->Connection().Handle() : nullptr;
}

void TDBDataSet::FlushBuffers() {
    if (FDatabase) FDatabase->FlushBuffers();
}

TDatabase* TDBDataSet::OpenDatabase() {
    if (FDatabase) return FDatabase;
    if (Trim(FDatabaseName).empty()) Error("Missing DatabaseName property");
    TDatabase* db = DBSession()->OpenDatabase(FDatabaseName);
    FDatabase = db;
    db->AddDataSet(this);
    return db;
}

void TDBDataSet::CloseDatabase() {
    if (!FDatabase) return;
    TDatabase* db = FDatabase;
    FDatabase = nullptr;
    db->RemoveDataSet(this);
    DBSession()->CloseDatabase(db);
}

QEL_IMPLEMENT_CLASS(TBDEDataSet)
QEL_IMPLEMENT_CLASS(TDBDataSet, [](auto& c) {
    c.Property("DatabaseName", &TDBDataSet::GetDatabaseName, &TDBDataSet::SetDatabaseName);
    c.Property("SessionName", &TDBDataSet::GetSessionName, &TDBDataSet::SetSessionName);
})

} // namespace qel
