#include "platform/engine/table.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "platform/core/strutils.h"

namespace qel {

using namespace engine;

namespace {

struct TTableRecord : TRecordBuffer {
    int64_t RowId = 0;
    std::vector<TFieldValue> Keys; // stored values of the order columns
    int RecNo = 0;                 // 0: unknown
    uint64_t Gen = 0;              // data generation RecNo belongs to
    void CopyFrom(const TRecordBuffer& other) override {
        TRecordBuffer::CopyFrom(other);
        if (auto* t = dynamic_cast<const TTableRecord*>(&other)) {
            RowId = t->RowId;
            Keys = t->Keys;
            RecNo = t->RecNo;
            Gen = t->Gen;
        }
    }
};

std::string EncodeBookmark(int64_t rowid) {
    std::string b(8, '\0');
    auto u = static_cast<uint64_t>(rowid) ^ (uint64_t{1} << 63); // sorts like the signed value
    for (int i = 7; i >= 0; --i) {
        b[static_cast<size_t>(i)] = static_cast<char>(u & 0xFF);
        u >>= 8;
    }
    return b;
}

bool DecodeBookmark(const std::string& b, int64_t& rowid) {
    if (b.size() != 8) return false;
    uint64_t u = 0;
    for (char c : b) u = (u << 8) | static_cast<unsigned char>(c);
    rowid = static_cast<int64_t>(u ^ (uint64_t{1} << 63));
    return true;
}

bool ValidCollation(const std::string& c) {
    if (c.empty()) return false;
    for (char ch : c)
        if (!((ch >= 'A' && ch <= 'Z') || (ch >= 'a' && ch <= 'z') || (ch >= '0' && ch <= '9') || ch == '_'))
            return false;
    return true;
}

bool IsCaseInsensitiveCollation(const std::string& c) {
    return SameText(c, "NOCASE") || SameText(c, "QELNOCASE");
}

// U+00FF at the end of a bound means "everything that starts with the text before it".
const char kMaxChar[] = "\xC3\xBF";

std::string Successor(const std::string& s) {
    // Increments the last code point (the smallest text greater than every text with prefix s).
    if (s.empty()) return s;
    size_t start = s.size() - 1;
    while (start > 0 && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    uint32_t cp;
    auto* p = reinterpret_cast<const unsigned char*>(s.data() + start);
    size_t n = s.size() - start;
    if (n == 1)
        cp = p[0];
    else if (n == 2)
        cp = ((p[0] & 0x1Fu) << 6) | (p[1] & 0x3Fu);
    else if (n == 3)
        cp = ((p[0] & 0x0Fu) << 12) | ((p[1] & 0x3Fu) << 6) | (p[2] & 0x3Fu);
    else
        cp = ((p[0] & 0x07u) << 18) | ((p[1] & 0x3Fu) << 12) | ((p[2] & 0x3Fu) << 6) | (p[3] & 0x3Fu);
    ++cp;
    std::string out = s.substr(0, start);
    if (cp < 0x80)
        out += static_cast<char>(cp);
    else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

TFieldValue VariantToStorage(TFieldType type, const Variant& v) {
    TFieldValue out;
    if (v.IsNull()) return out;
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
    case ftBoolean:
        if (v.Type() == TVarType::Float || v.Type() == TVarType::Currency)
            out.SetFloat(v.AsFloat());
        else if (type == ftBoolean)
            out.SetInt(v.AsBoolean() ? 1 : 0);
        else
            out.SetInt(v.AsInteger());
        return out;
    case ftFloat:
    case ftCurrency:
    case ftBCD: out.SetFloat(v.AsFloat()); return out;
    case ftDate:
    case ftTime:
    case ftDateTime: {
        TFieldValue f;
        f.SetFloat(v.AsDateTime());
        ToStorage(type, f, out);
        return out;
    }
    default: out.SetText(v.Type() == TVarType::Bytes ? v.Bytes() : v.AsString()); return out;
    }
}

} // namespace

struct TOrderCol {
    std::string Name;
    std::string Collate;
    bool Desc = false;
    bool RowId = false;
    TFieldType Type = ftUnknown;
    std::string Expr() const {
        std::string e = RowId ? std::string("rowid") : QuoteIdent(Name);
        if (!Collate.empty()) e += " COLLATE " + Collate;
        return e;
    }
};

enum TCmp { cmpAfter, cmpNotBefore, cmpBefore, cmpNotAfter };
enum { kiLookup, kiRangeStart, kiRangeEnd, kiCurRangeStart, kiCurRangeEnd, kiSave, kiCount };

class TMasterLink : public TDataLink {
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

struct TKeyBuffer {
    std::unique_ptr<TTableRecord> Rec;
    bool Modified = false;
    bool Exclusive = false;
    int FieldCount = 0;
};

struct TTable::TImpl {
    TTable& T;
    explicit TImpl(TTable& t) : T(t) {
        for (auto& k : KeyBufs) k.Rec = std::make_unique<TTableRecord>();
    }

    struct TCol {
        std::string Name;
        TFieldType Type = ftUnknown;
        int Size = 0;
        bool NotNull = false;
        int Pk = 0;
        bool Hidden = false;
        std::string Collate;
    };

    TDatabase* Db = nullptr;
    std::string Table, QTable;
    bool Open = false;
    bool Acquired = false, AcquiredExclusive = false;
    std::vector<TCol> Cols;
    std::vector<TOrderCol> Order; // key columns then rowid
    int KeyCount = 0;
    std::string SelectList;
    std::vector<std::pair<int, TFieldType>> Fetch; // (slot, type) of columns 1+KeyCount+i
    std::vector<int> Lazy;
    std::vector<int> ColOfSlot;
    std::string BaseWhere = "1";
    std::vector<TFieldValue> BaseParams;
    bool CppFilter = false;

    enum TPos { AtBOF, AtEOF, OnRow } Pos = AtBOF;
    int64_t RowId = 0;
    std::vector<TFieldValue> Keys;
    std::map<std::string, std::unique_ptr<TSqlStatement>> Cache;
    TSqlStatement* Fwd = nullptr;
    TSqlStatement* Bwd = nullptr;
    bool FwdSync = false, BwdSync = false;
    int Count = -1;
    int RecNo = 0;
    uint64_t Gen = 1;

    TKeyBuffer KeyBufs[kiCount];
    TKeyBuffer* KeyBuf = nullptr;
    std::unique_ptr<TMasterLink> Master;
    std::vector<TFieldValue> MasterValues;
    bool MasterApplied = false;

    TSqlConnection& Conn() const { return Db->Connection(); }

    TSqlStatement& Stmt(const std::string& sql) {
        auto it = Cache.find(sql);
        if (it != Cache.end()) {
            it->second->Reset();
            return *it->second;
        }
        if (Cache.size() > 64) {
            // Only statements that are not streaming may go.
            for (auto i = Cache.begin(); i != Cache.end();) {
                if (i->second.get() == Fwd || i->second.get() == Bwd)
                    ++i;
                else
                    i = Cache.erase(i);
            }
        }
        auto st = std::make_unique<TSqlStatement>(Conn(), sql);
        TSqlStatement& ref = *st;
        Cache.emplace(sql, std::move(st));
        return ref;
    }

    void Unsync() {
        if (Fwd) Fwd->Reset();
        if (Bwd) Bwd->Reset();
        FwdSync = BwdSync = false;
    }

    void Invalidate() {
        Unsync();
        Count = -1;
        RecNo = 0;
        ++Gen;
    }

    // ---- schema

    void LoadColumns() {
        Cols.clear();
        TSqlStatement st(Conn(), "SELECT name, type, \"notnull\", pk, hidden FROM pragma_table_xinfo(?)");
        st.BindText(1, Table);
        std::string createSql;
        {
            TSqlStatement s2(Conn(), "SELECT sql FROM sqlite_master WHERE type='table' AND name=?");
            s2.BindText(1, Table);
            if (s2.Step()) createSql = UpperCase(s2.ColumnText(0));
        }
        bool autoInc = createSql.find("AUTOINCREMENT") != std::string::npos;
        int pkCount = 0;
        while (st.Step()) {
            TCol c;
            c.Name = std::string(st.ColumnText(0));
            std::string decl(st.ColumnText(1));
            c.NotNull = st.ColumnInt(2) != 0;
            c.Pk = static_cast<int>(st.ColumnInt(3));
            c.Hidden = st.ColumnInt(4) != 0;
            if (c.Pk) ++pkCount;
            bool isAuto = autoInc && c.Pk && UpperCase(Trim(decl)) == "INTEGER";
            c.Type = FieldTypeOfDecl(decl, c.Size, isAuto);
            Cols.push_back(c);
        }
        if (Cols.empty()) EngineError("Table does not exist: " + Table, ecNotFound);
        if (pkCount > 1)
            for (auto& c : Cols)
                if (c.Type == ftAutoInc) c.Type = ftInteger;
    }

