#pragma once
// Resources embedded into the program at build time (cmake/QelResources.cmake generates code that
// registers them at start) or registered at run time. A resource is found by name or numeric id and
// type, case-insensitively; form files are resources of type "QFM" named after their form class.
//
//   auto bytes = qel::FindResource("QELBM3DCHECK", "BITMAP");   // std::optional<span>
//   qel::TResourceStream s("TFORM1", "QFM");                    // EResNotFound when missing
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/streams.h"

namespace qel {

using TResourceBytes = std::span<const uint8_t>;

// The type of form-file resources.
inline constexpr const char* kFormResourceType = "QFM";

// Registers static bytes (not copied; they must outlive the program). A later registration of the same
// name and type replaces the earlier one. Numeric ids are written "#12" as names.
// `fileName` is the file the bytes came from, for error messages (form files).
void RegisterResource(std::string_view name, std::string_view type, const void* data, size_t size,
                      std::string_view fileName = {});
// Registers a copy of `bytes` (tests, plug-ins).
void RegisterResourceCopy(std::string_view name, std::string_view type, std::string_view bytes,
                          std::string_view fileName = {});
void UnregisterResource(std::string_view name, std::string_view type);

std::optional<TResourceBytes> FindResource(std::string_view name, std::string_view type);
std::optional<TResourceBytes> FindResource(int id, std::string_view type);
// The file name given at registration ("" when none).
std::string ResourceFileName(std::string_view name, std::string_view type);
bool ResourceExists(std::string_view name, std::string_view type);
// Names of every resource of `type` (upper-cased), sorted.
std::vector<std::string> ResourceNames(std::string_view type);

// A read-only stream over a resource; EResNotFound ("Resource NAME not found") when missing.
class TResourceStream : public TReadOnlyMemoryStream {
    QEL_CLASS(TResourceStream, TReadOnlyMemoryStream)
    TResourceStream(std::string_view name, std::string_view type);
    TResourceStream(int id, std::string_view type);
};

} // namespace qel
