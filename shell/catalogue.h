#pragma once
// The catalogue of demonstration pages: which page of the main window's animation frame hosts which
// demonstration form, the form's caption, the page's form actions, and the Component Browser entries
// ("button page: item") that lead to it. In the order of the Component Browser.
#include <string>
#include <vector>

namespace qel {

struct TDemoPageInfo {
    const char* PageName;
    const char* FormName;
    const char* Caption;
    bool DefaultActions; // the default form actions (with activation); otherwise the standard ones
    std::vector<const char*> BrowserEntries;
};

const std::vector<TDemoPageInfo>& DemoCatalogue();
// The 37 registered demonstration form classes.
const std::vector<std::string>& DemoFormClassNames();
// The pages for which the main window shows its navigation docks.
bool PageShowsNavDocks(const std::string& pageName);

} // namespace qel
