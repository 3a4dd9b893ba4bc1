#include "platform/engine/query.h"

#include <algorithm>

#include "platform/core/strutils.h"

namespace qel {

using namespace engine;

namespace {

struct TQueryRecord : TRecordBuffer {};

std::string EncodeIndex(int i) {
    std::string b(4, '\0');
    auto u = static_cast<uint32_t>(i);
    for (int k = 3; k >= 0; --k) {
        b[static_cast<size_t>(k)] = static_cast<char>(u & 0xFF);
        u >>= 8;
    }
    return b;
}

bool DecodeIndex(const std::string& b, int& i) {
    if (b.size() != 4) return false;
    uint32_t u = 0;
    for (char c : b) u = (u << 8) | static_cast<unsigned char>(c);
    i = static_cast<int>(u);
    return i >= 0;
}

bool IsIdentChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

// Walks the SQL text outside quotes and comments, calling fn(word, start) for each word; fn may
// return a replacement.
template <typename F>
std::string MapWords(const std::string& sql, F fn) {
    std::string out;
    size_t i = 0;
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
        } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
            size_t j = sql.find('\n', i);
            if (j == std::string::npos) j = sql.size();
            out.append(sql, i, j - i);
            i = j;
        } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
            size_t j = sql.find("*/", i + 2);
            j = j == std::string::npos ? sql.size() : j + 2;
            out.append(sql, i, j - i);
            i = j;
        } else if (IsIdentChar(c) && !(c >= '0' && c <= '9')) {
            size_t j = i;
            while (j < sql.size() && IsIdentChar(sql[j])) ++j;
            std::string word = sql.substr(i, j - i);
            out += fn(word, i);
            i = j;
        } else {
            out += c;
            ++i;
        }
    }
    return out;
}

// The words of the local SQL dialect that SQLite spells differently.
std::string TranslateLocalSQL(const std::string& sql) {
    return MapWords(sql, [](const std::string& w, size_t) -> std::string {
        if (SameText(w, "DESCENDING")) return "DESC";
        if (SameText(w, "ASCENDING")) return "ASC";
        return w;
    });
}

void BindVariant(TSqlStatement& st, int i, const Variant& v, TFieldType type) {
    switch (v.Type()) {
    case TVarType::Empty:
    case TVarType::Null: st.BindNull(i); return;
    case TVarType::Boolean:
    case TVarType::Integer: st.BindInt(i, v.AsInteger()); return;
    case TVarType::Float:
    case TVarType::Currency: st.BindFloat(i, v.AsFloat()); return;
    case TVarType::Bytes: st.BindBlob(i, v.Bytes()); return;
    case TVarType::DateTime: {
        TFieldValue in, out;
        in.SetFloat(v.AsDateTime());
        ToStorage(type == ftDate || type == ftTime ? type : ftDateTime, in, out);
        st.Bind(i, out);
        return;
    }
    default: st.BindText(i, v.AsString()); return;
    }
}

class TParamLink : public TDataLink {
public:
    std::function<void()> OnChange;

protected:
    void ActiveChanged() override { Fire(); }
    void DataSetChanged() override { Fire(); }
    void DataSetScrolled(int) override { Fire(); }

private:
    void Fire() {
        if (OnChange) OnChange();
    }
};

} // namespace

struct TQuery::TImpl {
    TQuery& Q;
    explicit TImpl(TQuery& q) : Q(q) {}
    struct TCol {
        std::string Name, Decl, Table, Origin;
        TFieldType Type = ftUnknown;
        int Size = 0;
    };
    TDatabase* Db = nullptr;
    std::unique_ptr<TSqlStatement> Stmt;
    bool Open = false;
    std::vector<TCol> Cols;
    int RowIdCol = -1;
    bool Live = false;
    std::string LiveTable;
    std::vector<std::vector<TFieldValue>> Rows;
    std::vector<int64_t> RowIds;
    std::vector<bool> Deleted;
    int Pos = -1; // -1: before the first row; Rows.size(): after the last
    bool UniHasRow = false;
    bool UniDone = false;
    std::vector<TFieldValue> UniRow;
    std::unique_ptr<TParamLink> Master;

