#include "platform/core/strings.h"

#include <algorithm>
#include <fstream>
#include <sstream>

#include "platform/core/streams.h"
#include "platform/core/strutils.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TStrings)
QEL_IMPLEMENT_CLASS(TStringList)

void TStrings::Error(const char* msg, int index) const {
    std::string m = msg;
    auto p = m.find("%d");
    if (p != std::string::npos) m.replace(p, 2, std::to_string(index));
    throw EStringListError(m);
}

void TStrings::Put(int index, const std::string& s) {
    TObject* obj = GetObject(index);
    Delete(index);
    InsertObject(index, s, obj);
}

int TStrings::Add(const std::string& s) {
    int n = Count();
    Insert(n, s);
    return n;
}

int TStrings::AddObject(const std::string& s, TObject* obj) {
    int i = Add(s);
    PutObject(i, obj);
    return i;
}

void TStrings::InsertObject(int index, const std::string& s, TObject* obj) {
    Insert(index, s);
    PutObject(index, obj);
}

void TStrings::AddStrings(const TStrings& other) {
    BeginUpdate();
    try {
        for (int i = 0; i < other.Count(); ++i) AddObject(other.Get(i), other.GetObject(i));
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

int TStrings::IndexOf(const std::string& s) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(Get(i), s)) return i;
    return -1;
}

int TStrings::IndexOfName(const std::string& name) const {
    for (int i = 0; i < Count(); ++i) {
        std::string s = Get(i);
        auto p = s.find('=');
        if (p != std::string::npos && SameText(std::string_view(s).substr(0, p), name)) return i;
    }
    return -1;
}

int TStrings::IndexOfObject(const TObject* obj) const {
    for (int i = 0; i < Count(); ++i)
        if (GetObject(i) == obj) return i;
    return -1;
}

void TStrings::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex) return;
    BeginUpdate();
    std::string s = Get(curIndex);
    TObject* o = GetObject(curIndex);
    PutObject(curIndex, nullptr);
    Delete(curIndex);
    InsertObject(newIndex, s, o);
    EndUpdate();
}

void TStrings::Exchange(int a, int b) {
    BeginUpdate();
    std::string sa = Get(a), sb = Get(b);
    TObject *oa = GetObject(a), *ob = GetObject(b);
    Put(a, sb);
    Put(b, sa);
    PutObject(a, ob);
    PutObject(b, oa);
    EndUpdate();
}

