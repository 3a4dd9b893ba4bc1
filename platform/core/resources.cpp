#include "platform/core/resources.h"

#include <map>
#include <memory>
#include <mutex>

#include "platform/core/strutils.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TResourceStream)

namespace {
struct Entry {
    const uint8_t* Data = nullptr;
    size_t Size = 0;
    std::shared_ptr<std::string> Copy;
    std::string FileName;
};
struct Table {
    std::mutex Lock;
    std::map<std::pair<std::string, std::string>, Entry> Items; // (TYPE, NAME) upper-cased
};
Table& Resources() {
    static Table* t = new Table; // lives until exit, so static registrations may run in any order
    return *t;
}
std::pair<std::string, std::string> Key(std::string_view name, std::string_view type) {
    return {UpperCase(type), UpperCase(name)};
}
std::string IdName(int id) {
    // Appended rather than concatenated: GCC 12 warns falsely (-Wrestrict) on "#" + to_string().
    std::string name = "#";
    name += std::to_string(id);
    return name;
}
} // namespace

void RegisterResource(std::string_view name, std::string_view type, const void* data, size_t size,
                      std::string_view fileName) {
    auto& t = Resources();
    std::lock_guard g(t.Lock);
    t.Items[Key(name, type)] = Entry{static_cast<const uint8_t*>(data), size, nullptr, std::string(fileName)};
}

void RegisterResourceCopy(std::string_view name, std::string_view type, std::string_view bytes,
                          std::string_view fileName) {
    auto copy = std::make_shared<std::string>(bytes);
    auto& t = Resources();
    std::lock_guard g(t.Lock);
    t.Items[Key(name, type)] =
        Entry{reinterpret_cast<const uint8_t*>(copy->data()), copy->size(), copy, std::string(fileName)};
}

std::string ResourceFileName(std::string_view name, std::string_view type) {
    auto& t = Resources();
    std::lock_guard g(t.Lock);
    auto it = t.Items.find(Key(name, type));
    return it == t.Items.end() ? std::string() : it->second.FileName;
}

void UnregisterResource(std::string_view name, std::string_view type) {
    auto& t = Resources();
    std::lock_guard g(t.Lock);
    t.Items.erase(Key(name, type));
}

std::optional<TResourceBytes> FindResource(std::string_view name, std::string_view type) {
    auto& t = Resources();
    std::lock_guard g(t.Lock);
    auto it = t.Items.find(Key(name, type));
    if (it == t.Items.end()) return std::nullopt;
    return TResourceBytes(it->second.Data, it->second.Size);
}

std::optional<TResourceBytes> FindResource(int id, std::string_view type) {
    return FindResource(IdName(id), type);
}

bool ResourceExists(std::string_view name, std::string_view type) {
    return FindResource(name, type).has_value();
}

std::vector<std::string> ResourceNames(std::string_view type) {
    auto& t = Resources();
    std::lock_guard g(t.Lock);
    std::vector<std::string> out;
    std::string ty = UpperCase(type);
    for (auto& [k, v] : t.Items)
        if (k.first == ty) out.push_back(k.second);
    return out;
}

namespace {
TResourceBytes MustFind(std::string_view name, std::string_view type) {
    auto r = FindResource(name, type);
    if (!r) throw EResNotFound("Resource " + std::string(name) + " not found");
    return *r;
}
} // namespace

TResourceStream::TResourceStream(std::string_view name, std::string_view type)
    : TReadOnlyMemoryStream(nullptr, 0) {
    TResourceBytes b = MustFind(name, type);
    SetPointer(b.data(), static_cast<int64_t>(b.size()));
}

TResourceStream::TResourceStream(int id, std::string_view type) : TReadOnlyMemoryStream(nullptr, 0) {
    TResourceBytes b = MustFind(IdName(id), type);
    SetPointer(b.data(), static_cast<int64_t>(b.size()));
}

} // namespace qel
