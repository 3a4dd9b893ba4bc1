#include "shell/program.h"

#include <cstdio>
#include <filesystem>

#include "platform/controls/dialogs.h"
#include "platform/core/filer.h"
#include "platform/core/strutils.h"
#include "platform/windows/backend.h"
#include "shell/catalogue.h"
#include "shell/engine_check.h"
#include "shell/main_form.h"

namespace qel {

namespace {
bool GSplashSuppressed = false;

const char* kUsage =
    "Usage: qeldemo [--backend sdl|headless] [--page NAME] [--tour DIR] [-ns]\n"
    "  --backend  where the desktop shows (default: sdl when a display exists, else headless)\n"
    "  --page     the first page to show, by its caption or form name\n"
    "  --tour     show every page in turn, write DIR/NN-FormName.png after each change, and exit\n"
    "  -ns        no splash windows\n";

// Paints what is pending so that the screen shows the current state.
void Settle(TCustomForm* form) {
    Application->ProcessMessages();
    if (form->HandleAllocated())
        RedrawWindow(form->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Application->ProcessMessages();
}
} // namespace

bool IsNoSplashSwitch(std::string_view arg) {
    return SameText(arg, "-ns") || SameText(arg, "/ns");
}
bool SplashSuppressed() {
    return GSplashSuppressed;
}
void SetSplashSuppressed(bool value) {
    GSplashSuppressed = value;
}

TDemoOptions ParseDemoOptions(int argc, const char* const* argv) {
    TDemoOptions o;
    for (int i = 1; i < argc; ++i) {
        std::string_view a = argv[i] ? argv[i] : "";
        auto value = [&](std::string& field, std::string_view name) {
            std::string prefix = std::string(name) + "=";
            if (a.substr(0, prefix.size()) == prefix) {
                field = a.substr(prefix.size());
            } else if (i + 1 < argc && argv[i + 1]) {
                field = argv[++i];
            } else {
                o.Error = std::string(name) + " needs a value";
            }
        };
        if (IsNoSplashSwitch(a)) {
            o.NoSplash = true;
        } else if (a == "--backend" || a.starts_with("--backend=")) {
            value(o.Backend, "--backend");
            if (o.Error.empty() && o.Backend != "sdl" && o.Backend != "headless")
                o.Error = "unknown backend \"" + o.Backend + "\" (sdl or headless)";
        } else if (a == "--page" || a.starts_with("--page=")) {
            value(o.Page, "--page");
        } else if (a == "--tour" || a.starts_with("--tour=")) {
            value(o.TourDir, "--tour");
        } else if (a == "--help" || a == "-h") {
            o.Help = true;
        } else if (o.Error.empty()) {
            o.Error = "unknown argument \"" + std::string(a) + "\"";
        }
        if (!o.Error.empty()) break;
    }
    return o;
}

int RunDemoTour(TfrmMain* form, const std::string& dir) {
    std::filesystem::create_directories(dir);
    int n = 0;
    for (const TDemoPageInfo& info : DemoCatalogue()) {
        TqelPage* page = form->FindDemoPage(info.PageName);
        if (!page) continue;
        form->ShowDemoPage(page);
        Settle(form);
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%02d-", ++n);
        SaveWindowPng(form->Handle(),
                      (std::filesystem::path(dir) / (prefix + std::string(info.FormName) + ".png")).string());
    }
    return n;
}

int RunDemo(int argc, const char* const* argv) {
    TDemoOptions options = ParseDemoOptions(argc, argv);
    if (options.Help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (!options.Error.empty()) {
        std::fprintf(stderr, "qeldemo: %s\n%s", options.Error.c_str(), kUsage);
        return 2;
    }
    SetSplashSuppressed(options.NoSplash);
    std::string backend = options.Backend.empty() ? ChooseBackendName(argc, argv) : options.Backend;
    if (!options.TourDir.empty() && options.Backend.empty()) backend = "headless";
    if (!StartBackend(backend, 1024, 768)) {
        std::fprintf(stderr, "qeldemo: cannot start the %s backend\n", backend.c_str());
        return 1;
    }
    EnsureApplication();
    try {
        // The engine check runs before the application starts, so its warning comes first.
        CheckDatabaseEngine();
        Application->Initialize();
        Application->SetTitle("Welcome to QEL");
        TfrmMain* form = nullptr;
        Application->CreateForm(form);
        if (!options.Page.empty()) {
            TqelPage* page = form->FindDemoPage(options.Page);
            if (!page) {
                std::fprintf(stderr, "qeldemo: no page \"%s\"\n", options.Page.c_str());
                return 2;
            }
            form->ShowDemoPage(page);
        }
        form->Show();
        if (!options.TourDir.empty()) {
            Settle(form);
            int n = RunDemoTour(form, options.TourDir);
            std::printf("qeldemo: wrote %d pictures to %s\n", n, options.TourDir.c_str());
            return 0;
        }
        Application->Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qeldemo: %s\n", e.what());
        return 1;
    }
    return 0;
}

} // namespace qel
