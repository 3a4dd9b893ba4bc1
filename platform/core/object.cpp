#include "platform/core/object.h"

#include <algorithm>
#include <map>
#include <mutex>

#include "platform/core/strutils.h"

namespace qel {

TClass TObject::StaticClass() {
    static const TClassInfo info = [] {
        TClassInfo i;
        i.Name = "TObject";
        return i;
    }();
    return &info;
}

bool TClassInfo::InheritsFrom(TClass other) const {
    for (TClass c = this; c; c = c->Parent)
        if (c == other) return true;
    return false;
}

std::vector<const TPropInfo*> TClassInfo::Properties() const {
    std::vector<TClass> chain;
    for (TClass c = this; c; c = c->Parent) chain.push_back(c);
    std::vector<const TPropInfo*> result;
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        for (const TPropInfo& p : (*it)->OwnProperties) {
            // A descendant that re-declares a property (new default, say) replaces it in place.
            auto same = std::find_if(result.begin(), result.end(),
                                     [&](const TPropInfo* q) { return SameText(q->Name, p.Name); });
            if (same != result.end())
                *same = &p;
            else
                result.push_back(&p);
        }
    return result;
}

const TPropInfo* TClassInfo::FindProperty(std::string_view name) const {
    for (TClass c = this; c; c = c->Parent)
        for (const TPropInfo& p : c->OwnProperties)
            if (SameText(p.Name, name)) return &p;
    return nullptr;
}

const TMethodEntry* TClassInfo::FindMethod(std::string_view name) const {
    for (TClass c = this; c; c = c->Parent)
        for (const TMethodEntry& m : c->OwnMethods)
            if (SameText(m.Name, name)) return &m;
    return nullptr;
}

bool TPropInfo::IsStored(const TObject* obj) const {
    if (Stored && !Stored(obj)) return false;
    if (Kind == TTypeKind::Class) return true;
    if (!HasDefault || !Get) return true;
    return !(Get(obj) == Default);
}

namespace {
struct Registry {
    std::mutex Lock;
    std::map<std::string, TClass> ByName; // upper-cased names
};
Registry& TheRegistry() {
    static Registry r;
    return r;
}
} // namespace

void RegisterClass(TClass cls) {
    if (!cls) return;
    auto& r = TheRegistry();
    std::lock_guard g(r.Lock);
    r.ByName[UpperCase(cls->Name)] = cls;
}

void RegisterClasses(std::initializer_list<TClass> classes) {
    for (TClass c : classes) RegisterClass(c);
}

void UnRegisterClass(TClass cls) {
    if (!cls) return;
    auto& r = TheRegistry();
    std::lock_guard g(r.Lock);
    auto it = r.ByName.find(UpperCase(cls->Name));
    if (it != r.ByName.end() && it->second == cls) r.ByName.erase(it);
}

TClass GetClass(std::string_view name) {
    auto& r = TheRegistry();
    std::lock_guard g(r.Lock);
    auto it = r.ByName.find(UpperCase(name));
    return it == r.ByName.end() ? nullptr : it->second;
}

TClass FindClass(std::string_view name) {
    if (TClass c = GetClass(name)) return c;
    throw EClassNotFound("Class " + std::string(name) + " not found");
}

std::vector<TClass> RegisteredClasses() {
    auto& r = TheRegistry();
    std::lock_guard g(r.Lock);
    std::vector<TClass> out;
    for (auto& [k, v] : r.ByName) out.push_back(v);
    return out;
}

TClass detail::RegisterOnLoad(TClass cls) {
    RegisterClass(cls);
    return cls;
}

} // namespace qel