std::string TStrings::Names(int index) const {
    std::string s = Get(index);
    auto p = s.find('=');
    return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStrings::ValueFromIndex(int index) const {
    std::string s = Get(index);
    auto p = s.find('=');
    return p == std::string::npos ? std::string() : s.substr(p + 1);
}

std::string TStrings::Values(const std::string& name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStrings::SetValue(const std::string& name, const std::string& value) {
    int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
        return;
    }
    if (i < 0)
        Add(name + "=" + value);
    else
        Put(i, name + "=" + value);
}

std::string TStrings::GetText() const {
    std::string r;
    for (int i = 0; i < Count(); ++i) {
        r += Get(i);
        r += '\n';
    }
    return r;
}

void TStrings::SetText(const std::string& text) {
    BeginUpdate();
    Clear();
    size_t i = 0, n = text.size();
    while (i < n) {
        size_t j = i;
        while (j < n && text[j] != '\n' && text[j] != '\r') ++j;
        Add(text.substr(i, j - i));
        if (j < n && text[j] == '\r') ++j;
        if (j < n && text[j] == '\n') ++j;
        i = j;
    }
    EndUpdate();
}

std::string TStrings::GetCommaText() const {
    std::string r;
    for (int i = 0; i < Count(); ++i) {
        std::string s = Get(i);
        bool quote = s.empty() || s.find_first_of(" ,\"\t") != std::string::npos;
        if (i) r += ',';
        if (quote) {
            r += '"';
            for (char c : s) {
                if (c == '"') r += '"';
                r += c;
            }
            r += '"';
        } else {
            r += s;
        }
    }
    return r;
}

void TStrings::SetCommaText(const std::string& text) {
    BeginUpdate();
    Clear();
    size_t i = 0, n = text.size();
    auto skipBlanks = [&] { while (i < n && static_cast<unsigned char>(text[i]) <= ' ') ++i; };
    skipBlanks();
    while (i < n) {
        std::string item;
        if (text[i] == '"') {
            ++i;
            while (i < n) {
                if (text[i] == '"') {
                    if (i + 1 < n && text[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += text[i++];
            }
        } else {
            while (i < n && text[i] != ',' && static_cast<unsigned char>(text[i]) > ' ') item += text[i++];
        }
        Add(item);
        skipBlanks();
        if (i < n && text[i] == ',') {
            ++i;
            skipBlanks();
            if (i == n) Add("");
        }
    }
    EndUpdate();
}

void TStrings::BeginUpdate() {
    if (FUpdateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0) SetUpdateState(false);
}

void TStrings::LoadFromFile(const std::string& fileName) {
    TFileStream f(fileName, fmOpenRead);
    LoadFromStream(f);
}

void TStrings::SaveToFile(const std::string& fileName) const {
    TFileStream f(fileName, fmCreate);
    SaveToStream(f);
}

void TStrings::LoadFromStream(TStream& stream) {
    int64_t size = stream.Size() - stream.Position();
    std::string buf(static_cast<size_t>(std::max<int64_t>(size, 0)), '\0');
    if (!buf.empty()) stream.ReadBuffer(buf.data(), static_cast<int64_t>(buf.size()));
    SetText(buf);
}

void TStrings::SaveToStream(TStream& stream) const {
    std::string t = GetText();
    if (!t.empty()) stream.WriteBuffer(t.data(), static_cast<int64_t>(t.size()));
}

void TStrings::Assign(TPersistent* source) {
    if (auto* s = dynamic_cast<TStrings*>(source)) {
        if (s == this) return;
        BeginUpdate();
        try {
            Clear();
            AddStrings(*s);
        } catch (...) {
            EndUpdate();
            throw;
        }
        EndUpdate();
        return;
    }
    TPersistent::Assign(source);
}

bool TStrings::Equals(const TStrings& other) const {
    if (Count() != other.Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (Get(i) != other.Get(i)) return false;
    return true;
}

// ---- TStringList ----

TStringList::TStringList(std::initializer_list<std::string> items) {
    for (const auto& s : items) Add(s);
}

TStringList::~TStringList() {
    OnChange = nullptr;
    OnChanging = nullptr;
    if (FOwnsObjects)
        for (auto& it : FItems) delete it.Obj;
}

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count()) Error("List index out of bounds (%d)", index);
}

std::string TStringList::Get(int index) const {
    CheckIndex(index);
    return FItems[static_cast<size_t>(index)].S;
}

void TStringList::Put(int index, const std::string& s) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    CheckIndex(index);
    Changing();
    FItems[static_cast<size_t>(index)].S = s;
    Changed();
}

TObject* TStringList::GetObject(int index) const {
    CheckIndex(index);
    return FItems[static_cast<size_t>(index)].Obj;
}

void TStringList::PutObject(int index, TObject* obj) {
    CheckIndex(index);
    Changing();
    FItems[static_cast<size_t>(index)].Obj = obj;
    Changed();
}

void TStringList::Insert(int index, const std::string& s) {
    if (FSorted) throw EStringListError("Operation not allowed on sorted list");
    if (index < 0 || index > Count()) Error("List index out of bounds (%d)", index);
    InsertItem(index, s, nullptr);
}

void TStringList::InsertItem(int index, const std::string& s, TObject* obj) {
    Changing();
    FItems.insert(FItems.begin() + index, Item{s, obj});
    Changed();
}

int TStringList::Add(const std::string& s) {
    if (!FSorted) {
        int n = Count();
        InsertItem(n, s, nullptr);
        return n;
    }
    int index;
    if (Find(s, index)) {
        switch (FDuplicates) {
        case dupIgnore: return index;
        case dupError: throw EStringListError("String list does not allow duplicates");
        case dupAccept: break;
        }
    }
    InsertItem(index, s, nullptr);
    return index;
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    Changing();
    TObject* obj = FItems[static_cast<size_t>(index)].Obj;
    FItems.erase(FItems.begin() + index);
    if (FOwnsObjects) delete obj;
    Changed();
}

void TStringList::Clear() {
    if (FItems.empty()) return;
    Changing();
    std::vector<Item> old;
    old.swap(FItems);
    if (FOwnsObjects)
        for (auto& it : old) delete it.Obj;
    Changed();
}

int TStringList::CompareStrings(const std::string& a, const std::string& b) const {
    if (FCaseSensitive) return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
    return CompareText(a, b);
}

int TStringList::IndexOf(const std::string& s) const {
    if (FSorted) {
        int i;
        return Find(s, i) ? i : -1;
    }
    for (int i = 0; i < Count(); ++i)
        if (CompareStrings(FItems[static_cast<size_t>(i)].S, s) == 0) return i;
    return -1;
}

bool TStringList::Find(const std::string& s, int& index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        int mid = lo + (hi - lo) / 2;
        int c = CompareStrings(FItems[static_cast<size_t>(mid)].S, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (FDuplicates != dupAccept) lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::Sort() {
    CustomSort([](TStringList& l, int a, int b) {
        return l.CompareStrings(l.FItems[static_cast<size_t>(a)].S, l.FItems[static_cast<size_t>(b)].S);
    });
}

void TStringList::CustomSort(int (*compare)(TStringList& list, int a, int b)) {
    if (Count() < 2) return;
    Changing();
    // Sort an index permutation with the caller's comparison, then apply it (stable).
    std::vector<int> order(FItems.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = static_cast<int>(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
    std::vector<Item> sorted;
    sorted.reserve(FItems.size());
    for (int i : order) sorted.push_back(std::move(FItems[static_cast<size_t>(i)]));
    FItems.swap(sorted);
    Changed();
}

void TStringList::SetSorted(bool value) {
    if (FSorted == value) return;
    if (value) Sort();
    FSorted = value;
}

void TStringList::SetCaseSensitive(bool value) {
    if (FCaseSensitive == value) return;
    FCaseSensitive = value;
    if (FSorted) Sort();
}

void TStringList::SetUpdateState(bool updating) {
    if (updating)
        Changing();
    else
        Changed();
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && OnChange) OnChange(this);
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && OnChanging) OnChanging(this);
}

} // namespace qel