    int DataCol(int i) const { return RowIdCol >= 0 && i >= RowIdCol ? i + 1 : i; }

    void Bind(TSqlStatement& st) {
        TDataSet* master = Master && Master->Active() ? Master->DataSet() : nullptr;
        for (size_t i = 0; i < Q.FParamOrder.size(); ++i) {
            TParam* p = Q.FParams->FindParam(Q.FParamOrder[i]);
            int idx = static_cast<int>(i + 1);
            if (p && !p->GetBound() && master) {
                if (TField* f = master->FindField(p->GetName())) {
                    BindVariant(st, idx, f->AsVariant(), f->DataType());
                    continue;
                }
            }
            if (!p || !p->GetBound())
                DatabaseError("No value for parameter '" + Q.FParamOrder[i] + "'", Q.GetName());
            BindVariant(st, idx, p->GetValue(), p->GetDataType());
        }
    }

    // A single-table SELECT gets the row id as an extra first column so it can be edited.
    bool TryPrepareLive() {
        std::string text = Q.FText;
        size_t start = std::string::npos;
        bool first = true, ok = true;
        MapWords(text, [&](const std::string& w, size_t pos) -> std::string {
            std::string u = UpperCase(w);
            if (first) {
                first = false;
                if (u == "SELECT")
                    start = pos + w.size();
                else
                    ok = false;
            } else if (u == "DISTINCT" || u == "GROUP" || u == "UNION" || u == "INTERSECT" || u == "EXCEPT" ||
                       u == "JOIN" || u == "HAVING")
                ok = false;
            return w;
        });
        if (!ok || start == std::string::npos) return false;
        std::string liveSql = text.substr(0, start) + " rowid AS __qel_rowid," + text.substr(start);
        std::unique_ptr<TSqlStatement> st;
        try {
            st = std::make_unique<TSqlStatement>(Db->Connection(), liveSql);
        } catch (const EDatabaseError&) {
            return false;
        }
        std::string table;
        for (int c = 0; c < st->ColumnCount(); ++c) {
            std::string t = st->ColumnTableName(c);
            if (t.empty() || (!table.empty() && t != table)) return false;
            table = t;
        }
        if (table.empty()) return false;
        Stmt = std::move(st);
        RowIdCol = 0;
        Live = true;
        LiveTable = table;
        return true;
    }

    void Prepare() {
        if (Stmt) return;
        Db = Q.OpenDatabase();
        try {
            if (Trim(Q.FText).empty()) DatabaseError("No SQL statement available", Q.GetName());
            RowIdCol = -1;
            Live = false;
            if (!(Q.FRequestLive && !Q.FUniDirectional && TryPrepareLive()))
                Stmt = std::make_unique<TSqlStatement>(Db->Connection(), Q.FText);
        } catch (...) {
            Stmt.reset();
            Db = nullptr;
            Q.CloseDatabase();
            throw;
        }
    }

    void Unprepare() {
        Stmt.reset();
        if (Db && !Open) {
            Db = nullptr;
            Q.CloseDatabase();
        }
    }

    void ReadColumns() {
        Cols.clear();
        int n = Stmt->ColumnCount();
        std::vector<std::string> used;
        for (int c = 0; c < n; ++c) {
            if (c == RowIdCol) continue;
            TCol col;
            col.Name = Stmt->ColumnName(c);
            if (col.Name.empty()) col.Name = "COLUMN" + std::to_string(c + 1);
            std::string base = col.Name;
            for (int k = 1; std::any_of(used.begin(), used.end(),
                                        [&](const std::string& u) { return SameText(u, col.Name); });
                 ++k)
                col.Name = base + "_" + std::to_string(k);
            used.push_back(col.Name);
            col.Decl = Stmt->ColumnDeclType(c);
            col.Table = Stmt->ColumnTableName(c);
            col.Origin = Stmt->ColumnOriginName(c);
            if (!col.Decl.empty()) col.Type = FieldTypeOfDecl(col.Decl, col.Size, false);
            Cols.push_back(col);
        }
    }

