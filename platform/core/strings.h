#pragma once
// TStrings and TStringList: lists of strings with associated objects, name=value pairs, sorting
// and case-insensitive search, and text conversion.
#include <string>
#include <vector>

#include "platform/core/component.h"

namespace qel {

class TStream;

QEL_ENUM(TDuplicates, dupIgnore, dupAccept, dupError)

class TStrings : public TPersistent {
    QEL_CLASS(TStrings, TPersistent)
    ~TStrings() override = default;

    virtual int Count() const = 0;
    virtual std::string Get(int index) const = 0;
    virtual void Put(int index, const std::string& s);
    virtual TObject* GetObject(int index) const { return nullptr; }
    virtual void PutObject(int index, TObject* obj) {}
    virtual void Insert(int index, const std::string& s) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const std::string& s);
    int AddObject(const std::string& s, TObject* obj);
    void InsertObject(int index, const std::string& s, TObject* obj);
    void AddStrings(const TStrings& other);
    void Append(const std::string& s) { Add(s); }
    virtual int IndexOf(const std::string& s) const; // case-insensitive, as the platform's
    int IndexOfName(const std::string& name) const;
    int IndexOfObject(const TObject* obj) const;
    void Move(int curIndex, int newIndex);
    void Exchange(int a, int b);

    std::string operator[](int index) const { return Get(index); }
    std::string Strings(int index) const { return Get(index); }
    TObject* Objects(int index) const { return GetObject(index); }
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    std::string Values(const std::string& name) const;
    void SetValue(const std::string& name, const std::string& value);

    // Lines joined with line breaks (each line followed by one).
    virtual std::string GetText() const;
    virtual void SetText(const std::string& text);
    std::string GetCommaText() const;
    void SetCommaText(const std::string& text);

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName) const;
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;

    void Assign(TPersistent* source) override;
    bool Equals(const TStrings& other) const;
    void DefineProperties(TFiler* filer) override; // "Strings" as a list of strings

protected:
    virtual void SetUpdateState(bool updating) {}
    void Error(const char* msg, int index) const;

private:
    int FUpdateCount = 0;
};

class TStringList : public TStrings {
    QEL_CLASS(TStringList, TStrings)
    TStringList() = default;
    TStringList(std::initializer_list<std::string> items);
    ~TStringList() override;

    int Count() const override { return static_cast<int>(FItems.size()); }
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    TObject* GetObject(int index) const override;
    void PutObject(int index, TObject* obj) override;
    void Insert(int index, const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;
    int Add(const std::string& s) override;
    int IndexOf(const std::string& s) const override;

    // Binary search of a sorted list; `index` receives the position found or where it would go.
    bool Find(const std::string& s, int& index) const;
    void Sort();
    void CustomSort(int (*compare)(TStringList& list, int a, int b));

    bool GetSorted() const { return FSorted; }
    void SetSorted(bool value);
    bool GetCaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool value);
    TDuplicates GetDuplicates() const { return FDuplicates; }
    void SetDuplicates(TDuplicates d) { FDuplicates = d; }
    // When set, the list deletes its objects when they are removed or the list is freed.
    bool GetOwnsObjects() const { return FOwnsObjects; }
    void SetOwnsObjects(bool v) { FOwnsObjects = v; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool updating) override;
    virtual void Changed();
    virtual void Changing();
    int CompareStrings(const std::string& a, const std::string& b) const;

private:
    struct Item {
        std::string S;
        TObject* Obj = nullptr;
    };
    void InsertItem(int index, const std::string& s, TObject* obj);
    void CheckIndex(int index) const;
    std::vector<Item> FItems;
    bool FSorted = false;
    bool FCaseSensitive = false;
    bool FOwnsObjects = false;
    TDuplicates FDuplicates = dupIgnore;
};

} // namespace qel
