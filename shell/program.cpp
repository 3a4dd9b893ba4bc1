#include "shell/program.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "effects/transition.h"
#include "effects/transition_steps.h"
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
    "Usage: qeldemo [--backend sdl|headless] [--page NAME] [--tour DIR [--frames]] [-ns]\n"
    "  --backend  where the desktop shows (default: sdl when a display exists, else headless)\n"
    "  --page     the first page to show, by its caption or form name\n"
    "  --tour     show every page in turn, write DIR/NN-FormName.png after each change, and exit\n"
    "  --frames   with --tour: also write DIR/NN-FormName-1.png .. -3.png part-way through each\n"
    "             change's transition effect (at about 25, 50 and 75 % of its steps)\n"
    "  -ns        no splash windows\n";

// Paints what is pending so that the screen shows the current state.
void Settle(TCustomForm* form) {
    Application->ProcessMessages();
    if (form->HandleAllocated())
        RedrawWindow(form->Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Application->ProcessMessages();
}

// Writes pictures of the main window part-way through the transition effects that play on the
// animation frame. It listens to the cancel query of the frame's transition and of every page's own
// (asked between two steps, in the GUI thread, while the worker waits), and puts the previous
// queries back when it goes.
class TTourFrameRecorder {
public:
    TTourFrameRecorder(TfrmMain* form, TqelAnimationFrame* frame) : FForm(form), FFrame(frame) {
        Hook(frame->GetTransition());
        for (int i = 0; i < frame->PageCount(); ++i) Hook(frame->Pages(i)->GetTransition());
    }
    ~TTourFrameRecorder() {
        for (auto& [t, previous] : FHooks) t->SetOnCancel(previous);
    }
    TTourFrameRecorder(const TTourFrameRecorder&) = delete;
    TTourFrameRecorder& operator=(const TTourFrameRecorder&) = delete;

    // The pictures of the next page change go to `base` + "-1.png" .. "-3.png".
    void Arm(const std::string& base) {
        FBase = base;
        FWritten = 0;
        FThread = nullptr;
        FTotal = 0;
    }
    // Writes the pictures the change did not reach (an effect without steps, or a window animation)
    // from what the window shows now.
    void Finish() {
        while (!FBase.empty() && FWritten < kShots) Write();
        FBase.clear();
    }

private:
    static constexpr int kShots = 3;

    void Hook(TqelTransition* t) {
        TqelCancelEvent previous = t->GetOnCancel();
        FHooks.emplace_back(t, previous);
        t->SetOnCancel([this, previous](TObject* sender, bool& cancel) {
            previous(sender, cancel);
            if (!cancel) Observe(static_cast<TqelTransition*>(sender));
        });
    }
    void Observe(TqelTransition* t) {
        // Only the effect that plays on the frame itself shows on the screen.
        if (FBase.empty() || t->PlayingCanvas() != FFrame->Canvas()) return;
        const TqelTransitionThread* thread = t->PlayingThread();
        if (!thread) return;
        if (thread != FThread) {
            const TqelTransitionSteps& steps = thread->Steps();
            FThread = thread;
            FTotal = TqelTransitionSteps::CountSteps(steps.Effect(), steps.Width(), steps.Height(),
                                                     steps.Size(), steps.Speed());
        }
        const int drawn = thread->StepsDrawn();
        while (FWritten < kShots && drawn * (kShots + 1) >= FTotal * (FWritten + 1)) Write();
    }
    void Write() {
        ++FWritten;
        SaveWindowPng(FForm->Handle(), FBase + "-" + std::to_string(FWritten) + ".png");
    }

    TfrmMain* FForm;
    TqelAnimationFrame* FFrame;
    std::vector<std::pair<TqelTransition*, TqelCancelEvent>> FHooks;
    std::string FBase;
    int FWritten = 0;
    const TqelTransitionThread* FThread = nullptr;
    int FTotal = 0;
};
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
        } else if (a == "--frames") {
            o.TourFrames = true;
        } else if (a == "--help" || a == "-h") {
            o.Help = true;
        } else if (o.Error.empty()) {
            o.Error = "unknown argument \"" + std::string(a) + "\"";
        }
        if (!o.Error.empty()) break;
    }
    if (o.Error.empty() && o.TourFrames && o.TourDir.empty()) o.Error = "--frames needs --tour";
    return o;
}

int RunDemoTour(TfrmMain* form, const std::string& dir, bool frames) {
    std::filesystem::create_directories(dir);
    std::unique_ptr<TTourFrameRecorder> recorder;
    if (frames && form->qelAnimationFrame1)
        recorder = std::make_unique<TTourFrameRecorder>(form, form->qelAnimationFrame1);
    int n = 0;
    for (const TDemoPageInfo& info : DemoCatalogue()) {
        TqelPage* page = form->FindDemoPage(info.PageName);
        if (!page) continue;
        char prefix[16];
        std::snprintf(prefix, sizeof prefix, "%02d-", ++n);
        const std::string base =
            (std::filesystem::path(dir) / (prefix + std::string(info.FormName))).string();
        if (recorder) recorder->Arm(base);
        form->ShowDemoPage(page);
        if (recorder) recorder->Finish();
        Settle(form);
        SaveWindowPng(form->Handle(), base + ".png");
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
            int n = RunDemoTour(form, options.TourDir, options.TourFrames);
            std::printf("qeldemo: wrote %d pictures to %s\n", n * (options.TourFrames ? 4 : 1),
                        options.TourDir.c_str());
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
