#pragma once
// TIndexDefs and TIndexDef: the index definitions of a table.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/core/component.h"
#include "platform/data/db_errors.h"

namespace qel {

class TIndexDefs;

QEL_ENUM(TIndexOption, ixPrimary, ixUnique, ixDescending, ixCaseInsensitive, ixExpression, ixNonMaintained)
using TIndexOptions = Set<TIndexOption>;

class TIndexDef : public TPersistent {
    QEL_CLASS(TIndexDef, TPersistent)
    TIndexDef() = default;
    TIndexDef(TIndexDefs* owner, std::string name, std::string fields, TIndexOptions options);

    const std::string& GetName() const { return FName; }
    void SetName(const std::string& v) { FName = v; }
    // Key fields separated by ";" ("" for an expression index).
    const std::string& GetFields() const { return FFields; }
    void SetFields(const std::string& v) { FFields = v; }
    const std::string& GetExpression() const { return FExpression; }
    void SetExpression(const std::string& v) { FExpression = v; }
    TIndexOptions GetOptions() const { return FOptions; }
    void SetOptions(TIndexOptions v) { FOptions = v; }
    // Fields ("A;B") sorted descending / compared case-insensitively within an index.
    const std::string& GetDescFields() const { return FDescFields; }
    void SetDescFields(const std::string& v) { FDescFields = v; }
    const std::string& GetCaseInsFields() const { return FCaseInsFields; }
    void SetCaseInsFields(const std::string& v) { FCaseInsFields = v; }
    // The fields as a list.
    std::vector<std::string> FieldList() const;
    // "[ixPrimary, ixUnique]" style text of the options ("" when none).
    std::string OptionsText() const;
    void Assign(TPersistent* source) override;

private:
    std::string FName, FFields, FExpression, FDescFields, FCaseInsFields;
    TIndexOptions FOptions;
};

class TIndexDefs : public TPersistent {
    QEL_CLASS(TIndexDefs, TPersistent)
    TIndexDefs() = default;
    ~TIndexDefs() override;
    TIndexDefs(const TIndexDefs&) = delete;
    TIndexDefs& operator=(const TIndexDefs&) = delete;

    int Count() const { return static_cast<int>(FItems.size()); }
    TIndexDef* Items(int index) const; // EListError out of range
    TIndexDef* operator[](int index) const { return Items(index); }
    TIndexDef* AddIndexDef();
    TIndexDef* Add(const std::string& name, const std::string& fields, TIndexOptions options);
    void Clear();
    int IndexOf(std::string_view name) const;     // case-insensitive; -1
    TIndexDef* Find(std::string_view name) const; // EDatabaseError "Index 'x' not found"
    // The first index whose leading fields are `fields` ("A;B"), case-insensitively; nullptr.
    TIndexDef* FindIndexForFields(std::string_view fields) const;
    TIndexDef* GetIndexForFields(std::string_view fields, bool caseInsensitive) const;
    // Refreshes the definitions from the owning dataset (set by the dataset).
    void Update();
    bool GetUpdated() const { return FUpdated; }
    void SetUpdated(bool v) { FUpdated = v; }
    void SetUpdateProc(std::function<void(TIndexDefs&)> proc) { FUpdateProc = std::move(proc); }
    void Assign(TPersistent* source) override;

private:
    std::vector<std::unique_ptr<TIndexDef>> FItems;
    bool FUpdated = false;
    std::function<void(TIndexDefs&)> FUpdateProc;
};

// Splits "A;B" into names (blanks around names removed, empty parts skipped).
std::vector<std::string> SplitFieldNames(std::string_view names);

} // namespace qel
