#include "platform/controls/dialogs.h"

#include <algorithm>

#include "platform/graphics/font.h"

namespace qel {

namespace {
TDialogHook& Hook() {
    static TDialogHook hook;
    return hook;
}

struct TButtonInfo {
    const char* Name;
    const char* Caption;
    int Result;
};
const TButtonInfo ButtonTable[] = {
    {"Yes", "&Yes", mrYes},
    {"No", "&No", mrNo},
    {"OK", "OK", mrOk},
    {"Cancel", "Cancel", mrCancel},
    {"Abort", "&Abort", mrAbort},
    {"Retry", "&Retry", mrRetry},
    {"Ignore", "&Ignore", mrIgnore},
    {"All", "&All", mrAll},
    {"NoToAll", "N&o to All", mrNoToAll},
    {"YesToAll", "Yes to &All", mrYesToAll},
    {"Help", "&Help", 0},
};

// The dialog's icon, drawn in the classic shapes.
class TDlgIcon : public TGraphicControl {
public:
    TDlgIcon(TComponent* owner, TMsgDlgType type) : TGraphicControl(owner), FType(type) {
        DoSetBounds(0, 0, 32, 32);
    }

protected:
    void Paint() override {
        TCanvas* cv = Canvas();
        cv->GetPen()->SetColor(clBlack);
        TColor fill = clWhite;
        std::string mark;
        switch (FType) {
        case mtWarning: {
            cv->GetBrush()->SetColor(clYellow);
            cv->Polygon({{16, 1}, {31, 29}, {1, 29}});
            mark = "!";
            break;
        }
        case mtError:
            fill = clRed;
            mark = "X";
            break;
        case mtInformation: mark = "i"; break;
        case mtConfirmation: mark = "?"; break;
        default: return;
        }
        if (FType != mtWarning) {
            cv->GetBrush()->SetColor(fill);
            cv->Ellipse(1, 1, 31, 31);
        }
        cv->GetBrush()->SetStyle(bsClear);
        cv->GetFont()->SetName("Arial");
        cv->GetFont()->SetHeight(-18);
        cv->GetFont()->SetStyle(TFontStyles{fsBold});
        cv->GetFont()->SetColor(FType == mtError ? clWhite : FType == mtWarning ? clBlack : clBlue);
        TRect r{0, FType == mtWarning ? 6 : 2, 32, 32};
        cv->TextRect(r, mark, TTextFormat{tfCenter, tfVerticalCenter, tfSingleLine});
    }

private:
    TMsgDlgType FType;
};

int DialogUnitsX(TCustomForm* f, int* cy) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, f->GetFont()->GetHandle());
    TSize sz = GetTextExtent(dc, "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    if (cy) *cy = std::max(sz.cy, 1);
    return std::max(sz.cx / 52, 1);
}

int MulDivRound(int a, int b, int c) {
    return c ? static_cast<int>((static_cast<int64_t>(a) * b + c / 2) / c) : 0;
}

int RunDialog(TDialogRequest& req) {
    if (Hook()) {
        int r = Hook()(req);
        if (r != -1) return r;
    }
    return req.Form->ShowModal();
}
} // namespace

TDialogHook SetDialogHook(TDialogHook hook) {
    TDialogHook old = std::move(Hook());
    Hook() = std::move(hook);
    return old;
}

const char* MsgDlgCaption(TMsgDlgType type) {
    switch (type) {
    case mtWarning: return "Warning";
    case mtError: return "Error";
    case mtInformation: return "Information";
    case mtConfirmation: return "Confirm";
    default: return "";
    }
}
const char* MsgDlgButtonCaption(TMsgDlgBtn b) {
    return ButtonTable[static_cast<int>(b)].Caption;
}
const char* MsgDlgButtonName(TMsgDlgBtn b) {
    return ButtonTable[static_cast<int>(b)].Name;
}
int MsgDlgButtonResult(TMsgDlgBtn b) {
    return ButtonTable[static_cast<int>(b)].Result;
}