    void DefineFieldDefs() {
        TFieldDefs* defs = T.FieldDefs();
        defs->Clear();
        for (auto& c : Cols) {
            TFieldDef* d = defs->Add(c.Name, c.Type, c.Size, c.NotNull && c.Type != ftAutoInc);
            TFieldAttributes attrs;
            if (c.Hidden) attrs.Include(faReadonly);
            if (c.NotNull) attrs.Include(faRequired);
            if (c.Type == ftBCD) d->SetPrecision(20);
            d->SetAttributes(attrs);
            d->SetRequired(c.NotNull && c.Type != ftAutoInc);
        }
    }

    TCol* FindCol(std::string_view name) {
        for (auto& c : Cols)
            if (SameText(c.Name, name)) return &c;
        return nullptr;
    }

    struct TIndexInfo {
        std::string Name;
        std::vector<TOrderCol> Cols;
        bool Unique = false, Primary = false, Expression = false;
        std::string ExprText;
    };

    std::vector<TIndexInfo> ReadIndexes() {
        std::vector<TIndexInfo> out;
        // The primary key first (unnamed).
        std::vector<std::pair<int, std::string>> pk;
        for (auto& c : Cols)
            if (c.Pk) pk.emplace_back(c.Pk, c.Name);
        std::sort(pk.begin(), pk.end());
        std::map<std::string, std::pair<bool, std::string>> listInfo; // name -> (unique, origin)
        {
            TSqlStatement st(Conn(), "SELECT name, \"unique\", origin FROM pragma_index_list(?)");
            st.BindText(1, Table);
            while (st.Step())
                listInfo[std::string(st.ColumnText(0))] = {st.ColumnInt(1) != 0,
                                                           std::string(st.ColumnText(2))};
        }
        auto readCols = [&](const std::string& idx, TIndexInfo& info) {
            TSqlStatement st(
                Conn(), "SELECT cid, name, \"desc\", coll, key FROM pragma_index_xinfo(?) ORDER BY seqno");
            st.BindText(1, idx);
            while (st.Step()) {
                if (st.ColumnInt(4) == 0) continue;
                if (st.ColumnInt(0) == -2) {
                    info.Expression = true;
                    continue;
                }
                TOrderCol oc;
                oc.Name = std::string(st.ColumnText(1));
                oc.Desc = st.ColumnInt(2) != 0;
                std::string coll(st.ColumnText(3));
                if (ValidCollation(coll) && !SameText(coll, "BINARY")) oc.Collate = coll;
                if (TCol* c = FindCol(oc.Name)) oc.Type = c->Type;
                info.Cols.push_back(oc);
            }
        };
        bool pkFromIndex = false;
        for (auto& [name, li] : listInfo)
            if (li.second == "pk") {
                TIndexInfo info;
                info.Primary = info.Unique = true;
                readCols(name, info);
                out.insert(out.begin(), info);
                pkFromIndex = true;
            }
        if (!pkFromIndex && !pk.empty()) {
            TIndexInfo info;
            info.Primary = info.Unique = true;
            for (auto& p : pk) {
                TOrderCol oc;
                oc.Name = p.second;
                if (TCol* c = FindCol(p.second)) oc.Type = c->Type;
                info.Cols.push_back(oc);
            }
            out.insert(out.begin(), info);
        }
        TSqlStatement st(
            Conn(), "SELECT name, sql FROM sqlite_master WHERE type='index' AND tbl_name=? ORDER BY rowid");
        st.BindText(1, Table);
        std::vector<std::pair<std::string, std::string>> names;
        while (st.Step()) names.emplace_back(std::string(st.ColumnText(0)), std::string(st.ColumnText(1)));
        for (auto& [name, sql] : names) {
            auto li = listInfo.find(name);
            if (li != listInfo.end() && li->second.second == "pk") continue;
            TIndexInfo info;
            info.Name = name;
            info.Unique = li != listInfo.end() && li->second.first;
            readCols(name, info);
            if (info.Expression) {
                auto open = sql.find('(');
                auto close = sql.rfind(')');
                if (open != std::string::npos && close != std::string::npos && close > open)
                    info.ExprText = sql.substr(open + 1, close - open - 1);
                info.Cols.clear();
            }
            out.push_back(info);
        }
        return out;
    }

    void FillIndexDefs(TIndexDefs& defs) {
        defs.Clear();
        for (auto& ix : ReadIndexes()) {
            TIndexOptions opts;
            if (ix.Primary) opts.Include(ixPrimary);
            if (ix.Unique) opts.Include(ixUnique);
            std::string fields, desc, ci;
            bool allDesc = !ix.Cols.empty(), allCi = !ix.Cols.empty();
            for (auto& c : ix.Cols) {
                if (!fields.empty()) fields += ';';
                fields += c.Name;
                if (c.Desc)
                    desc += (desc.empty() ? "" : ";") + c.Name;
                else
                    allDesc = false;
                if (IsCaseInsensitiveCollation(c.Collate))
                    ci += (ci.empty() ? "" : ";") + c.Name;
                else
                    allCi = false;
            }
            if (allDesc) opts.Include(ixDescending);
            if (allCi) opts.Include(ixCaseInsensitive);
            if (ix.Expression) opts.Include(ixExpression);
            TIndexDef* d = defs.Add(ix.Name, ix.Expression ? std::string() : fields, opts);
            d->SetExpression(ix.ExprText);
            if (!allDesc) d->SetDescFields(desc);
            if (!allCi) d->SetCaseInsFields(ci);
        }
    }

    // Builds Order from IndexName / IndexFieldNames.
    void BuildOrder() {
        Order.clear();
        auto indexes = ReadIndexes();
        if (!T.FIndexFieldNames.empty()) {
            std::vector<std::string> names = SplitFieldNames(T.FIndexFieldNames);
            // Take collation and direction from an index that starts with the same fields.
            const TIndexInfo* match = nullptr;
            for (auto& ix : indexes) {
                if (ix.Cols.size() < names.size()) continue;
                bool ok = true;
                for (size_t i = 0; i < names.size() && ok; ++i) ok = SameText(ix.Cols[i].Name, names[i]);
                if (ok) {
                    match = &ix;
                    break;
                }
            }
            for (size_t i = 0; i < names.size(); ++i) {
                TCol* c = FindCol(names[i]);
                if (!c) T.Error("Field '" + names[i] + "' not found");
                TOrderCol oc;
                oc.Name = c->Name;
                oc.Type = c->Type;
                if (match) {
                    oc.Collate = match->Cols[i].Collate;
                    oc.Desc = match->Cols[i].Desc;
                }
                if (IsBlobType(c->Type)) T.Error("Cannot sort on field '" + c->Name + "'");
                Order.push_back(oc);
            }
        } else if (!T.FIndexName.empty()) {
            const TIndexInfo* found = nullptr;
            for (auto& ix : indexes)
                if (!ix.Name.empty() && SameText(ix.Name, T.FIndexName)) found = &ix;
            if (!found) T.Error("Index '" + T.FIndexName + "' not found");
            Order = found->Cols;
        } else {
            for (auto& ix : indexes)
                if (ix.Primary) {
                    Order = ix.Cols;
                    break;
                }
        }
        KeyCount = static_cast<int>(Order.size());
        TOrderCol rid;
        rid.RowId = true;
        rid.Type = ftLargeint;
        rid.Desc = !Order.empty() && Order.back().Desc;
        Order.push_back(rid);
    }

    void BindFieldsToColumns() {
        Fetch.clear();
        Lazy.clear();
        SelectList = "rowid";
        for (int k = 0; k < KeyCount; ++k)
            SelectList += ", " + QuoteIdent(Order[static_cast<size_t>(k)].Name);
        for (TField* f : T.Fields().List()) {
            if (f->GetFieldKind() != fkData || f->Slot() < 0) continue;
            const TCol& c = Cols[static_cast<size_t>(f->Slot())];
            if (IsBlobType(c.Type)) {
                Lazy.push_back(f->Slot());
                continue;
            }
            SelectList += ", " + QuoteIdent(c.Name);
            Fetch.emplace_back(f->Slot(), c.Type);
        }
        T.FIndexFields.clear();
        for (int k = 0; k < KeyCount; ++k)
            if (TField* f = T.FindField(Order[static_cast<size_t>(k)].Name); f && f->GetFieldKind() == fkData)
                T.FIndexFields.push_back(f);
            else
                break;
    }

    // ---- predicates