    void ReadRow(std::vector<TFieldValue>& row) {
        row.resize(Cols.size());
        for (size_t i = 0; i < Cols.size(); ++i) {
            TCol& col = Cols[i];
            int c = DataCol(static_cast<int>(i));
            if (col.Type == ftUnknown) {
                // Computed columns take their type from the first value.
                TFieldValue raw;
                Stmt->ReadRaw(c, raw);
                row[i] = raw;
                continue;
            }
            FromStorage(col.Type, *Stmt, c, row[i]);
        }
    }

    void FinishTypes() {
        for (size_t i = 0; i < Cols.size(); ++i) {
            TCol& col = Cols[i];
            if (col.Type != ftUnknown) continue;
            int maxLen = 1;
            TFieldValue::TKind kind = TFieldValue::Null;
            bool mixed = false;
            for (auto& r : Rows) {
                const TFieldValue& v = r[i];
                if (v.IsNull()) continue;
                if (kind == TFieldValue::Null)
                    kind = v.Kind;
                else if (kind != v.Kind)
                    mixed = true;
                if (v.Kind == TFieldValue::Text) maxLen = std::max(maxLen, static_cast<int>(v.S.size()));
            }
            if (mixed || kind == TFieldValue::Text || kind == TFieldValue::Null) {
                col.Type = maxLen > 8192 ? ftMemo : ftString;
                col.Size = maxLen > 8192 ? 0 : std::max(maxLen, 20);
                for (auto& r : Rows) {
                    TFieldValue& v = r[i];
                    if (v.Kind == TFieldValue::Int)
                        v.SetText(std::to_string(v.I));
                    else if (v.Kind == TFieldValue::Float)
                        v.SetText(dbconv::FloatToText(v.F));
                }
            } else if (kind == TFieldValue::Int)
                col.Type = ftLargeint;
            else
                col.Type = ftFloat;
        }
    }

    void Execute() {
        Rows.clear();
        RowIds.clear();
        Deleted.clear();
        Stmt->Reset();
        Bind(*Stmt);
        ReadColumns();
        UniHasRow = UniDone = false;
        if (Q.FUniDirectional) {
            for (auto& c : Cols)
                if (c.Type == ftUnknown) c.Type = ftString, c.Size = 255;
            return;
        }
        while (Stmt->Step()) {
            Rows.emplace_back();
            ReadRow(Rows.back());
            RowIds.push_back(RowIdCol >= 0 ? Stmt->ColumnInt(RowIdCol) : 0);
        }
        Deleted.assign(Rows.size(), false);
        Stmt->Reset();
        FinishTypes();
    }

    void Fill(TRecordBuffer& buf, int index) {
        Q.InitBuffer(buf);
        auto& row = Rows[static_cast<size_t>(index)];
        for (TField* f : Q.Fields().List())
            if (f->GetFieldKind() == fkData && f->Slot() >= 0 && f->Slot() < static_cast<int>(row.size()))
                buf.Values[static_cast<size_t>(f->Slot())] = row[static_cast<size_t>(f->Slot())];
        buf.Bookmark = EncodeIndex(index);
        buf.Flag = bfCurrent;
    }

    bool Visible(int index, TRecordBuffer& buf) {
        if (Deleted[static_cast<size_t>(index)]) return false;
        Fill(buf, index);
        return Q.PrepareFetchedRecord(buf) && Q.CursorFiltersAccept(buf);
    }
};

// ---- TQuery --------------------------------------------------------------------------------------

TQuery::TQuery(TComponent* owner)
    : TDBDataSet(owner), FSQL(std::make_unique<TStringList>()), FParams(std::make_unique<TParams>()),
      FImpl(std::make_unique<TImpl>(*this)) {
    FSQL->OnChange = TNotifyEvent(this, &TQuery::SQLChanged);
}

TQuery::~TQuery() {
    Destroying();
    try {
        Close();
    } catch (...) {
    }
    FImpl->Master.reset();
    FImpl->Stmt.reset();
    FSQL->OnChange = nullptr;
}

void TQuery::SetSQL(TStrings* v) {
    FSQL->Assign(v);
}

