// Feeds arbitrary bytes to the form-file parser and, when they parse, to the component reader and
// writer. Any crash, leak, sanitizer report or unexpected exception kind is a finding.
#include <cstddef>
#include <cstdint>
#include <string>

#include "form_classes.h"
#include "platform/core/formsyntax.h"

using namespace qel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    TFormDocument doc;
    try {
        doc = ParseForm(text, "fuzz.qfm");
    } catch (const EFormReadError&) {
        return 0;
    }
    // Printing back what was parsed must reproduce the input exactly.
    if (PrintForm(doc) != text) __builtin_trap();
    // The canonical layout must parse to the same values.
    TFormDocument again = ParseForm(FormatForm(doc), "fuzz.qfm");
    if (!(again.Root.Properties == doc.Root.Properties)) __builtin_trap();
    qeltest::TTestForm root(nullptr);
    try {
        TReader reader(doc);
        reader.ReadRootComponent(&root);
    } catch (const Exception&) {
        if (root.ComponentCount() != 0) __builtin_trap(); // nothing half-built is left
        return 0;
    }
    try {
        WriteComponent(&root);
    } catch (const EWriteError&) {
    }
    return 0;
}