    std::string Pred(size_t n, const std::vector<TFieldValue>& vals, TCmp cmp,
                     std::vector<TFieldValue>& params) const {
        bool uniform = true, nonull = true;
        for (size_t i = 0; i < n; ++i) {
            if (Order[i].Desc != Order[0].Desc) uniform = false;
            if (vals[i].IsNull()) nonull = false;
        }
        if (uniform && nonull) {
            bool desc = Order[0].Desc;
            const char* op = "";
            switch (cmp) {
            case cmpAfter: op = desc ? "<" : ">"; break;
            case cmpNotBefore: op = desc ? "<=" : ">="; break;
            case cmpBefore: op = desc ? ">" : "<"; break;
            case cmpNotAfter: op = desc ? ">=" : "<="; break;
            }
            std::string lhs, rhs;
            for (size_t i = 0; i < n; ++i) {
                if (i) lhs += ", ", rhs += ", ";
                lhs += Order[i].Expr();
                rhs += "?";
            }
            if (n > 1) params.push_back(vals[0]); // the leading-column bound below
            for (size_t i = 0; i < n; ++i) params.push_back(vals[i]);
            if (n == 1) return lhs + " " + op + " ?";
            // SQLite does not seek an index with a row value under a collation; a bound on the
            // leading column alone lets it start the scan at the right place.
            bool up = (cmp == cmpAfter || cmp == cmpNotBefore) != desc;
            return Order[0].Expr() + (up ? " >= ?" : " <= ?") + " AND (" + lhs + ") " + op + " (" + rhs + ")";
        }
        bool forward = cmp == cmpAfter || cmp == cmpNotBefore;
        bool strict = cmp == cmpAfter || cmp == cmpBefore;
        auto eq = [&](size_t i) {
            if (vals[i].IsNull()) return Order[i].Expr() + " IS NULL";
            params.push_back(vals[i]);
            return Order[i].Expr() + " = ?";
        };
        // Whether column i lies beyond value i in the walking direction (NULLs sort first).
        auto beyond = [&](size_t i) -> std::string {
            bool up = forward != Order[i].Desc; // towards larger values
            const std::string e = Order[i].Expr();
            if (vals[i].IsNull()) return up ? e + " IS NOT NULL" : "0";
            params.push_back(vals[i]);
            return up ? e + " > ?" : "(" + e + " < ? OR " + e + " IS NULL)";
        };
        std::string out;
        for (size_t i = 0; i < n; ++i) {
            std::string term;
            for (size_t j = 0; j < i; ++j) term += eq(j) + " AND ";
            term += beyond(i);
            out += (out.empty() ? "(" : " OR (") + term + ")";
        }
        if (!strict) {
            std::string term;
            for (size_t j = 0; j < n; ++j) term += (j ? " AND " : "") + eq(j);
            out += (out.empty() ? "(" : " OR (") + term + ")";
        }
        return "(" + out + ")";
    }

    std::vector<TFieldValue> FullKey(int64_t rowid, const std::vector<TFieldValue>& keys) const {
        std::vector<TFieldValue> v = keys;
        v.resize(static_cast<size_t>(KeyCount));
        TFieldValue r;
        r.SetInt(rowid);
        v.push_back(r);
        return v;
    }

    // The key values of a key buffer in stored form, and how many take part.
    std::vector<TFieldValue> KeyValues(const TKeyBuffer& kb, bool rangeBound, int& n) const {
        std::vector<TFieldValue> vals;
        int limit = static_cast<int>(T.FIndexFields.size());
        if (kb.FieldCount > 0) limit = std::min(limit, kb.FieldCount);
        for (int i = 0; i < limit; ++i) {
            TField* f = T.FIndexFields[static_cast<size_t>(i)];
            const TFieldValue& v = kb.Rec->Values[static_cast<size_t>(f->Slot())];
            bool empty = v.IsNull() || (rangeBound && v.Kind == TFieldValue::Text && v.S.empty() &&
                                        IsTextType(f->DataType()));
            if (empty && kb.FieldCount == 0) break;
            TFieldValue s;
            if (!empty) ToStorage(Order[static_cast<size_t>(i)].Type, v, s);
            vals.push_back(s);
        }
        n = static_cast<int>(vals.size());
        return vals;
    }

    void BuildWhere() {
        BaseParams.clear();
        std::vector<std::string> parts;
        if (T.HasRange()) {
            for (int which : {kiCurRangeStart, kiCurRangeEnd}) {
                const TKeyBuffer& kb = KeyBufs[which];
                int n = 0;
                std::vector<TFieldValue> vals = KeyValues(kb, true, n);
                if (n == 0) continue;
                bool start = which == kiCurRangeStart;
                TCmp cmp = start ? (kb.Exclusive ? cmpAfter : cmpNotBefore)
                                 : (kb.Exclusive ? cmpBefore : cmpNotAfter);
                if (!start) {
                    TFieldValue& last = vals[static_cast<size_t>(n - 1)];
                    if (last.Kind == TFieldValue::Text && last.S.size() >= 2 &&
                        last.S.compare(last.S.size() - 2, 2, kMaxChar) == 0) {
                        std::string p = last.S;
                        while (p.size() >= 2 && p.compare(p.size() - 2, 2, kMaxChar) == 0)
                            p.resize(p.size() - 2);
                        if (p.empty()) {
                            --n;
                            vals.pop_back();
                            cmp = cmpNotAfter;
                        } else {
                            last.SetText(Successor(p));
                            cmp = cmpBefore;
                        }
                    }
                }
                if (n > 0) parts.push_back(Pred(static_cast<size_t>(n), vals, cmp, BaseParams));
            }
        }
        if (MasterApplied) {
            for (size_t i = 0; i < MasterValues.size(); ++i) {
                parts.push_back(Order[i].Expr() + " = ?");
                BaseParams.push_back(MasterValues[i]);
            }
        }
        bool pushed = false;
        if (const TFilterExpr* fx = T.FilterExpr()) {
            std::vector<TFilterValue> fp;
            auto sql = FilterExprToSQL(
                *fx,
                [this](int slot) -> std::optional<std::string> {
                    if (slot < 0 || slot >= static_cast<int>(Cols.size())) return std::nullopt;
                    if (IsBlobType(Cols[static_cast<size_t>(slot)].Type)) return std::nullopt;
                    return Cols[static_cast<size_t>(slot)].Name;
                },
                fp);
            if (sql) {
                pushed = true;
                parts.push_back("(" + *sql + ")");
                for (auto& v : fp) {
                    TFieldValue s;
                    switch (v.Kind) {
                    case TFilterValueKind::Integer: s.SetInt(v.AsInteger); break;
                    case TFilterValueKind::Float: s.SetFloat(v.AsFloat); break;
                    case TFilterValueKind::Boolean: s.SetInt(v.AsBoolean ? 1 : 0); break;
                    case TFilterValueKind::String: s.SetText(v.AsString); break;
                    case TFilterValueKind::DateTime: s.SetFloat(v.AsFloat); break;
                    default: break;
                    }
                    BaseParams.push_back(s);
                }
            }
        }
        T.SetFilterTextApplied(pushed);
        bool filterInCpp = T.GetFiltered() && ((T.FilterExpr() && !pushed) || T.GetOnFilterRecord());
        CppFilter = filterInCpp || T.HasActiveCursorFilters();
        BaseWhere.clear();
        for (auto& p : parts) BaseWhere += (BaseWhere.empty() ? "" : " AND ") + p;
        if (BaseWhere.empty()) BaseWhere = "1";
        Cache.clear();
        Fwd = Bwd = nullptr;
        FwdSync = BwdSync = false;
        Count = -1;
        RecNo = 0;
        ++Gen;
    }

    std::string OrderBy(bool reverse) const {
        std::string s;
        for (auto& c : Order) {
            if (!s.empty()) s += ", ";
            s += c.Expr();
            if (c.Desc != reverse) s += " DESC";
        }
        return s;
    }

    // ---- rows

    void ReadRow(const TSqlStatement& st, TTableRecord& rec) {
        T.InitBuffer(rec);
        rec.RowId = st.ColumnInt(0);
        rec.Keys.resize(static_cast<size_t>(KeyCount));
        for (int k = 0; k < KeyCount; ++k) st.ReadRaw(1 + k, rec.Keys[static_cast<size_t>(k)]);
        int col = 1 + KeyCount;
        for (auto& [slot, type] : Fetch) FromStorage(type, st, col++, rec.Values[static_cast<size_t>(slot)]);
        for (int slot : Lazy) rec.Values[static_cast<size_t>(slot)].Kind = TFieldValue::Unloaded;
        rec.Bookmark = EncodeBookmark(rec.RowId);
        rec.Flag = bfCurrent;
    }

    bool Accept(TTableRecord& rec) {
        if (!T.PrepareFetchedRecord(rec)) return false;
        return T.CursorFiltersAccept(rec);
    }

    bool ReadRowById(int64_t rowid, TTableRecord& rec, bool filters) {
        TSqlStatement& st =
            Stmt("SELECT " + SelectList + " FROM " + QTable + " WHERE rowid = ? AND (" + BaseWhere + ")");
        st.BindInt(1, rowid);
        int i = 2;
        for (auto& p : BaseParams) st.Bind(i++, p);
        if (!st.Step()) {
            st.Reset();
            return false;
        }
        ReadRow(st, rec);
        st.Reset();
        if (filters && !Accept(rec)) return false;
        return true;
    }