void TQuery::SQLChanged(TObject*) {
    if (GetActive()) Close();
    SetPrepared(false);
    TParams old;
    old.Assign(FParams.get());
    FParams->Clear();
    FParamOrder.clear();
    std::string text = FParams->ParseSQL(FSQL->GetText(), true, &FParamOrder);
    FText = TranslateLocalSQL(Trim(text));
    for (int i = 0; i < FParams->Count(); ++i)
        if (TParam* p = old.FindParam(FParams->Items(i)->GetName())) FParams->Items(i)->Assign(p);
}

TDataSource* TQuery::GetDataSource() const {
    return FImpl->Master ? FImpl->Master->GetDataSource() : nullptr;
}

void TQuery::SetDataSource(TDataSource* v) {
    if (v && IsLinkedTo(v)) Error("Circular datalinks are not allowed");
    if (!v) {
        FImpl->Master.reset();
        return;
    }
    if (!FImpl->Master) {
        FImpl->Master = std::make_unique<TParamLink>();
        FImpl->Master->OnChange = [this] { MasterChanged(); };
    }
    FImpl->Master->SetDataSource(v);
}

void TQuery::MasterChanged() {
    if (!GetActive() || State() != dsBrowse) return;
    TDataSet* master = FImpl->Master ? FImpl->Master->DataSet() : nullptr;
    if (master && master->State() == dsSetKey) return;
    DisableControls();
    try {
        Close();
        Open();
    } catch (...) {
        EnableControls();
        throw;
    }
    EnableControls();
}

void TQuery::SetRequestLive(bool v) {
    if (v == FRequestLive) return;
    CheckInactive();
    FRequestLive = v;
    SetPrepared(false);
}

void TQuery::SetUniDirectional(bool v) {
    if (v == FUniDirectional) return;
    CheckInactive();
    FUniDirectional = v;
    SetPrepared(false);
}

void TQuery::SetPrepared(bool v) {
    if (v == FPrepared) return;
    if (v) {
        FImpl->Prepare();
        FPrepared = true;
    } else {
        if (GetActive()) Close();
        FImpl->Unprepare();
        FPrepared = false;
    }
}

void TQuery::ExecSQL() {
    CheckInactive();
    TImpl& m = *FImpl;
    bool wasPrepared = FPrepared;
    m.Prepare();
    try {
        m.Stmt->Reset();
        m.Bind(*m.Stmt);
        m.Stmt->Execute();
        FRowsAffected = static_cast<int>(m.Db->Connection().Changes());
        m.Stmt->Reset();
        m.Db->DataChanged(this);
    } catch (...) {
        if (!wasPrepared) m.Unprepare();
        throw;
    }
    if (!wasPrepared) m.Unprepare();
}

void TQuery::InternalInitFieldDefs() {
    FieldDefs()->Clear();
    for (auto& c : FImpl->Cols) {
        TFieldDef* d = FieldDefs()->Add(c.Name, c.Type, c.Size, false);
        if (!FImpl->Live || c.Origin.empty()) d->SetAttributes(TFieldAttributes{faReadonly});
    }
}

void TQuery::InternalOpen() {
    TImpl& m = *FImpl;
    m.Prepare();
    try {
        if (m.Stmt->ColumnCount() == 0) DatabaseError("The SQL statement returns no result set", GetName());
        m.Execute();
        InternalInitFieldDefs();
        m.Pos = -1;
        m.Open = true;
        EngineCursorOpened();
    } catch (...) {
        if (!FPrepared) m.Unprepare();
        throw;
    }
}

void TQuery::InternalClose() {
    TImpl& m = *FImpl;
    if (m.Open) EngineCursorClosed();
    m.Open = false;
    m.Rows.clear();
    m.RowIds.clear();
    m.Deleted.clear();
    if (m.Stmt) m.Stmt->Reset();
    if (!FPrepared) m.Unprepare();
}

bool TQuery::IsCursorOpen() const {
    return FImpl->Open;
}

std::unique_ptr<TRecordBuffer> TQuery::AllocRecordBuffer() const {
    return std::make_unique<TQueryRecord>();
}

bool TQuery::GetCanModify() const {
    return FImpl->Live && FRequestLive && FImpl->Db && !FImpl->Db->GetReadOnly();
}

void TQuery::InternalFirst() {
    FImpl->Pos = -1;
}

void TQuery::InternalLast() {
    FImpl->Pos = static_cast<int>(FImpl->Rows.size());
}

