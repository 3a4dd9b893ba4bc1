#include "shell/catalogue.h"

#include "platform/core/strutils.h"

namespace qel {

const std::vector<TDemoPageInfo>& DemoCatalogue() {
    static const std::vector<TDemoPageInfo> catalogue = {
        {"qelPage61", "frmDemo461", "Overview", false, {"QEL Components: Overview"}},
        {"qelPage62", "frmDemo462", "Distributors", false, {"QEL Components: Distributors"}},
        {"qelPage60", "frmDemo460", "Order Form", false, {"QEL Components: Fax Orders"}},
        {"qelPage10", "frmDemo410", "frmDemo410", false, {"User Interface Controls: Button Bar"}},
        {"qelPage1", "frmDemo473", "Button List", false, {"User Interface Controls: Button List"}},
        {"qelPage9", "frmDemo530", "frmDemo530", false, {"User Interface Controls: Form Tab Control"}},
        {"qelPage12",
         "frmDemo412",
         "Effects Image",
         false,
         {"User Interface Controls: Effects Image", "Animation Controls: Effects Image"}},
        {"qelPage15", "frmDemo415", "Rich Edit", false, {"User Interface Controls: Rich Edit"}},
        {"qelPage13", "frmDemo413", "Shape Button", false, {"User Interface Controls: Shape Button"}},
        {"qelPage14",
         "frmDemo414",
         "Picture Speed Button",
         false,
         {"User Interface Controls: Picture Buttons"}},
        {"qelPage8", "frmDemo511", "QEL Sprite Components", false, {"Animation Controls: Sprite Components"}},
        {"qelPage7",
         "frmDemo510",
         "QEL Sprite Components",
         false,
         {"Animation Controls: Sprite Animation Samples"}},
        {"qelPage34",
         "frmDemo434",
         "DB Effects Image",
         false,
         {"Animation Controls: DB Effects Image", "Data Controls: DB Effects Image"}},
        {"qelPage20",
         "frmDemo420",
         "Floating Toolbars",
         false,
         {"Floating Toolbars and Menus: Toolbar Controls"}},
        {"qelPage21",
         "frmDemo421",
         "DB Nav Toolbars",
         true,
         {"Floating Toolbars and Menus: DB Nav Toolbars"}},
        {"qelPage2",
         "frmDemo472",
         "Menu Toolbars and Custom Menus",
         false,
         {"Floating Toolbars and Menus: Menu Toolbars"}},
        {"qelPage30", "frmDemo430", "DB Tree View", false, {"Data Controls: DB Tree View"}},
        {"qelPage32", "frmDemo432", "DB Hint Manager", false, {"Data Controls: Hint Manager"}},
        {"qelPage31", "frmDemo431", "DB Rich Edit", true, {"Data Controls: DB Rich Edit"}},
        {"qelPage33", "frmDemo433", "DB Help Manager", false, {"Data Controls: Help Manager"}},
        {"qelPage3", "frmDemo470", "Shaped Forms", false, {"Forms && Dialogs: Shaped Forms"}},
        {"qelPage4",
         "frmDemo471",
         "TqelBusy Popup Progress Forms",
         false,
         {"Forms && Dialogs: Busy/Progress Popup"}},
        {"qelPage16", "frmDemo540", "frmDemo540", false, {"Forms && Dialogs: Message Dialog"}},
        {"qelPage17", "frmDemo541", "frmDemo541", false, {"Forms && Dialogs: Progress Dialog"}},
        {"qelPage40", "frmDemo440", "Splash Dialog", false, {"Forms && Dialogs: Splash"}},
        {"qelPage41", "frmDemo441", "Welcome Tips Dialog", false, {"Forms && Dialogs: Welcome Tips"}},
        {"qelPage42", "frmDemo442", "Page Setup Dialog", false, {"Forms && Dialogs: Page Setup Dialog"}},
        {"qelPage5", "frmDemo520", "TqelURLLabel", false, {"Internet Client Links: URL Label"}},
        {"qelPage6", "frmDemo521", "TqelMailToLabel", false, {"Internet Client Links: MailTo Label"}},
        {"qelPage53", "frmDemo453", "Picture Group", false, {"Even More Controls: Picture Group"}},
        {"qelPage50", "frmDemo450", "Edit Controls", false, {"Even More Controls: Edit Controls"}},
        {"qelPage51", "frmDemo451", "Labels", false, {"Even More Controls: Labels"}},
        {"qelPage54", "frmDemo454", "More Win32 Controls...", false, {"Even More Controls: Win32"}},
        {"qelPage52",
         "frmDemo452",
         "The Entire QEL Component Suite",
         false,
         {"Even More Controls: And even more!"}},
        {"qelPage11", "frmDemo411", "Animation Frame", false, {}},
    };
    return catalogue;
}

const std::vector<std::string>& DemoFormClassNames() {
    static const std::vector<std::string> names = {
        "TfrmDemo410", "TfrmDemo411", "TfrmDemo412", "TfrmDemo413", "TfrmDemo414", "TfrmDemo415",
        "TfrmDemo420", "TfrmDemo421", "TfrmDemo430", "TfrmDemo431", "TfrmDemo432", "TfrmDemo433",
        "TfrmDemo434", "TfrmDemo440", "TfrmDemo441", "TfrmDemo442", "TfrmDemo450", "TfrmDemo451",
        "TfrmDemo452", "TfrmDemo453", "TfrmDemo454", "TfrmDemo460", "TfrmDemo461", "TfrmDemo462",
        "TfrmDemo470", "TfrmDemo471", "TfrmDemo472", "TfrmDemo473", "TfrmDemo510", "TfrmDemo511",
        "TfrmDemo520", "TfrmDemo521", "TfrmDemo530", "TfrmDemo531", "TfrmDemo532", "TfrmDemo540",
        "TfrmDemo541"};
    return names;
}

bool PageShowsNavDocks(const std::string& pageName) {
    return SameText(pageName, "qelPage20") || SameText(pageName, "qelPage21") ||
           SameText(pageName, "qelPage31");
}

} // namespace qel