    TSqlStatement& OpenStream(bool forward, const std::vector<TFieldValue>* from, TCmp cmp, size_t n) {
        std::vector<TFieldValue> params = BaseParams;
        std::string where = BaseWhere;
        if (from) where += " AND " + Pred(n, *from, cmp, params);
        TSqlStatement& st = Stmt("SELECT " + SelectList + " FROM " + QTable + " WHERE " + where +
                                 " ORDER BY " + OrderBy(!forward));
        int i = 1;
        for (auto& p : params) st.Bind(i++, p);
        return st;
    }

    void SetOnRow(const TTableRecord& rec) {
        Pos = OnRow;
        RowId = rec.RowId;
        Keys = rec.Keys;
    }

    TGetResult Next(TTableRecord& rec) {
        if (Pos == AtEOF) return grEOF;
        if (!(Fwd && FwdSync)) {
            if (Bwd) Bwd->Reset();
            BwdSync = false;
            if (Pos == OnRow) {
                auto full = FullKey(RowId, Keys);
                Fwd = &OpenStream(true, &full, cmpAfter, full.size());
            } else
                Fwd = &OpenStream(true, nullptr, cmpAfter, 0);
            FwdSync = true;
        }
        bool known = Pos == AtBOF || RecNo > 0;
        int prev = Pos == AtBOF ? 0 : RecNo;
        while (Fwd->Step()) {
            ReadRow(*Fwd, rec);
            if (CppFilter && !Accept(rec)) continue;
            if (!CppFilter && T.HasCalcFields()) T.GetCalcFields(rec);
            SetOnRow(rec);
            RecNo = known ? prev + 1 : 0;
            rec.RecNo = RecNo;
            rec.Gen = Gen;
            return grOK;
        }
        if (known) Count = prev;
        Pos = AtEOF;
        Fwd->Reset();
        FwdSync = false;
        RecNo = 0;
        return grEOF;
    }

    TGetResult Prior(TTableRecord& rec) {
        if (Pos == AtBOF) return grBOF;
        if (!(Bwd && BwdSync)) {
            if (Fwd) Fwd->Reset();
            FwdSync = false;
            if (Pos == OnRow) {
                auto full = FullKey(RowId, Keys);
                Bwd = &OpenStream(false, &full, cmpBefore, full.size());
            } else
                Bwd = &OpenStream(false, nullptr, cmpBefore, 0);
            BwdSync = true;
        }
        int recNo = Pos == AtEOF ? (Count >= 0 ? Count + 1 : 0) : RecNo;
        while (Bwd->Step()) {
            ReadRow(*Bwd, rec);
            if (CppFilter && !Accept(rec)) continue;
            if (!CppFilter && T.HasCalcFields()) T.GetCalcFields(rec);
            SetOnRow(rec);
            RecNo = recNo > 1 ? recNo - 1 : 0;
            rec.RecNo = RecNo;
            rec.Gen = Gen;
            return grOK;
        }
        Pos = AtBOF;
        Bwd->Reset();
        BwdSync = false;
        RecNo = 0;
        return grBOF;
    }

    int CountRows() {
        if (Count >= 0) return Count;
        if (!CppFilter) {
            TSqlStatement& st = Stmt("SELECT count(*) FROM " + QTable + " WHERE " + BaseWhere);
            int i = 1;
            for (auto& p : BaseParams) st.Bind(i++, p);
            st.Step();
            Count = static_cast<int>(st.ColumnInt(0));
            st.Reset();
            return Count;
        }
        TSqlStatement st(Conn(), "SELECT " + SelectList + " FROM " + QTable + " WHERE " + BaseWhere);
        int i = 1;
        for (auto& p : BaseParams) st.Bind(i++, p);
        TTableRecord rec;
        int n = 0;
        while (st.Step()) {
            ReadRow(st, rec);
            if (Accept(rec)) ++n;
        }
        Count = n;
        return n;
    }

    int ComputeRecNo() {
        if (Pos != OnRow) return 0;
        if (RecNo > 0) return RecNo;
        auto full = FullKey(RowId, Keys);
        if (!CppFilter) {
            std::vector<TFieldValue> params = BaseParams;
            std::string where = BaseWhere + " AND " + Pred(full.size(), full, cmpBefore, params);
            TSqlStatement& st = Stmt("SELECT count(*) FROM " + QTable + " WHERE " + where);
            int i = 1;
            for (auto& p : params) st.Bind(i++, p);
            st.Step();
            RecNo = static_cast<int>(st.ColumnInt(0)) + 1;
            st.Reset();
            return RecNo;
        }
        TSqlStatement st(Conn(), "SELECT " + SelectList + " FROM " + QTable + " WHERE " + BaseWhere +
                                     " ORDER BY " + OrderBy(false));
        int i = 1;
        for (auto& p : BaseParams) st.Bind(i++, p);
        TTableRecord rec;
        int n = 0;
        while (st.Step()) {
            ReadRow(st, rec);
            if (!Accept(rec)) continue;
            ++n;
            if (rec.RowId == RowId) return RecNo = n;
        }
        return 0;
    }