TGetResult TQuery::GetRecord(TRecordBuffer& buffer, TGetMode mode) {
    TImpl& m = *FImpl;
    if (FUniDirectional) {
        if (mode == gmPrior) return grBOF;
        if (mode == gmCurrent) {
            if (!m.UniHasRow) return m.UniDone ? grEOF : grBOF;
        } else {
            while (true) {
                if (m.UniDone || !m.Stmt->Step()) {
                    m.UniDone = true;
                    m.UniHasRow = false;
                    return grEOF;
                }
                m.ReadRow(m.UniRow);
                InitBuffer(buffer);
                for (TField* f : Fields().List())
                    if (f->GetFieldKind() == fkData && f->Slot() >= 0 &&
                        f->Slot() < static_cast<int>(m.UniRow.size()))
                        buffer.Values[static_cast<size_t>(f->Slot())] =
                            m.UniRow[static_cast<size_t>(f->Slot())];
                if (PrepareFetchedRecord(buffer) && CursorFiltersAccept(buffer)) break;
            }
            m.UniHasRow = true;
            ++m.Pos;
            buffer.Bookmark = EncodeIndex(m.Pos);
            return grOK;
        }
        InitBuffer(buffer);
        for (TField* f : Fields().List())
            if (f->GetFieldKind() == fkData && f->Slot() >= 0 &&
                f->Slot() < static_cast<int>(m.UniRow.size()))
                buffer.Values[static_cast<size_t>(f->Slot())] = m.UniRow[static_cast<size_t>(f->Slot())];
        PrepareFetchedRecord(buffer);
        buffer.Bookmark = EncodeIndex(m.Pos);
        return grOK;
    }
    int n = static_cast<int>(m.Rows.size());
    switch (mode) {
    case gmCurrent:
        if (m.Pos < 0) return grBOF;
        if (m.Pos >= n) return grEOF;
        return m.Visible(m.Pos, buffer) ? grOK : grError;
    case gmNext:
        while (m.Pos < n) {
            ++m.Pos;
            if (m.Pos < n && m.Visible(m.Pos, buffer)) return grOK;
        }
        return grEOF;
    case gmPrior:
        while (m.Pos >= 0) {
            --m.Pos;
            if (m.Pos >= 0 && m.Visible(m.Pos, buffer)) return grOK;
        }
        return grBOF;
    }
    return grError;
}

void TQuery::InternalSetToRecord(const TRecordBuffer& buffer) {
    int i;
    if (DecodeIndex(buffer.Bookmark, i))
        FImpl->Pos = i;
    else if (buffer.Flag == bfInserted)
        FImpl->Pos = static_cast<int>(FImpl->Rows.size());
}

bool TQuery::InternalGotoBookmark(const TBookmark& bookmark) {
    TImpl& m = *FImpl;
    int i;
    if (FUniDirectional || !DecodeIndex(bookmark, i) || i >= static_cast<int>(m.Rows.size())) return false;
    auto& scratch = ScratchBuffer();
    if (!m.Visible(i, scratch)) return false;
    m.Pos = i;
    return true;
}

bool TQuery::BookmarkValid(const TBookmark& bookmark) const {
    TImpl& m = *FImpl;
    int i;
    if (!m.Open || FUniDirectional || !DecodeIndex(bookmark, i) || i >= static_cast<int>(m.Rows.size()))
        return false;
    TQueryRecord rec;
    return m.Visible(i, rec);
}

int TQuery::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
    int x, y;
    bool okA = DecodeIndex(a, x), okB = DecodeIndex(b, y);
    if (!okA && !okB) return 0;
    if (!okA) return -1;
    if (!okB) return 1;
    return x < y ? -1 : (x > y ? 1 : 0);
}

int TQuery::GetRecordCount() const {
    TImpl& m = *FImpl;
    if (!m.Open) return 0;
    if (FUniDirectional) return -1;
    TQueryRecord rec;
    int count = 0;
    for (int i = 0; i < static_cast<int>(m.Rows.size()); ++i)
        if (m.Visible(i, rec)) ++count;
    return count;
}

