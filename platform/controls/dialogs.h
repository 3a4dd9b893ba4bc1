#pragma once
// Message dialogs and input boxes built as QEL forms, with scripted answers for tests and tools.
//
//   if (qel::MessageDlg("Delete the record?", qel::mtConfirmation, {qel::mbYes, qel::mbNo}, 0) == qel::mrYes)
//   ...
//
// Scripting: a hook sees every dialog before it shows. It may answer at once (return a modal result),
// or return -1 to let the dialog run modally (for example after scripting clicks on its buttons, which
// the request carries in Form):
//   auto old = qel::SetDialogHook([](qel::TDialogRequest& r) { return r.Type == qel::mtConfirmation ?
//   qel::mrYes : -1; });
#include <functional>
#include <string>

#include "platform/controls/extctrls.h"

namespace qel {

QEL_ENUM(TMsgDlgType, mtWarning, mtError, mtInformation, mtConfirmation, mtCustom)
QEL_ENUM(TMsgDlgBtn, mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll, mbYesToAll,
         mbHelp)
using TMsgDlgButtons = Set<TMsgDlgBtn>;

inline const TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline const TMsgDlgButtons mbYesAllNoAllCancel{mbYes, mbYesToAll, mbNo, mbNoToAll, mbCancel};
inline const TMsgDlgButtons mbOKCancel{mbOK, mbCancel};
inline const TMsgDlgButtons mbAbortRetryIgnore{mbAbort, mbRetry, mbIgnore};

// The standard texts.
const char* MsgDlgCaption(TMsgDlgType type);   // "Warning", "Error", "Information", "Confirm", ""
const char* MsgDlgButtonCaption(TMsgDlgBtn b); // "&Yes", "&No", "OK", "Cancel", ...
const char* MsgDlgButtonName(TMsgDlgBtn b);    // "Yes", "No", "OK", "Cancel", ...
int MsgDlgButtonResult(TMsgDlgBtn b);          // mrYes ... (0 for mbHelp)

struct TDialogRequest {
    std::string Kind; // "MessageDlg", "InputQuery" or "MessageBox"
    std::string Caption;
    std::string Text; // the message or the prompt
    TMsgDlgType Type = mtCustom;
    TMsgDlgButtons Buttons;
    std::string* Value = nullptr; // InputQuery: the edited value (a hook answering mrOk may set it)
    TCustomForm* Form = nullptr;  // the dialog form (built, not yet shown)
};
// Returns a modal result to answer without showing, or -1 to run the dialog.
using TDialogHook = std::function<int(TDialogRequest& request)>;
// Installs a hook (an empty function removes it); returns the previous one.
TDialogHook SetDialogHook(TDialogHook hook);

// Builds the dialog form (owned by the application) without showing it.
TForm* CreateMessageDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons);
int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx = 0);
// At screen position (x, y); -1 centres the dialog on the screen.
int MessageDlgPos(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx, int x,
                  int y);
void ShowMessage(const std::string& msg);
void ShowMessagePos(const std::string& msg, int x, int y);
std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue);
bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value);

} // namespace qel
