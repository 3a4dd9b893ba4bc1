#pragma once
// The main window of the demonstration: "Welcome to QEL", built around an animation frame whose pages
// each host one demonstration form.
#include <string>
#include <vector>

#include "effects/page_frame.h"
#include "foundation/base_forms.h"

namespace qel {

class TfrmMain : public TqelnpForm {
    QEL_CLASS(TfrmMain, TqelnpForm)
    using TqelnpForm::TqelnpForm;

    TqelAnimationFrame* qelAnimationFrame1 = nullptr;

    // Adjusts the window to the page (the navigation docks), then shows the page.
    void ShowDemoPage(TqelPage* page);
    void SetNavToolbarsVisible(bool value);
    bool NavToolbarsVisible() const { return FNavToolbarsVisible; }
    bool LowColor() const { return FLowColor; }
    // A catalogued page by its component name, FormName or form caption (case-insensitive).
    TqelPage* FindDemoPage(const std::string& name) const;
    // The catalogued pages in catalogue order.
    std::vector<TqelPage*> DemoPages() const;
    // Shows the page `delta` places after the active one in catalogue order (wrapping).
    void ShowNextDemoPage(int delta);

    void FormKeyDown(TObject* Sender, uint16_t& Key, TShiftState Shift);

protected:
    void AfterStreaming() override;

private:
    bool FNavToolbarsVisible = false;
    bool FLowColor = false;
};

} // namespace qel
