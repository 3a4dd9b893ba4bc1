#include "shell/main_form.h"

#include <algorithm>

#include "platform/core/strutils.h"
#include "shell/catalogue.h"

namespace qel {

QEL_IMPLEMENT_CLASS(TfrmMain, [](auto& c) { c.Method("FormKeyDown", &TfrmMain::FormKeyDown); })

void TfrmMain::AfterStreaming() {
    TqelnpForm::AfterStreaming();
    qelAnimationFrame1 = dynamic_cast<TqelAnimationFrame*>(FindComponent("qelAnimationFrame1"));
    HDC dc = GetDC(nullptr);
    FLowColor = GetDeviceCaps(dc, BITSPIXEL) <= 8;
    ReleaseDC(nullptr, dc);
    FNavToolbarsVisible = false;
    // The first page is the overview.
    auto* first = dynamic_cast<TqelPage*>(FindComponent("qelPage61"));
    if (qelAnimationFrame1 && first && qelAnimationFrame1->GetActivePage() != first)
        qelAnimationFrame1->SetActivePage(first);
}

void TfrmMain::SetNavToolbarsVisible(bool value) {
    FNavToolbarsVisible = value;
}

void TfrmMain::ShowDemoPage(TqelPage* page) {
    if (!page || !qelAnimationFrame1) return;
    SetNavToolbarsVisible(PageShowsNavDocks(page->GetName()));
    qelAnimationFrame1->SetActivePage(page);
}

TqelPage* TfrmMain::FindDemoPage(const std::string& name) const {
    for (const TDemoPageInfo& info : DemoCatalogue()) {
        if (SameText(name, info.PageName) || SameText(name, info.FormName) || SameText(name, info.Caption))
            return dynamic_cast<TqelPage*>(FindComponent(info.PageName));
    }
    return nullptr;
}

std::vector<TqelPage*> TfrmMain::DemoPages() const {
    std::vector<TqelPage*> pages;
    for (const TDemoPageInfo& info : DemoCatalogue())
        if (auto* p = dynamic_cast<TqelPage*>(FindComponent(info.PageName))) pages.push_back(p);
    return pages;
}

void TfrmMain::ShowNextDemoPage(int delta) {
    std::vector<TqelPage*> pages = DemoPages();
    if (pages.empty() || !qelAnimationFrame1) return;
    auto it = std::find(pages.begin(), pages.end(), qelAnimationFrame1->GetActivePage());
    int n = static_cast<int>(pages.size());
    int index = it == pages.end() ? 0 : static_cast<int>(it - pages.begin());
    index = ((index + delta) % n + n) % n;
    ShowDemoPage(pages[static_cast<size_t>(index)]);
}

void TfrmMain::FormKeyDown(TObject*, uint16_t& Key, TShiftState) {
    // Until the Component Browser exists, Page Up and Page Down walk through the pages.
    if (Key == VK_NEXT) {
        Key = 0;
        ShowNextDemoPage(1);
    } else if (Key == VK_PRIOR) {
        Key = 0;
        ShowNextDemoPage(-1);
    }
}

} // namespace qel