TForm* CreateMessageDialog(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons) {
    EnsureApplication();
    auto* form = static_cast<TForm*>(TCustomForm::CreateNew(Application));
    try {
        form->SetBorderStyle(bsDialog);
        form->SetBorderIcons(TBorderIcons{biSystemMenu});
        form->SetPosition(poScreenCenter);
        form->GetFont()->Assign(Screen->GetHintFont());
        form->GetFont()->SetColor(clWindowText);
        int cy = 0;
        int cx = DialogUnitsX(form, &cy);
        int hMargin = MulDivRound(8, cx, 4), vMargin = MulDivRound(8, cy, 8);
        int hSpacing = MulDivRound(10, cx, 4), vSpacing = MulDivRound(10, cy, 8);
        int buttonWidth = MulDivRound(50, cx, 4), buttonHeight = MulDivRound(14, cy, 8);
        int buttonSpacing = MulDivRound(4, cx, 4);
        std::string caption = type == mtCustom ? Application->GetTitle() : MsgDlgCaption(type);
        form->SetCaption(caption);
        // Message text, wrapped at half the screen width.
        TRect textRect{0, 0, std::max(Screen->Width() / 2, 100), 0};
        {
            HDC dc = GetDC(nullptr);
            HGDIOBJ old = SelectObject(dc, form->GetFont()->GetHandle());
            DrawText(dc, msg.empty() ? std::string(" ") : msg, &textRect,
                     DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
            // Button captions may be wider than the standard width.
            for (int b = 0; b <= static_cast<int>(mbHelp); ++b)
                if (buttons.Contains(static_cast<TMsgDlgBtn>(b))) {
                    TRect br{0, 0, 0, 0};
                    DrawText(dc, StripHotkey(MsgDlgButtonCaption(static_cast<TMsgDlgBtn>(b))), &br,
                             DT_CALCRECT | DT_SINGLELINE);
                    buttonWidth = std::max(buttonWidth, br.Width() + 8);
                }
            SelectObject(dc, old);
            ReleaseDC(nullptr, dc);
        }
        int iconW = type == mtCustom ? 0 : 32, iconH = type == mtCustom ? 0 : 32;
        int count = 0;
        for (int b = 0; b <= static_cast<int>(mbHelp); ++b)
            if (buttons.Contains(static_cast<TMsgDlgBtn>(b))) ++count;
        if (count == 0) {
            buttons = TMsgDlgButtons{mbOK};
            count = 1;
        }
        int groupWidth = count * buttonWidth + (count - 1) * buttonSpacing;
        int textLeft = hMargin + (iconW ? iconW + hSpacing : 0);
        int clientW = std::max(textLeft + textRect.Width() + hMargin, groupWidth + 2 * hMargin);
        int contentH = std::max(iconH, textRect.Height());
        int clientH = vMargin + contentH + vSpacing + buttonHeight + vMargin;
        form->SetClientSize(clientW, clientH);
        if (iconW) {
            auto* icon = new TDlgIcon(form, type);
            icon->SetName("Image");
            icon->SetParent(form);
            icon->SetBounds(hMargin, vMargin, iconW, iconH);
        }
        auto* label = new TLabel(form);
        label->SetName("Message");
        label->SetParent(form);
        label->SetWordWrap(true);
        label->SetShowAccelChar(false);
        label->SetBounds(textLeft, vMargin, textRect.Width(), textRect.Height());
        label->SetCaption(msg);
        label->SetBounds(textLeft, vMargin, textRect.Width(), textRect.Height());
        TMsgDlgBtn def = buttons.Contains(mbOK) ? mbOK : buttons.Contains(mbYes) ? mbYes : mbHelp;
        TMsgDlgBtn cancel = buttons.Contains(mbCancel) ? mbCancel : buttons.Contains(mbNo) ? mbNo : mbOK;
        int x = (clientW - groupWidth) / 2;
        int y = vMargin + contentH + vSpacing;
        bool firstDefault = false;
        for (int b = 0; b <= static_cast<int>(mbHelp); ++b) {
            auto kind = static_cast<TMsgDlgBtn>(b);
            if (!buttons.Contains(kind)) continue;
            auto* btn = new TButton(form);
            btn->SetName(MsgDlgButtonName(kind));
            btn->SetParent(form);
            btn->SetCaption(MsgDlgButtonCaption(kind));
            btn->SetModalResult(MsgDlgButtonResult(kind));
            btn->SetBounds(x, y, buttonWidth, buttonHeight);
            if (kind == def || (!buttons.Contains(def) && !firstDefault)) {
                btn->SetDefault(true);
                firstDefault = true;
            }
            if (kind == cancel) btn->SetCancel(true);
            if (kind == mbHelp) {
                btn->SetOnClick(
                    TNotifyEvent([form](TObject*) { Application->HelpContext(form->GetHelpContext()); }));
            }
            if (btn->GetDefault()) form->SetActiveControl(btn);
            x += buttonWidth + buttonSpacing;
        }
    } catch (...) {
        delete form;
        throw;
    }
    return form;
}

int MessageDlgPos(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx, int x,
                  int y) {
    TForm* form = CreateMessageDialog(msg, type, buttons);
    std::unique_ptr<TForm> guard(form);
    form->SetHelpContext(helpCtx);
    if (x >= 0) {
        form->SetPosition(poDesigned);
        form->SetLeft(x);
    }
    if (y >= 0) {
        form->SetPosition(poDesigned);
        form->SetTop(y);
    }
    TDialogRequest req;
    req.Kind = "MessageDlg";
    req.Caption = form->GetCaption();
    req.Text = msg;
    req.Type = type;
    req.Buttons = buttons;
    req.Form = form;
    return RunDialog(req);
}

int MessageDlg(const std::string& msg, TMsgDlgType type, TMsgDlgButtons buttons, int helpCtx) {
    return MessageDlgPos(msg, type, buttons, helpCtx, -1, -1);
}

void ShowMessage(const std::string& msg) {
    MessageDlgPos(msg, mtCustom, TMsgDlgButtons{mbOK}, 0, -1, -1);
}
void ShowMessagePos(const std::string& msg, int x, int y) {
    MessageDlgPos(msg, mtCustom, TMsgDlgButtons{mbOK}, 0, x, y);
}

bool InputQuery(const std::string& caption, const std::string& prompt, std::string& value) {
    EnsureApplication();
    std::unique_ptr<TCustomForm> form(TCustomForm::CreateNew(Application));
    form->SetBorderStyle(bsDialog);
    form->SetCaption(caption);
    form->SetPosition(poScreenCenter);
    form->GetFont()->Assign(Screen->GetHintFont());
    form->GetFont()->SetColor(clWindowText);
    int cy = 0;
    int cx = DialogUnitsX(form.get(), &cy);
    form->SetClientSize(MulDivRound(180, cx, 4), MulDivRound(63, cy, 8));
    auto* label = new TLabel(form.get());
    label->SetName("Prompt");
    label->SetParent(form.get());
    label->SetCaption(prompt);
    label->SetLeft(MulDivRound(8, cx, 4));
    label->SetTop(MulDivRound(8, cy, 8));
    auto* edit = new TEdit(form.get());
    edit->SetName("Value");
    edit->SetParent(form.get());
    edit->SetBounds(MulDivRound(8, cx, 4), label->GetTop() + label->GetHeight() + 5, MulDivRound(164, cx, 4),
                    edit->GetHeight());
    edit->SetMaxLength(255);
    edit->SetText(value);
    label->SetFocusControl(edit);
    int buttonTop = MulDivRound(41, cy, 8), buttonWidth = MulDivRound(50, cx, 4),
        buttonHeight = MulDivRound(14, cy, 8);
    auto* ok = new TButton(form.get());
    ok->SetName("OK");
    ok->SetParent(form.get());
    ok->SetCaption("OK");
    ok->SetModalResult(mrOk);
    ok->SetDefault(true);
    ok->SetBounds(MulDivRound(38, cx, 4), buttonTop, buttonWidth, buttonHeight);
    auto* cancel = new TButton(form.get());
    cancel->SetName("Cancel");
    cancel->SetParent(form.get());
    cancel->SetCaption("Cancel");
    cancel->SetModalResult(mrCancel);
    cancel->SetCancel(true);
    cancel->SetBounds(MulDivRound(92, cx, 4), buttonTop, buttonWidth, buttonHeight);
    form->SetActiveControl(edit);
    TDialogRequest req;
    req.Kind = "InputQuery";
    req.Caption = caption;
    req.Text = prompt;
    req.Value = &value;
    req.Form = form.get();
    std::string before = value;
    if (Hook()) {
        int r = Hook()(req);
        if (r != -1) return r == mrOk;
    }
    edit->SelectAll();
    if (form->ShowModal() == mrOk) {
        value = edit->GetText();
        return true;
    }
    value = before;
    return false;
}

std::string InputBox(const std::string& caption, const std::string& prompt, const std::string& defaultValue) {
    std::string v = defaultValue;
    if (!InputQuery(caption, prompt, v)) return defaultValue;
    return v;
}

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned flags) {
    TMsgDlgButtons buttons;
    switch (flags & 0x0F) {
    case MB_OKCANCEL: buttons = {mbOK, mbCancel}; break;
    case MB_ABORTRETRYIGNORE: buttons = {mbAbort, mbRetry, mbIgnore}; break;
    case MB_YESNOCANCEL: buttons = {mbYes, mbNo, mbCancel}; break;
    case MB_YESNO: buttons = {mbYes, mbNo}; break;
    case MB_RETRYCANCEL: buttons = {mbRetry, mbCancel}; break;
    default: buttons = {mbOK}; break;
    }
    TMsgDlgType type = mtCustom;
    switch (flags & 0xF0) {
    case MB_ICONHAND: type = mtError; break;
    case MB_ICONQUESTION: type = mtConfirmation; break;
    case MB_ICONEXCLAMATION: type = mtWarning; break;
    case MB_ICONASTERISK: type = mtInformation; break;
    default: break;
    }
    std::unique_ptr<TForm> form(CreateMessageDialog(text, type, buttons));
    form->SetCaption(caption);
    TDialogRequest req;
    req.Kind = "MessageBox";
    req.Caption = caption;
    req.Text = text;
    req.Type = type;
    req.Buttons = buttons;
    req.Form = form.get();
    int r = RunDialog(req);
    // Modal results and the ID* codes coincide (IDOK = mrOk = 1 ... IDNO = mrNo = 7).
    return r;
}

} // namespace qel
