#pragma once
// A small in-memory dataset for testing the dataset layer without an engine.
#include <algorithm>
#include <string>
#include <vector>

#include "platform/data/dataset.h"

namespace qel::test {

class TMemDataSet : public TDataSet {
public:
    explicit TMemDataSet(TComponent* owner = nullptr) : TDataSet(owner) {}
    ~TMemDataSet() override {
        Destroying();
        Close();
    }

    struct Row {
        int Id;
        std::vector<TFieldValue> Values;
    };
    std::vector<Row> Rows;
    bool ReadOnlyData = false;
    bool FailNextPost = false;

    void AddRow(std::vector<Variant> values) {
        Row r{NextId++, {}};
        for (auto& v : values) {
            TFieldValue f;
            switch (v.Type()) {
            case TVarType::Integer:
            case TVarType::Boolean: f.SetInt(v.AsInteger()); break;
            case TVarType::Float:
            case TVarType::DateTime:
            case TVarType::Currency: f.SetFloat(v.AsFloat()); break;
            case TVarType::String: f.SetText(v.AsString()); break;
            default: break;
            }
            r.Values.push_back(f);
        }
        Rows.push_back(r);
    }

protected:
    void InternalOpen() override { FOpen = true; }
    void InternalClose() override { FOpen = false; }
    void InternalInitFieldDefs() override {}
    bool IsCursorOpen() const override { return FOpen; }
    bool GetCanModify() const override { return !ReadOnlyData; }

    TGetResult GetRecord(TRecordBuffer& buf, TGetMode mode) override {
        int n = static_cast<int>(Rows.size());
        switch (mode) {
        case gmCurrent:
            if (FPos < 0) return grBOF;
            if (FPos >= n) return grEOF;
            return Visible(FPos, buf) ? grOK : grError;
        case gmNext:
            while (FPos < n) {
                ++FPos;
                if (FPos < n && Visible(FPos, buf)) return grOK;
            }
            return grEOF;
        case gmPrior:
            while (FPos >= 0) {
                --FPos;
                if (FPos >= 0 && Visible(FPos, buf)) return grOK;
            }
            return grBOF;
        }
        return grError;
    }
    void InternalFirst() override { FPos = -1; }
    void InternalLast() override { FPos = static_cast<int>(Rows.size()); }
    void InternalSetToRecord(const TRecordBuffer& buf) override {
        int i = IndexOf(buf.Bookmark);
        FPos = i >= 0 ? i : static_cast<int>(Rows.size());
    }
    bool InternalGotoBookmark(const TBookmark& b) override {
        int i = IndexOf(b);
        if (i < 0 || !Visible(i, ScratchBuffer())) return false;
        FPos = i;
        return true;
    }

public:
    bool BookmarkValid(const TBookmark& b) const override {
        int i = IndexOf(b);
        if (i < 0) return false;
        TRecordBuffer tmp;
        return const_cast<TMemDataSet*>(this)->Visible(i, tmp);
    }

protected:
    void InternalPost() override {
        if (FailNextPost) {
            FailNextPost = false;
            throw EDatabaseError("post failed");
        }
        TRecordBuffer& b = *ActiveBuffer();
        std::vector<TFieldValue> vals(b.Values.begin(), b.Values.begin() + DataFieldCount());
        if (State() == dsInsert) {
            int at =
                b.Flag == bfEOF ? static_cast<int>(Rows.size()) : (b.Flag == bfBOF ? 0 : IndexOf(b.Bookmark));
            if (at < 0) at = static_cast<int>(Rows.size());
            Rows.insert(Rows.begin() + at, Row{NextId++, vals});
            FPos = at;
        } else {
            int i = IndexOf(b.Bookmark);
            if (i < 0) throw EDatabaseError("Record not found");
            Rows[static_cast<size_t>(i)].Values = vals;
            FPos = i;
        }
    }
    void InternalDelete() override {
        int i = IndexOf(ActiveBuffer()->Bookmark);
        if (i >= 0) {
            Rows.erase(Rows.begin() + i);
            FPos = i; // gmCurrent now sees the next row; it is re-read by index
            FDeletedAt = i;
        }
    }
    int GetRecordCount() const override {
        int n = 0;
        TRecordBuffer tmp;
        for (int i = 0; i < static_cast<int>(Rows.size()); ++i)
            if (const_cast<TMemDataSet*>(this)->Visible(i, tmp)) ++n;
        return n;
    }
    int GetRecNoInternal() const override {
        int n = 0;
        TRecordBuffer tmp;
        for (int i = 0; i <= FPos && i < static_cast<int>(Rows.size()); ++i)
            if (const_cast<TMemDataSet*>(this)->Visible(i, tmp)) ++n;
        return n;
    }

private:
    int IndexOf(const TBookmark& b) const {
        for (size_t i = 0; i < Rows.size(); ++i)
            if (std::to_string(Rows[i].Id) == b) return static_cast<int>(i);
        return -1;
    }
    bool Visible(int i, TRecordBuffer& buf) {
        InitBuffer(buf);
        const Row& r = Rows[static_cast<size_t>(i)];
        for (size_t k = 0; k < r.Values.size() && k < buf.Values.size(); ++k) buf.Values[k] = r.Values[k];
        for (size_t k = r.Values.size(); k < buf.Values.size(); ++k) buf.Values[k].SetNull();
        buf.Bookmark = std::to_string(r.Id);
        buf.Flag = bfCurrent;
        if (FDeletedAt >= 0 && i == FDeletedAt) FDeletedAt = -1;
        return PrepareFetchedRecord(buf);
    }
    bool FOpen = false;
    int FPos = -1;
    int NextId = 1;
    int FDeletedAt = -1;
};

} // namespace qel::test