int TQuery::GetRecNoInternal() const {
    TImpl& m = *FImpl;
    if (FUniDirectional) return m.Pos + 1;
    if (m.Pos < 0 || m.Pos >= static_cast<int>(m.Rows.size())) return 0;
    TQueryRecord rec;
    int n = 0;
    for (int i = 0; i <= m.Pos; ++i)
        if (m.Visible(i, rec)) ++n;
    return n;
}

void TQuery::SetRecNoInternal(int value) {
    TImpl& m = *FImpl;
    TQueryRecord rec;
    int n = 0;
    for (int i = 0; i < static_cast<int>(m.Rows.size()); ++i)
        if (m.Visible(i, rec) && ++n == value) {
            m.Pos = i;
            return;
        }
    m.Pos = static_cast<int>(m.Rows.size());
}

void TQuery::InternalRefresh() {
    TImpl& m = *FImpl;
    if (FUniDirectional) return;
    int64_t rowid =
        m.Pos >= 0 && m.Pos < static_cast<int>(m.RowIds.size()) ? m.RowIds[static_cast<size_t>(m.Pos)] : 0;
    int pos = m.Pos;
    m.Execute();
    m.Pos = std::min(pos, static_cast<int>(m.Rows.size()));
    if (m.Live && rowid)
        for (size_t i = 0; i < m.RowIds.size(); ++i)
            if (m.RowIds[i] == rowid) m.Pos = static_cast<int>(i);
}

void TQuery::ResetCursorStatements() {
    if (FImpl->Stmt && !FUniDirectional) FImpl->Stmt->Reset();
}

void TQuery::InternalPost() {
    TImpl& m = *FImpl;
    if (!CanModify()) Error("Cannot modify a read-only dataset");
    TRecordBuffer& rec = *ActiveBuffer();
    const TRecordBuffer* old = OldRecord();
    std::vector<std::pair<size_t, TFieldValue>> values;
    for (TField* f : Fields().List()) {
        if (f->GetFieldKind() != fkData || f->Slot() < 0) continue;
        size_t slot = static_cast<size_t>(f->Slot());
        const auto& col = m.Cols[slot];
        if (col.Origin.empty() || col.Table != m.LiveTable) continue;
        const TFieldValue& v = rec.Values[slot];
        if (State() == dsInsert) {
            if (v.IsNull()) continue;
        } else if (old && old->Values[slot] == v)
            continue;
        TFieldValue s;
        ToStorage(col.Type, v, s);
        values.emplace_back(slot, s);
    }
    auto& conn = m.Db->Connection();
    std::string qt = QuoteIdent(m.LiveTable);
    int index = m.Pos;
    if (State() == dsInsert) {
        std::string cols, qs;
        for (auto& [slot, v] : values) {
            cols += (cols.empty() ? "" : ", ") + QuoteIdent(m.Cols[slot].Origin);
            qs += qs.empty() ? "?" : ", ?";
        }
        TSqlStatement st(conn, values.empty() ? "INSERT INTO " + qt + " DEFAULT VALUES"
                                              : "INSERT INTO " + qt + " (" + cols + ") VALUES (" + qs + ")");
        int i = 1;
        for (auto& [slot, v] : values)
            st.Bind(i++, v, m.Cols[slot].Type == ftBlob || m.Cols[slot].Type == ftGraphic);
        st.Execute();
        int64_t rowid = conn.LastInsertRowId();
        int at = rec.Flag == bfEOF   ? static_cast<int>(m.Rows.size())
                 : rec.Flag == bfBOF ? 0
                                     : std::clamp(index, 0, static_cast<int>(m.Rows.size()));
        if (rec.Flag == bfInserted) {
            int b;
            if (DecodeIndex(rec.Bookmark, b)) at = std::clamp(b, 0, static_cast<int>(m.Rows.size()));
        }
        m.Rows.insert(m.Rows.begin() + at, std::vector<TFieldValue>(m.Cols.size()));
        m.RowIds.insert(m.RowIds.begin() + at, rowid);
        m.Deleted.insert(m.Deleted.begin() + at, false);
        index = at;
    } else {
        if (index < 0 || index >= static_cast<int>(m.Rows.size())) Error("Record not found");
        if (!values.empty()) {
            std::string sets;
            for (auto& [slot, v] : values)
                sets += (sets.empty() ? "" : ", ") + QuoteIdent(m.Cols[slot].Origin) + " = ?";
            TSqlStatement st(conn, "UPDATE " + qt + " SET " + sets + " WHERE rowid = ?");
            int i = 1;
            for (auto& [slot, v] : values)
                st.Bind(i++, v, m.Cols[slot].Type == ftBlob || m.Cols[slot].Type == ftGraphic);
            st.BindInt(i, m.RowIds[static_cast<size_t>(index)]);
            st.Execute();
        }
    }
    // Read the row back as stored (defaults, conversions).
    std::string cols;
    std::vector<size_t> slots;
    for (size_t i = 0; i < m.Cols.size(); ++i)
        if (!m.Cols[i].Origin.empty() && m.Cols[i].Table == m.LiveTable) {
            cols += (cols.empty() ? "" : ", ") + QuoteIdent(m.Cols[i].Origin);
            slots.push_back(i);
        }
    auto& row = m.Rows[static_cast<size_t>(index)];
    for (size_t i = 0; i < row.size(); ++i)
        if (std::find(slots.begin(), slots.end(), i) == slots.end()) row[i] = rec.Values[i];
    if (!cols.empty()) {
        TSqlStatement st(conn, "SELECT " + cols + " FROM " + qt + " WHERE rowid = ?");
        st.BindInt(1, m.RowIds[static_cast<size_t>(index)]);
        if (st.Step())
            for (size_t k = 0; k < slots.size(); ++k)
                FromStorage(m.Cols[slots[k]].Type, st, static_cast<int>(k), row[slots[k]]);
    }
    m.Pos = index;
    m.Db->DataChanged(this);
}

