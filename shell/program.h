#pragma once
// The demonstration program: its command line, start-up and the headless tour of every page.
#include <string>
#include <string_view>

namespace qel {

class TfrmMain;

struct TDemoOptions {
    std::string Backend;     // "sdl", "headless" or "" (chosen from the environment)
    std::string Page;        // first page to show (caption or FormName)
    std::string TourDir;     // write a picture of every page into this folder, then exit
    bool TourFrames = false; // the tour also writes pictures part-way through each transition
    bool NoSplash = false;   // "-ns" or "/ns" in any case, anywhere
    bool Help = false;
    std::string Error; // a malformed command line
};

// True for the switch that suppresses the automatic splash windows ("-ns" or "/ns", any case).
bool IsNoSplashSwitch(std::string_view arg);
TDemoOptions ParseDemoOptions(int argc, const char* const* argv);
// Whether the splash windows are suppressed for this run.
bool SplashSuppressed();
void SetSplashSuppressed(bool value);

// Shows every catalogued page in catalogue order, each change played as for a user, and writes a PNG
// of the main window after each change as DIR/NN-FormName.png. With `frames`, it also writes the window
// at about a quarter, half and three quarters of the steps of each change's transition effect as
// DIR/NN-FormName-1.png .. -3.png. Returns the number of pages shown.
int RunDemoTour(TfrmMain* form, const std::string& dir, bool frames = false);

// The program: parses the command line, starts the backend, checks the database engine, creates
// the main window and runs (or tours). Returns the exit code.
int RunDemo(int argc, const char* const* argv);

} // namespace qel