    // Positions on the first visible row at or after (or after, when exclusive) a key prefix.
    bool SeekKey(const std::vector<TFieldValue>& vals, size_t n, bool exclusive, bool exact,
                 TTableRecord& rec) {
        Unsync();
        std::vector<TFieldValue> params = BaseParams;
        std::string where = BaseWhere;
        if (exact) {
            for (size_t i = 0; i < n; ++i) {
                if (vals[i].IsNull())
                    where += " AND " + Order[i].Expr() + " IS NULL";
                else {
                    where += " AND " + Order[i].Expr() + " = ?";
                    params.push_back(vals[i]);
                }
            }
        } else if (n > 0)
            where += " AND " + Pred(n, vals, exclusive ? cmpAfter : cmpNotBefore, params);
        TSqlStatement& st = Stmt("SELECT " + SelectList + " FROM " + QTable + " WHERE " + where +
                                 " ORDER BY " + OrderBy(false));
        int i = 1;
        for (auto& p : params) st.Bind(i++, p);
        while (st.Step()) {
            ReadRow(st, rec);
            if (CppFilter && !Accept(rec)) continue;
            st.Reset();
            SetOnRow(rec);
            RecNo = 0;
            return true;
        }
        st.Reset();
        return false;
    }
};

// ---- TTable --------------------------------------------------------------------------------------

TTable::TTable(TComponent* owner)
    : TDBDataSet(owner), FIndexDefs(std::make_unique<TIndexDefs>()), FImpl(std::make_unique<TImpl>(*this)) {
    FIndexDefs->SetUpdateProc([this](TIndexDefs& defs) { UpdateIndexDefs(defs); });
}

TTable::~TTable() {
    Destroying();
    try {
        Close();
    } catch (...) {
    }
    FImpl->Master.reset();
}

void TTable::SetTableName(const std::string& v) {
    if (v == FTableName) return;
    CheckInactive();
    FTableName = v;
    FieldDefs()->SetUpdated(false);
    FIndexDefs->SetUpdated(false);
}

void TTable::SetExclusive(bool v) {
    if (v == FExclusive) return;
    CheckInactive();
    FExclusive = v;
}

void TTable::SetReadOnly(bool v) {
    if (v == FReadOnly) return;
    CheckInactive();
    FReadOnly = v;
}

bool TTable::GetCanModify() const {
    return !FReadOnly && FImpl->Db && !FImpl->Db->GetReadOnly();
}

std::unique_ptr<TRecordBuffer> TTable::AllocRecordBuffer() const {
    return std::make_unique<TTableRecord>();
}

bool TTable::IsCursorOpen() const {
    return FImpl->Open;
}

void TTable::InternalInitFieldDefs() {
    FImpl->LoadColumns();
    FImpl->DefineFieldDefs();
}

void TTable::InternalOpen() {
    TImpl& m = *FImpl;
    m.Db = OpenDatabase();
    try {
        if (Trim(FTableName).empty()) Error("Missing TableName property");
        m.Table = m.Db->ResolveTableName(FTableName);
        if (m.Table.empty()) EngineError("Table does not exist: " + FTableName, ecNotFound);
        m.QTable = QuoteIdent(m.Table);
        m.Db->AcquireTable(m.Table, FExclusive);
        m.Acquired = true;
        m.AcquiredExclusive = FExclusive;
        InternalInitFieldDefs();
        m.Open = true;
        EngineCursorOpened();
    } catch (...) {
        if (m.Acquired) m.Db->ReleaseTable(m.Table, m.AcquiredExclusive);
        m.Acquired = false;
        m.Db = nullptr;
        CloseDatabase();
        throw;
    }
}

void TTable::InternalFieldsBound() {
    TImpl& m = *FImpl;
    m.BuildOrder();
    m.BindFieldsToColumns();
    for (auto& k : m.KeyBufs) {
        InitBuffer(*k.Rec);
        for (auto& v : k.Rec->Values) v.SetNull();
        k.Modified = k.Exclusive = false;
        k.FieldCount = 0;
    }
    m.KeyBuf = nullptr;
    m.MasterApplied = false;
    if (m.Master && m.Master->Active() && !FMasterFields.empty()) {
        // The detail starts on the master's current record.
        auto names = SplitFieldNames(FMasterFields);
        TDataSet* master = m.Master->DataSet();
        m.MasterValues.clear();
        for (size_t i = 0; i < names.size() && i < static_cast<size_t>(m.KeyCount); ++i) {
            TField* mf = master->FindField(names[i]);
            m.MasterValues.push_back(mf ? VariantToStorage(m.Order[i].Type, mf->AsVariant()) : TFieldValue{});
        }
        m.MasterApplied = true;
    }
    m.BuildWhere();
    m.Pos = TImpl::AtBOF;
}

void TTable::InternalClose() {
    TImpl& m = *FImpl;
    m.Cache.clear();
    m.Fwd = m.Bwd = nullptr;
    if (m.Open) EngineCursorClosed();
    m.Open = false;
    if (m.Acquired && m.Db) m.Db->ReleaseTable(m.Table, m.AcquiredExclusive);
    m.Acquired = false;
    m.Db = nullptr;
    FIndexFields.clear();
    m.KeyBuf = nullptr;
    for (int k : {kiCurRangeStart, kiCurRangeEnd}) m.KeyBufs[k].Modified = false;
    CloseDatabase();
}

void TTable::InternalFirst() {
    TImpl& m = *FImpl;
    m.Unsync();
    m.Pos = TImpl::AtBOF;
    m.RecNo = 0;
}

void TTable::InternalLast() {
    TImpl& m = *FImpl;
    m.Unsync();
    m.Pos = TImpl::AtEOF;
    m.RecNo = 0;
}

void TTable::InternalSetToRecord(const TRecordBuffer& buffer) {
    TImpl& m = *FImpl;
    auto& rec = static_cast<const TTableRecord&>(buffer);
    if (buffer.Flag == bfInserted) {
        // An inserted record stands before the record whose bookmark it carries.
        int64_t rowid;
        TTableRecord at;
        m.Unsync();
        m.RecNo = 0;
        if (DecodeBookmark(buffer.Bookmark, rowid) && m.ReadRowById(rowid, at, false))
            m.SetOnRow(at);
        else
            m.Pos = TImpl::AtEOF;
        return;
    }
    if (m.Pos == TImpl::OnRow && m.RowId == rec.RowId) return;
    m.Unsync();
    m.Pos = TImpl::OnRow;
    m.RowId = rec.RowId;
    m.Keys = rec.Keys;
    m.RecNo = rec.Gen == m.Gen ? rec.RecNo : 0;
}

TGetResult TTable::GetRecord(TRecordBuffer& buffer, TGetMode mode) {
    TImpl& m = *FImpl;
    auto& rec = static_cast<TTableRecord&>(buffer);
    switch (mode) {
    case gmNext: return m.Next(rec);
    case gmPrior: return m.Prior(rec);
    case gmCurrent:
        if (m.Pos == TImpl::AtBOF) return grBOF;
        if (m.Pos == TImpl::AtEOF) return grEOF;
        {
            int recNo = m.RecNo;
            if (!m.ReadRowById(m.RowId, rec, true)) return grError;
            m.Keys = rec.Keys;
            m.RecNo = recNo;
            rec.RecNo = recNo;
            rec.Gen = m.Gen;
            return grOK;
        }
    }
    return grError;
}

bool TTable::InternalGotoBookmark(const TBookmark& bookmark) {
    TImpl& m = *FImpl;
    int64_t rowid;
    if (!DecodeBookmark(bookmark, rowid)) return false;
    TTableRecord rec;
    if (!m.ReadRowById(rowid, rec, true)) return false;
    m.Unsync();
    m.SetOnRow(rec);
    m.RecNo = 0;
    return true;
}

bool TTable::BookmarkValid(const TBookmark& bookmark) const {
    TImpl& m = *FImpl;
    int64_t rowid;
    if (!m.Open || !DecodeBookmark(bookmark, rowid)) return false;
    TTableRecord rec;
    try {
        return m.ReadRowById(rowid, rec, true);
    } catch (const EDatabaseError&) {
        return false;
    }
}

int TTable::CompareBookmarks(const TBookmark& a, const TBookmark& b) const {
    int64_t x = 0, y = 0;
    bool okA = DecodeBookmark(a, x), okB = DecodeBookmark(b, y);
    if (!okA && !okB) return 0;
    if (!okA) return -1;
    if (!okB) return 1;
    return x < y ? -1 : (x > y ? 1 : 0);
}

int TTable::GetRecordCount() const {
    return FImpl->Open ? FImpl->CountRows() : 0;
}

int TTable::GetRecNoInternal() const {
    return FImpl->ComputeRecNo();
}

void TTable::SetRecNoInternal(int value) {
    TImpl& m = *FImpl;
    m.Unsync();
    m.Pos = TImpl::AtBOF;
    TTableRecord rec;
    if (!m.CppFilter) {
        TSqlStatement& st = m.Stmt("SELECT " + m.SelectList + " FROM " + m.QTable + " WHERE " + m.BaseWhere +
                                   " ORDER BY " + m.OrderBy(false) + " LIMIT 1 OFFSET ?");
        int i = 1;
        for (auto& p : m.BaseParams) st.Bind(i++, p);
        st.BindInt(i, value - 1);
        if (st.Step()) {
            m.ReadRow(st, rec);
            m.SetOnRow(rec);
            m.RecNo = value;
        } else
            m.Pos = TImpl::AtEOF;
        st.Reset();
        return;
    }
    int n = 0;
    while (n < value && m.Next(rec) == grOK) ++n;
}

TRecordBuffer* TTable::GetStateRecord() const {
    if (State() == dsSetKey) return FImpl->KeyBuf ? FImpl->KeyBuf->Rec.get() : nullptr;
    return TDBDataSet::GetStateRecord();
}

void TTable::FetchBlob(TField* field, TRecordBuffer& record) const {
    TImpl& m = *FImpl;
    TFieldValue& v = record.Values[static_cast<size_t>(field->Slot())];
    v.SetNull();
    auto* rec = dynamic_cast<TTableRecord*>(&record);
    if (!rec || !m.Open || field->Slot() >= static_cast<int>(m.Cols.size()) || record.Flag != bfCurrent)
        return;
    const auto& col = m.Cols[static_cast<size_t>(field->Slot())];
    TSqlStatement& st = m.Stmt("SELECT " + QuoteIdent(col.Name) + " FROM " + m.QTable + " WHERE rowid = ?");
    st.BindInt(1, rec->RowId);
    if (st.Step()) FromStorage(col.Type, st, 0, v);
    st.Reset();
}

void TTable::InternalPost() {
    TImpl& m = *FImpl;
    if (!CanModify()) Error("Cannot modify a read-only dataset");
    auto& rec = static_cast<TTableRecord&>(*ActiveBuffer());
    const TRecordBuffer* old = OldRecord();
    std::vector<std::pair<const TImpl::TCol*, TFieldValue>> values;
    for (TField* f : Fields().List()) {
        if (f->GetFieldKind() != fkData || f->Slot() < 0 || f->Slot() >= static_cast<int>(m.Cols.size()))
            continue;
        const auto& col = m.Cols[static_cast<size_t>(f->Slot())];
        if (col.Hidden) continue;
        const TFieldValue& v = rec.Values[static_cast<size_t>(f->Slot())];
        if (v.Kind == TFieldValue::Unloaded) continue;
        if (State() == dsInsert) {
            if (v.IsNull()) continue;
        } else if (old && static_cast<size_t>(f->Slot()) < old->Values.size() &&
                   old->Values[static_cast<size_t>(f->Slot())] == v)
            continue;
        TFieldValue s;
        ToStorage(col.Type, v, s);
        values.emplace_back(&col, s);
    }
    auto bindAll = [&](TSqlStatement& st) {
        int i = 1;
        for (auto& [col, v] : values) {
            bool blob = col->Type == ftBlob || col->Type == ftGraphic || col->Type == ftBytes ||
                        col->Type == ftVarBytes || col->Type == ftTypedBinary;
            st.Bind(i++, v, blob);
        }
        return i;
    };
    int64_t rowid = rec.RowId;
    if (State() == dsInsert) {
        std::string cols, qs;
        for (auto& [col, v] : values) {
            cols += (cols.empty() ? "" : ", ") + QuoteIdent(col->Name);
            qs += qs.empty() ? "?" : ", ?";
        }
        std::string sql = values.empty() ? "INSERT INTO " + m.QTable + " DEFAULT VALUES"
                                         : "INSERT INTO " + m.QTable + " (" + cols + ") VALUES (" + qs + ")";
        TSqlStatement st(m.Conn(), sql);
        bindAll(st);
        st.Execute();
        rowid = m.Conn().LastInsertRowId();
    } else if (!values.empty()) {
        std::string sets;
        for (auto& [col, v] : values) sets += (sets.empty() ? "" : ", ") + QuoteIdent(col->Name) + " = ?";
        TSqlStatement st(m.Conn(), "UPDATE " + m.QTable + " SET " + sets + " WHERE rowid = ?");
        int i = bindAll(st);
        st.BindInt(i, rowid);
        st.Execute();
        // An update of the rowid alias column moves the row.
        for (auto& [col, v] : values)
            if (col->Pk && col->Type != ftString && v.Kind == TFieldValue::Int &&
                std::count_if(m.Cols.begin(), m.Cols.end(), [](const TImpl::TCol& c) { return c.Pk != 0; }) ==
                    1 &&
                (col->Type == ftInteger || col->Type == ftAutoInc))
                rowid = v.I;
    }
    m.Invalidate();
    // The cursor stands on the written row (its keys are read back without filters).
    TSqlStatement st(m.Conn(), "SELECT " + m.SelectList + " FROM " + m.QTable + " WHERE rowid = ?");
    st.BindInt(1, rowid);
    TTableRecord fresh;
    if (st.Step()) {
        m.ReadRow(st, fresh);
        m.SetOnRow(fresh);
    } else {
        m.Pos = TImpl::OnRow;
        m.RowId = rowid;
    }
    m.Db->DataChanged(this);
}

void TTable::InternalDelete() {
    TImpl& m = *FImpl;
    if (!CanModify()) Error("Cannot modify a read-only dataset");
    auto& rec = static_cast<TTableRecord&>(*ActiveBuffer());
    TSqlStatement st(m.Conn(), "DELETE FROM " + m.QTable + " WHERE rowid = ?");
    st.BindInt(1, rec.RowId);
    st.Execute();
    m.Invalidate();
    m.Pos = TImpl::OnRow;
    m.RowId = rec.RowId;
    m.Keys = rec.Keys;
    m.Db->DataChanged(this);
}

void TTable::InternalRefresh() {
    FImpl->Invalidate();
}

void TTable::ResetCursorStatements() {
    if (FImpl->Open) FImpl->Unsync();
}

void TTable::DataChangedBy(TDBDataSet*) {
    if (FImpl->Open) FImpl->Invalidate();
}

void TTable::FilterChanged() {
    if (!GetActive()) return;
    CheckBrowseMode();
    UpdateCursorPos();
    FImpl->BuildWhere();
    Resync({});
}

void TTable::CursorFiltersChanged() {
    if (!GetActive()) return;
    FImpl->BuildWhere();
}

// ---- indexes -------------------------------------------------------------------------------------

void TTable::UpdateIndexDefs(TIndexDefs& defs) {
    TImpl& m = *FImpl;
    if (m.Open) {
        m.FillIndexDefs(defs);
        return;
    }
    m.Db = OpenDatabase();
    try {
        m.Table = m.Db->ResolveTableName(FTableName);
        if (m.Table.empty()) EngineError("Table does not exist: " + FTableName, ecNotFound);
        m.LoadColumns();
        m.FillIndexDefs(defs);
    } catch (...) {
        m.Db = nullptr;
        CloseDatabase();
        throw;
    }
    m.Db = nullptr;
    CloseDatabase();
}

void TTable::GetIndexNames(TStrings* list) {
    if (!list) return;
    FIndexDefs->Update();
    list->Clear();
    for (int i = 0; i < FIndexDefs->Count(); ++i)
        if (!FIndexDefs->Items(i)->GetName().empty()) list->Add(FIndexDefs->Items(i)->GetName());
}

TField* TTable::IndexFields(int index) const {
    if (index < 0 || index >= IndexFieldCount())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    return FIndexFields[static_cast<size_t>(index)];
}

void TTable::SetIndexField(int index, TField* field) {
    TField* target = IndexFields(index);
    if (field) target->SetAsVariant(field->AsVariant());
}

bool TTable::IsIndexField(const TField* field) const {
    return std::find(FIndexFields.begin(), FIndexFields.end(), field) != FIndexFields.end();
}

void TTable::SwitchOrder() {
    if (!GetActive()) return;
    CheckBrowseMode();
    UpdateCursorPos();
    TImpl& m = *FImpl;
    for (int k : {kiCurRangeStart, kiCurRangeEnd, kiRangeStart, kiRangeEnd}) {
        m.KeyBufs[k].Modified = false;
        for (auto& v : m.KeyBufs[k].Rec->Values) v.SetNull();
    }
    m.BuildOrder();
    m.BindFieldsToColumns();
    m.BuildWhere();
    Resync({});
}

void TTable::SetIndexName(const std::string& v) {
    if (v == FIndexName && FIndexFieldNames.empty()) return;
    std::string oldName = FIndexName, oldFields = FIndexFieldNames;
    FIndexName = v;
    FIndexFieldNames.clear();
    try {
        SwitchOrder();
    } catch (...) {
        FIndexName = oldName;
        FIndexFieldNames = oldFields;
        if (GetActive()) {
            FImpl->BuildOrder();
            FImpl->BindFieldsToColumns();
            FImpl->BuildWhere();
        }
        throw;
    }
}

void TTable::SetIndexFieldNames(const std::string& v) {
    if (v == FIndexFieldNames && FIndexName.empty()) return;
    std::string oldName = FIndexName, oldFields = FIndexFieldNames;
    FIndexFieldNames = v;
    FIndexName.clear();
    try {
        SwitchOrder();
    } catch (...) {
        FIndexName = oldName;
        FIndexFieldNames = oldFields;
        if (GetActive()) {
            FImpl->BuildOrder();
            FImpl->BindFieldsToColumns();
            FImpl->BuildWhere();
        }
        throw;
    }
}

// ---- key search ----------------------------------------------------------------------------------

void TTable::SetKeyBuffer(int which, bool clear) {
    CheckBrowseMode();
    TImpl& m = *FImpl;
    TKeyBuffer& kb = m.KeyBufs[which];
    m.KeyBufs[kiSave].Rec->CopyFrom(*kb.Rec);
    m.KeyBufs[kiSave].Modified = kb.Modified;
    m.KeyBufs[kiSave].Exclusive = kb.Exclusive;
    m.KeyBufs[kiSave].FieldCount = kb.FieldCount;
    if (clear) {
        InitBuffer(*kb.Rec);
        for (auto& v : kb.Rec->Values) v.SetNull();
        kb.Modified = kb.Exclusive = false;
        kb.FieldCount = 0;
    }
    m.KeyBuf = &kb;
    SetState(dsSetKey);
    DataEvent(deDataSetChange, 0);
}

void TTable::PostKeyBuffer(bool commit) {
    TImpl& m = *FImpl;
    DataEvent(deCheckBrowseMode, 0);
    if (m.KeyBuf) {
        if (commit)
            m.KeyBuf->Modified = m.KeyBuf->Modified || Modified();
        else {
            m.KeyBuf->Rec->CopyFrom(*m.KeyBufs[kiSave].Rec);
            m.KeyBuf->Modified = m.KeyBufs[kiSave].Modified;
            m.KeyBuf->Exclusive = m.KeyBufs[kiSave].Exclusive;
            m.KeyBuf->FieldCount = m.KeyBufs[kiSave].FieldCount;
        }
    }
    SetState(dsBrowse);
    DataEvent(deDataSetChange, 0);
}

void TTable::SetKey() {
    SetKeyBuffer(kiLookup, true);
}
void TTable::EditKey() {
    SetKeyBuffer(kiLookup, false);
}

bool TTable::GetKeyExclusive() const {
    const TImpl& m = *FImpl;
    return (State() == dsSetKey && m.KeyBuf ? m.KeyBuf : &m.KeyBufs[kiLookup])->Exclusive;
}
void TTable::SetKeyExclusive(bool v) {
    TImpl& m = *FImpl;
    if (State() != dsSetKey || !m.KeyBuf) Error("Dataset not in edit or insert mode");
    m.KeyBuf->Exclusive = v;
}
int TTable::GetKeyFieldCount() const {
    const TImpl& m = *FImpl;
    const TKeyBuffer* kb = State() == dsSetKey && m.KeyBuf ? m.KeyBuf : &m.KeyBufs[kiLookup];
    return kb->FieldCount;
}
void TTable::SetKeyFieldCount(int v) {
    TImpl& m = *FImpl;
    if (State() != dsSetKey || !m.KeyBuf) Error("Dataset not in edit or insert mode");
    if (v < 0) v = 0;
    if (v > IndexFieldCount()) v = IndexFieldCount();
    m.KeyBuf->FieldCount = v;
}

void TTable::SetKeyFields(int which, const Variant& values) {
    TImpl& m = *FImpl;
    if (FIndexFields.empty()) Error("Cannot perform this operation without an index with key fields");
    TKeyBuffer& kb = m.KeyBufs[which];
    TDataSetState save = SetTempState(dsSetKey);
    TKeyBuffer* saveBuf = m.KeyBuf;
    m.KeyBuf = &kb;
    try {
        InitBuffer(*kb.Rec);
        for (auto& v : kb.Rec->Values) v.SetNull();
        kb.Exclusive = false;
        int count = 0;
        if (values.IsArray()) {
            for (int i = 0; i < values.ArrayCount() && i < IndexFieldCount(); ++i) {
                FIndexFields[static_cast<size_t>(i)]->SetAsVariant(values[i]);
                ++count;
            }
        } else {
            FIndexFields[0]->SetAsVariant(values);
            count = 1;
        }
        kb.FieldCount = count;
        kb.Modified = true;
    } catch (...) {
        m.KeyBuf = saveBuf;
        RestoreState(save);
        throw;
    }
    m.KeyBuf = saveBuf;
    RestoreState(save);
}

bool TTable::GotoKey() {
    CheckBrowseMode();
    TImpl& m = *FImpl;
    int n = 0;
    auto vals = m.KeyValues(m.KeyBufs[kiLookup], false, n);
    if (n == 0) return false;
    DoBeforeScroll();
    CursorPosChanged();
    TTableRecord rec;
    InitBuffer(rec);
    if (!m.SeekKey(vals, static_cast<size_t>(n), false, true, rec)) {
        // The cursor stays where the buffers say.
        return false;
    }
    Resync({rmExact, rmCenter});
    DoAfterScroll();
    return true;
}

void TTable::GotoNearest() {
    CheckBrowseMode();
    TImpl& m = *FImpl;
    int n = 0;
    auto vals = m.KeyValues(m.KeyBufs[kiLookup], false, n);
    DoBeforeScroll();
    CursorPosChanged();
    TTableRecord rec;
    InitBuffer(rec);
    if (!m.SeekKey(vals, static_cast<size_t>(n), m.KeyBufs[kiLookup].Exclusive, false, rec)) {
        // Nothing at or after the key: the dataset stands at its end.
        Last();
        return;
    }
    Resync({rmCenter});
    DoAfterScroll();
}

bool TTable::FindKey(const Variant& keyValues) {
    CheckBrowseMode();
    SetKeyFields(kiLookup, keyValues);
    return GotoKey();
}

void TTable::FindNearest(const Variant& keyValues) {
    CheckBrowseMode();
    SetKeyFields(kiLookup, keyValues);
    GotoNearest();
}

// ---- ranges --------------------------------------------------------------------------------------

void TTable::SetRangeStart() {
    SetKeyBuffer(kiRangeStart, true);
}
void TTable::SetRangeEnd() {
    SetKeyBuffer(kiRangeEnd, true);
}
void TTable::EditRangeStart() {
    SetKeyBuffer(kiRangeStart, false);
}
void TTable::EditRangeEnd() {
    SetKeyBuffer(kiRangeEnd, false);
}

bool TTable::HasRange() const {
    return FImpl->KeyBufs[kiCurRangeStart].Modified || FImpl->KeyBufs[kiCurRangeEnd].Modified;
}

void TTable::ApplyRange() {
    CheckBrowseMode();
    TImpl& m = *FImpl;
    for (auto [from, to] : {std::pair{kiRangeStart, kiCurRangeStart}, std::pair{kiRangeEnd, kiCurRangeEnd}}) {
        m.KeyBufs[to].Rec->CopyFrom(*m.KeyBufs[from].Rec);
        m.KeyBufs[to].Modified = m.KeyBufs[from].Modified;
        m.KeyBufs[to].Exclusive = m.KeyBufs[from].Exclusive;
        m.KeyBufs[to].FieldCount = m.KeyBufs[from].FieldCount;
    }
    m.BuildWhere();
    First();
}

void TTable::CancelRange() {
    if (State() == dsSetKey) Cancel();
    CheckBrowseMode();
    TImpl& m = *FImpl;
    if (!HasRange()) return;
    for (int k : {kiCurRangeStart, kiCurRangeEnd}) m.KeyBufs[k].Modified = false;
    UpdateCursorPos();
    m.BuildWhere();
    Resync({});
}

void TTable::SetRange(const Variant& startValues, const Variant& endValues) {
    CheckBrowseMode();
    SetKeyFields(kiRangeStart, startValues);
    SetKeyFields(kiRangeEnd, endValues);
    ApplyRange();
}

// ---- master-detail -------------------------------------------------------------------------------

TDataSource* TTable::GetMasterSource() const {
    return FImpl->Master ? FImpl->Master->GetDataSource() : nullptr;
}

void TTable::SetMasterSource(TDataSource* v) {
    TImpl& m = *FImpl;
    if (v && IsLinkedTo(v)) Error("Circular datalinks are not allowed");
    if (!v) {
        m.Master.reset();
        MasterChanged();
        return;
    }
    if (!m.Master) {
        m.Master = std::make_unique<TMasterLink>();
        m.Master->OnChange = [this] { MasterChanged(); };
    }
    m.Master->SetDataSource(v);
}

void TTable::SetMasterFields(const std::string& v) {
    if (v == FMasterFields) return;
    FMasterFields = v;
    MasterChanged();
}

void TTable::MasterChanged() {
    TImpl& m = *FImpl;
    if (!GetActive() || State() != dsBrowse) return;
    std::vector<TFieldValue> values;
    bool apply = false;
    if (m.Master && m.Master->Active() && !FMasterFields.empty()) {
        TDataSet* master = m.Master->DataSet();
        auto names = SplitFieldNames(FMasterFields);
        if (names.size() > static_cast<size_t>(m.KeyCount))
            Error("MasterFields do not match the index fields");
        for (size_t i = 0; i < names.size(); ++i) {
            TField* mf = master->FieldByName(names[i]);
            values.push_back(VariantToStorage(m.Order[i].Type, mf->AsVariant()));
        }
        apply = true;
    }
    if (apply == m.MasterApplied && values == m.MasterValues) return;
    m.MasterValues = values;
    m.MasterApplied = apply;
    m.BuildWhere();
    First();
}

// ---- table services ------------------------------------------------------------------------------

void TTable::EmptyTable() {
    TImpl& m = *FImpl;
    if (GetActive()) {
        CheckBrowseMode();
        if (!CanModify()) Error("Cannot modify a read-only dataset");
        m.Unsync();
        TSqlStatement st(m.Conn(), "DELETE FROM " + m.QTable);
        st.Execute();
        m.Invalidate();
        m.Db->DataChanged(this);
        ClearBuffers();
        InternalFirst();
        DataEvent(deDataSetChange, 0);
        return;
    }
    TDatabase* db = OpenDatabase();
    try {
        std::string name = db->ResolveTableName(FTableName);
        if (name.empty()) EngineError("Table does not exist: " + FTableName, ecNotFound);
        db->AcquireTable(name, true);
        try {
            TSqlStatement st(db->Connection(), "DELETE FROM " + QuoteIdent(name));
            st.Execute();
        } catch (...) {
            db->ReleaseTable(name, true);
            throw;
        }
        db->ReleaseTable(name, true);
        db->DataChanged(this);
    } catch (...) {
        CloseDatabase();
        throw;
    }
    CloseDatabase();
}

namespace {
std::string DeclOf(const TFieldDef* d) {
    int size = d->GetSize();
    switch (d->GetDataType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString: return "VARCHAR(" + std::to_string(size > 0 ? size : 255) + ")";
    case ftSmallint: return "SMALLINT";
    case ftInteger: return "INTEGER";
    case ftWord: return "WORD";
    case ftBoolean: return "BOOLEAN";
    case ftFloat: return "FLOAT";
    case ftCurrency: return "MONEY";
    case ftBCD:
    case ftFMTBcd: return "NUMERIC(20," + std::to_string(size) + ")";
    case ftDate: return "DATE";
    case ftTime: return "TIME";
    case ftDateTime:
    case ftTimeStamp: return "DATETIME";
    case ftBytes: return "BYTES(" + std::to_string(size > 0 ? size : 16) + ")";
    case ftVarBytes: return "VARBYTES(" + std::to_string(size > 0 ? size : 16) + ")";
    case ftAutoInc: return "INTEGER";
    case ftMemo: return "MEMO";
    case ftFmtMemo: return "FMTMEMO";
    case ftGraphic: return "GRAPHIC";
    case ftLargeint: return "BIGINT";
    default: return "BLOB";
    }
}
} // namespace

void TTable::CreateTable() {
    CheckInactive();
    if (FieldDefs()->Count() == 0) Error("Field definitions missing");
    TDatabase* db = OpenDatabase();
    try {
        std::string name = Trim(FTableName);
        if (auto slash = name.find_last_of("/\\"); slash != std::string::npos) name = name.substr(slash + 1);
        for (const char* ext : {".db", ".dbf", ".DB", ".DBF"}) {
            std::string e = ext;
            if (name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0) {
                name.resize(name.size() - e.size());
                break;
            }
        }
        if (name.empty()) Error("Missing TableName property");
        if (!db->ResolveTableName(name).empty()) Error("Table '" + name + "' already exists");
        std::string sql = "CREATE TABLE " + QuoteIdent(name) + " (";
        const TIndexDef* primary = nullptr;
        for (int i = 0; i < FIndexDefs->Count(); ++i)
            if (FIndexDefs->Items(i)->GetOptions().Contains(ixPrimary)) primary = FIndexDefs->Items(i);
        bool autoIncPk = false;
        for (int i = 0; i < FieldDefs()->Count(); ++i) {
            const TFieldDef* d = FieldDefs()->Items(i);
            if (Trim(d->GetName()).empty()) Error("Field name missing");
            if (i) sql += ", ";
            sql += QuoteIdent(d->GetName()) + " " + DeclOf(d);
            if (d->GetDataType() == ftAutoInc) {
                sql += " PRIMARY KEY AUTOINCREMENT";
                autoIncPk = true;
            }
            if (d->GetRequired() && d->GetDataType() != ftAutoInc) sql += " NOT NULL";
        }
        if (primary && !autoIncPk) {
            std::string cols;
            for (auto& f : primary->FieldList()) {
                if (FieldDefs()->IndexOf(f) < 0) Error("Field '" + f + "' not found");
                cols += (cols.empty() ? "" : ", ") + QuoteIdent(f);
            }
            if (!cols.empty()) sql += ", PRIMARY KEY (" + cols + ")";
        }
        sql += ")";
        auto& conn = db->Connection();
        bool ownTx = !conn.InTransaction();
        if (ownTx) conn.Exec("SAVEPOINT qel_create");
        try {
            TSqlStatement(conn, sql).Execute();
            for (int i = 0; i < FIndexDefs->Count(); ++i) {
                const TIndexDef* ix = FIndexDefs->Items(i);
                if (ix == primary) continue;
                if (Trim(ix->GetName()).empty()) Error("Index name missing");
                auto fields = ix->FieldList();
                if (fields.empty()) Error("Index '" + ix->GetName() + "' has no fields");
                auto desc = SplitFieldNames(ix->GetDescFields());
                auto ci = SplitFieldNames(ix->GetCaseInsFields());
                auto in = [](const std::vector<std::string>& l, const std::string& n) {
                    return std::any_of(l.begin(), l.end(),
                                       [&](const std::string& x) { return SameText(x, n); });
                };
                std::string cols;
                for (auto& f : fields) {
                    if (FieldDefs()->IndexOf(f) < 0) Error("Field '" + f + "' not found");
                    cols += (cols.empty() ? "" : ", ") + QuoteIdent(f);
                    if (ix->GetOptions().Contains(ixCaseInsensitive) || in(ci, f)) cols += " COLLATE NOCASE";
                    if (ix->GetOptions().Contains(ixDescending) || in(desc, f)) cols += " DESC";
                }
                std::string isql = std::string("CREATE ") +
                                   (ix->GetOptions().Contains(ixUnique) ? "UNIQUE " : "") + "INDEX " +
                                   QuoteIdent(ix->GetName()) + " ON " + QuoteIdent(name) + " (" + cols + ")";
                TSqlStatement(conn, isql).Execute();
            }
            if (ownTx) conn.Exec("RELEASE qel_create");
        } catch (...) {
            if (ownTx) {
                try {
                    conn.Exec("ROLLBACK TO qel_create");
                    conn.Exec("RELEASE qel_create");
                } catch (...) {
                }
            }
            throw;
        }
    } catch (...) {
        CloseDatabase();
        throw;
    }
    CloseDatabase();
}

void TTable::DeleteTable() {
    CheckInactive();
    TDatabase* db = OpenDatabase();
    try {
        std::string name = db->ResolveTableName(FTableName);
        if (name.empty()) EngineError("Table does not exist: " + FTableName, ecNotFound);
        db->AcquireTable(name, true);
        db->ReleaseTable(name, true);
        TSqlStatement(db->Connection(), "DROP TABLE " + QuoteIdent(name)).Execute();
    } catch (...) {
        CloseDatabase();
        throw;
    }
    CloseDatabase();
}

bool TTable::Exists() {
    if (GetActive()) return true;
    try {
        TDatabase* db = OpenDatabase();
        bool found = !db->ResolveTableName(FTableName).empty();
        CloseDatabase();
        return found;
    } catch (const EDatabaseError&) {
        CloseDatabase();
        return false;
    }
}

void TTable::FlushBuffers() {
    if (FImpl->Db) FImpl->Db->FlushBuffers();
}

// ---- Locate --------------------------------------------------------------------------------------

bool TTable::Locate(std::string_view keyFields, const Variant& keyValues, TLocateOptions options) {
    return TDBDataSet::Locate(keyFields, keyValues, options);
}

bool TTable::LocateRecordInternal(const std::vector<TField*>& fields, const Variant& values,
                                  TLocateOptions options) {
    TImpl& m = *FImpl;
    std::vector<TFieldValue> params = m.BaseParams;
    std::string where = m.BaseWhere;
    for (size_t i = 0; i < fields.size(); ++i) {
        TField* f = fields[i];
        if (f->GetFieldKind() != fkData || f->Slot() < 0 || f->Slot() >= static_cast<int>(m.Cols.size()))
            continue;
        const auto& col = m.Cols[static_cast<size_t>(f->Slot())];
        const Variant& want = values.IsArray() ? values[static_cast<int>(i)] : values;
        std::string c = QuoteIdent(col.Name);
        if (want.IsNull()) {
            where += " AND " + c + " IS NULL";
            continue;
        }
        TFieldType t = col.Type;
        if (IsTextType(t) && t != ftMemo && t != ftFmtMemo) {
            TFieldValue v;
            v.SetText(want.AsString());
            const char* coll = options.Contains(loCaseInsensitive) ? " COLLATE QELNOCASE" : " COLLATE BINARY";
            if (options.Contains(loPartialKey)) {
                where += " AND substr(" + c + ", 1, length(?)) = ?" + coll;
                params.push_back(v);
                params.push_back(v);
            } else {
                where += " AND " + c + " = ?" + coll;
                params.push_back(v);
            }
        } else if (t == ftSmallint || t == ftInteger || t == ftWord || t == ftAutoInc || t == ftLargeint ||
                   t == ftFloat || t == ftCurrency || t == ftBCD) {
            TFieldValue v;
            try {
                v = VariantToStorage(t, want);
            } catch (const EConvertError&) {
                return false;
            }
            where += " AND " + c + " = ?";
            params.push_back(v);
        }
    }
    TSqlStatement st(m.Conn(), "SELECT " + m.SelectList + " FROM " + m.QTable + " WHERE " + where +
                                   " ORDER BY " + m.OrderBy(false));
    int i = 1;
    for (auto& p : params) st.Bind(i++, p);
    auto& rec = static_cast<TTableRecord&>(ScratchBuffer());
    while (st.Step()) {
        m.ReadRow(st, rec);
        if (m.CppFilter && !m.Accept(rec)) continue;
        if (!RecordMatches(rec, fields, values, options)) continue;
        if (!m.CppFilter && HasCalcFields()) GetCalcFields(rec);
        m.Unsync();
        m.SetOnRow(rec);
        m.RecNo = 0;
        return true;
    }
    return false;
}

QEL_IMPLEMENT_CLASS(TTable, [](auto& c) {
    c.Property("Exclusive", &TTable::GetExclusive, &TTable::SetExclusive).Default(false);
    c.Property("IndexFieldNames", &TTable::GetIndexFieldNames, &TTable::SetIndexFieldNames);
    c.Property("IndexName", &TTable::GetIndexName, &TTable::SetIndexName);
    c.Property("MasterFields", &TTable::GetMasterFields, &TTable::SetMasterFields);
    c.Property("MasterSource", &TTable::GetMasterSource, &TTable::SetMasterSource);
    c.Property("ReadOnly", &TTable::GetReadOnly, &TTable::SetReadOnly).Default(false);
    c.Property("TableName", &TTable::GetTableName, &TTable::SetTableName);
    c.Property("TableType", &TTable::GetTableType, &TTable::SetTableType).Default(ttDefault);
    c.Property("UpdateMode", &TTable::GetUpdateMode, &TTable::SetUpdateMode).Default(upWhereAll);
})

} // namespace qel
