// qelform: a form-file checker.
//
//   qelform check FILE...      reads every file into an instance of its root class, as a program
//                              would, and prints "file:line: message" for each file with an error
//   qelform roundtrip FILE...  parses each file, prints it in the canonical layout and reports the
//                              first line that differs (the layout the writer produces)
//   qelform format FILE        prints the file in the canonical layout
//
// Exit status: 0 when every file passed, 1 when one failed, 2 for usage errors.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/core/filer.h"
#include "platform/core/formsyntax.h"
#include "platform/core/streams.h"

using namespace qel;

namespace {

std::string Base(const std::string& path) {
    return std::filesystem::path(path).filename().string();
}

bool ReadFile(const std::string& path, std::string& text) {
    try {
        TFileStream f(path, fmOpenRead);
        text = f.ReadAll();
        return true;
    } catch (const Exception& e) {
        std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
        return false;
    }
}

void Report(const std::string& path, int line, const std::string& message) {
    std::printf("%s:%d: %s\n", path.c_str(), line, message.c_str());
}

// Strips the "file(line): " prefix that reader errors carry.
std::string Detail(const Exception& e, int& line) {
    if (auto* fe = dynamic_cast<const EFormReadError*>(&e)) {
        line = fe->Line();
        return fe->Detail();
    }
    std::string m = e.Message();
    size_t open = m.find('(');
    size_t close = m.find("): ");
    if (open != std::string::npos && close != std::string::npos && open < close) {
        try {
            line = std::stoi(m.substr(open + 1, close - open - 1));
            return m.substr(close + 3);
        } catch (...) {
        }
    }
    return m;
}

bool Check(const std::string& path) {
    std::string text;
    if (!ReadFile(path, text)) return false;
    std::string name = Base(path);
    try {
        TFormDocument doc = ParseForm(text, name);
        TClass cls = GetClass(doc.Root.ClassName);
        if (!cls) {
            Report(path, doc.Root.Line, "Class " + doc.Root.ClassName + " not found");
            return false;
        }
        if (!cls->InheritsFrom(TComponent::StaticClass()) || !cls->Create) {
            Report(path, doc.Root.Line, "Cannot create a " + doc.Root.ClassName + " from a form file");
            return false;
        }
        std::unique_ptr<TObject> obj(cls->Create(nullptr));
        auto* root = dynamic_cast<TComponent*>(obj.get());
        if (!root) {
            Report(path, doc.Root.Line, "Cannot create a " + doc.Root.ClassName + " from a form file");
            return false;
        }
        // A descendant's file applies over its ancestors' files, as when the form is created.
        if (doc.Root.Kind == TFormObjectKind::Inherited && cls->Parent)
            InitInheritedComponent(root, TComponent::StaticClass(), cls->Parent);
        TReader reader(doc);
        reader.ReadRootComponent(root);
        return true;
    } catch (const Exception& e) {
        int line = 0;
        std::string detail = Detail(e, line);
        Report(path, line, detail);
        return false;
    }
}

bool Roundtrip(const std::string& path) {
    std::string text;
    if (!ReadFile(path, text)) return false;
    try {
        TFormDocument doc = ParseForm(text, Base(path));
        std::string printed = FormatForm(doc);
        if (printed == text) return true;
        int line = 1;
        size_t i = 0;
        while (i < text.size() && i < printed.size() && text[i] == printed[i]) {
            if (text[i] == '\n') ++line;
            ++i;
        }
        size_t eol = printed.find('\n', i);
        size_t bol = printed.rfind('\n', i == 0 ? 0 : i - 1);
        bol = (bol == std::string::npos || i == 0) ? 0 : bol + 1;
        std::string expected = printed.substr(bol, eol == std::string::npos ? std::string::npos : eol - bol);
        Report(path, line, "differs from the canonical layout; expected: " + expected);
        return false;
    } catch (const Exception& e) {
        int line = 0;
        std::string detail = Detail(e, line);
        Report(path, line, detail);
        return false;
    }
}

int Usage() {
    std::fprintf(
        stderr,
        "usage: qelform check FILE...\n       qelform roundtrip FILE...\n       qelform format FILE\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    std::string cmd = argv[1];
    bool ok = true;
    if (cmd == "check") {
        for (int i = 2; i < argc; ++i) ok = Check(argv[i]) && ok;
    } else if (cmd == "roundtrip") {
        for (int i = 2; i < argc; ++i) ok = Roundtrip(argv[i]) && ok;
    } else if (cmd == "format" && argc == 3) {
        std::string text;
        if (!ReadFile(argv[2], text)) return 1;
        try {
            std::fputs(FormatForm(ParseForm(text, Base(argv[2]))).c_str(), stdout);
        } catch (const Exception& e) {
            int line = 0;
            std::string detail = Detail(e, line);
            Report(argv[2], line, detail);
            return 1;
        }
    } else {
        return Usage();
    }
    return ok ? 0 : 1;
}