void TQuery::InternalDelete() {
    TImpl& m = *FImpl;
    if (!CanModify()) Error("Cannot modify a read-only dataset");
    if (m.Pos < 0 || m.Pos >= static_cast<int>(m.Rows.size())) Error("Record not found");
    TSqlStatement st(m.Db->Connection(), "DELETE FROM " + QuoteIdent(m.LiveTable) + " WHERE rowid = ?");
    st.BindInt(1, m.RowIds[static_cast<size_t>(m.Pos)]);
    st.Execute();
    m.Deleted[static_cast<size_t>(m.Pos)] = true;
    m.Db->DataChanged(this);
}

// ---- TStoredProc ---------------------------------------------------------------------------------

TStoredProc::TStoredProc(TComponent* owner) : TDBDataSet(owner), FParams(std::make_unique<TParams>()) {}

TStoredProc::~TStoredProc() {
    Destroying();
    try {
        Close();
    } catch (...) {
    }
}

void TStoredProc::InternalOpen() {
    DatabaseError("Stored procedures are not supported by this database engine", GetName());
}

void TStoredProc::Prepare() {
    DatabaseError("Stored procedures are not supported by this database engine", GetName());
}

void TStoredProc::ExecProc() {
    DatabaseError("Stored procedures are not supported by this database engine", GetName());
}

QEL_IMPLEMENT_CLASS(TQuery, [](auto& c) {
    c.Property("DataSource", &TQuery::GetDataSource, &TQuery::SetDataSource);
    c.Property("RequestLive", &TQuery::GetRequestLive, &TQuery::SetRequestLive).Default(false);
    c.Object("SQL", &TQuery::SQL, &TQuery::SetSQL);
    c.Property("UniDirectional", &TQuery::GetUniDirectional, &TQuery::SetUniDirectional).Default(false);
    c.Property("UpdateMode", &TQuery::GetUpdateMode, &TQuery::SetUpdateMode).Default(upWhereAll);
})
QEL_IMPLEMENT_CLASS(TStoredProc, [](auto& c) {
    c.Property("Overload", &TStoredProc::GetOverload, &TStoredProc::SetOverload).Default(0);
    c.Property("ParamBindMode", &TStoredProc::GetParamBindMode, &TStoredProc::SetParamBindMode)
        .Default(pbByName);
    c.Property("StoredProcName", &TStoredProc::GetStoredProcName, &TStoredProc::SetStoredProcName);
})

} // namespace qel
