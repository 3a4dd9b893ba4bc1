#pragma once
// Standard controls drawn by QEL itself: labels, push buttons, check boxes, radio buttons, group boxes,
// radio groups, single-line edits and memos.
#include <string>
#include <vector>

#include "platform/controls/forms.h"
#include "platform/core/strings.h"

namespace qel {

QEL_ENUM(TAlignment, taLeftJustify, taRightJustify, taCenter)
using TLeftRight = TAlignment;
QEL_ENUM(TTextLayout, tlTop, tlCenter, tlBottom)
QEL_ENUM(TCheckBoxState, cbUnchecked, cbChecked, cbGrayed)
QEL_ENUM(TEditCharCase, ecNormal, ecUpperCase, ecLowerCase)
QEL_ENUM(TScrollStyle, ssNone, ssHorizontal, ssVertical, ssBoth)

// True when `caption` marks `ch` as its accelerator ("&x", case-insensitive; "&&" is a literal).
bool IsAccel(uint32_t ch, const std::string& caption);
// The caption without accelerator marks ("&&" becomes "&").
std::string StripHotkey(const std::string& caption);

// ---- labels -----------------------------------------------------------------------------------------------

class TCustomLabel : public TGraphicControl {
    QEL_CLASS(TCustomLabel, TGraphicControl)
    explicit TCustomLabel(TComponent* owner);
    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    TTextLayout GetLayout() const { return FLayout; }
    void SetLayout(TTextLayout v);
    bool GetWordWrap() const { return FWordWrap; }
    void SetWordWrap(bool v);
    bool GetShowAccelChar() const { return FShowAccelChar; }
    void SetShowAccelChar(bool v);
    TWinControl* GetFocusControl() const { return FFocusControl; }
    void SetFocusControl(TWinControl* v);
    bool GetTransparent() const { return FTransparent; }
    void SetTransparent(bool v);
    void SetAutoSize(bool v) override;
    void Dispatch(TMessage& message) override;

protected:
    // The text as drawn (the caption).
    virtual std::string GetLabelText() const { return GetCaption(); }
    // Draws (or with DT_CALCRECT measures) the text into `rect`.
    virtual void DoDrawText(TRect& rect, unsigned flags);
    void Paint() override;
    // Resizes to the text when AutoSize is on, keeping the edge given by Alignment.
    virtual void AdjustBounds();
    void Loaded() override;
    void Notification(TComponent* component, TOperation operation) override;
    TAlignment FAlignment = taLeftJustify;
    TTextLayout FLayout = tlTop;
    bool FWordWrap = false;
    bool FShowAccelChar = true;
    TWinControl* FFocusControl = nullptr;
    bool FTransparent = false;
};

class TLabel : public TCustomLabel {
    QEL_CLASS(TLabel, TCustomLabel)
    using TCustomLabel::TCustomLabel;
};

// ---- buttons
// --------------------------------------------------------------------------------------------------

class TButtonControl : public TCustomControl {
    QEL_CLASS(TButtonControl, TCustomControl)
    explicit TButtonControl(TComponent* owner);
    bool GetWordWrap() const { return FWordWrap; }
    void SetWordWrap(bool v);

protected:
    void DrawCaption(TRect r, unsigned flags, bool enabled);
    bool FWordWrap = false;
};

class TButton : public TButtonControl {
    QEL_CLASS(TButton, TButtonControl)
    explicit TButton(TComponent* owner);
    bool GetDefault() const { return FDefault; }
    void SetDefault(bool v);
    bool GetCancel() const { return FCancel; }
    void SetCancel(bool v) { FCancel = v; }
    int GetModalResult() const { return FModalResult; }
    void SetModalResult(int v) { FModalResult = v; }
    // Sets the parent form's ModalResult, then fires OnClick.
    void Click() override;
    // Shows the button pressed and clicks it (keyboard activation).
    void Press();
    // The button answers Enter: focused, or the default while no other button has the focus.
    bool IsActiveDefault() const;
    void Dispatch(TMessage& message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void KeyUp(uint16_t& key, TShiftState shift) override;
    bool FDefault = false;
    bool FCancel = false;
    int FModalResult = 0;
    bool FPressed = false;  // drawn pushed
    bool FTracking = false; // mouse press in progress
    bool FSpaceDown = false;
};

class TCustomCheckBox : public TButtonControl {
    QEL_CLASS(TCustomCheckBox, TButtonControl)
    explicit TCustomCheckBox(TComponent* owner);
    TCheckBoxState GetState() const { return FState; }
    void SetState(TCheckBoxState v);
    bool GetChecked() const { return FState == cbChecked; }
    void SetChecked(bool v) { SetState(v ? cbChecked : cbUnchecked); }
    bool GetAllowGrayed() const { return FAllowGrayed; }
    void SetAllowGrayed(bool v);
    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    // Unchecked -> (grayed ->) checked -> unchecked.
    virtual void Toggle();
    void Dispatch(TMessage& message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyUp(uint16_t& key, TShiftState shift) override;
    TCheckBoxState FState = cbUnchecked;
    bool FAllowGrayed = false;
    TAlignment FAlignment = taRightJustify;
    bool FPressed = false;
};

class TCheckBox : public TCustomCheckBox {
    QEL_CLASS(TCheckBox, TCustomCheckBox)
    using TCustomCheckBox::TCustomCheckBox;
};

class TRadioButton : public TButtonControl {
    QEL_CLASS(TRadioButton, TButtonControl)
    explicit TRadioButton(TComponent* owner);
    bool GetChecked() const { return FChecked; }
    // Checking unchecks the sibling radio buttons of the same parent and fires OnClick.
    virtual void SetChecked(bool v);
    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    void Dispatch(TMessage& message) override;

protected:
    void Paint() override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void KeyUp(uint16_t& key, TShiftState shift) override;
    bool FChecked = false;
    TAlignment FAlignment = taRightJustify;
    bool FPressed = false;
};

// ---- group boxes
// ----------------------------------------------------------------------------------------------

class TCustomGroupBox : public TCustomControl {
    QEL_CLASS(TCustomGroupBox, TCustomControl)
    explicit TCustomGroupBox(TComponent* owner);
    void AdjustClientRect(TRect& rect) override;
    void Dispatch(TMessage& message) override;

protected:
    void Paint() override;
    void DrawCaptionText(TRect r);
    int CaptionHeight() const;
};

class TGroupBox : public TCustomGroupBox {
    QEL_CLASS(TGroupBox, TCustomGroupBox)
    using TCustomGroupBox::TCustomGroupBox;
};

class TCustomRadioGroup;

// The radio buttons a radio group creates for its items (owned by the group, never streamed).
class TGroupButton : public TRadioButton {
    QEL_CLASS(TGroupButton, TRadioButton)
    explicit TGroupButton(TCustomRadioGroup* group);
    void Click() override;
    void SetChecked(bool v) override;
    // Changes the check mark without a click notification.
    void SetCheckedQuiet(bool v);

private:
    TCustomRadioGroup* FGroup;
};

class TCustomRadioGroup : public TCustomGroupBox {
    QEL_CLASS(TCustomRadioGroup, TCustomGroupBox)
    explicit TCustomRadioGroup(TComponent* owner);
    ~TCustomRadioGroup() override;
    TStrings* GetItems() const { return FItems.get(); }
    void SetItems(TStrings* v) { FItems->Assign(v); }
    int GetItemIndex() const { return FItemIndex; }
    void SetItemIndex(int v);
    int GetColumns() const { return FColumns; }
    void SetColumns(int v);
    int ButtonCount() const { return static_cast<int>(FButtons.size()); }
    TGroupButton* Buttons(int i) const { return FButtons.at(static_cast<size_t>(i)); }
    void GetChildren(const TGetChildProc& proc, TComponent* root) override {}
    void Dispatch(TMessage& message) override;

protected:
    friend class TGroupButton;
    void Loaded() override;
    void ItemsChange(TObject* sender);
    void UpdateButtons();
    void ArrangeButtons();
    void ButtonClick(TGroupButton* button);
    void Resize() override;
    std::unique_ptr<TStringList> FItems;
    std::vector<TGroupButton*> FButtons;
    int FItemIndex = -1;
    int FColumns = 1;
    bool FUpdating = false;
};

class TRadioGroup : public TCustomRadioGroup {
    QEL_CLASS(TRadioGroup, TCustomRadioGroup)
    using TCustomRadioGroup::TCustomRadioGroup;
};

// ---- edits
// ------------------------------------------------------------------------------------------------------

class TCustomEdit : public TCustomControl {
    QEL_CLASS(TCustomEdit, TCustomControl)
    explicit TCustomEdit(TComponent* owner);
    int GetMaxLength() const { return FMaxLength; }
    void SetMaxLength(int v);
    bool GetReadOnly() const { return FReadOnly; }
    void SetReadOnly(bool v);
    char GetPasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(char v);
    bool GetAutoSelect() const { return FAutoSelect; }
    void SetAutoSelect(bool v) { FAutoSelect = v; }
    bool GetHideSelection() const { return FHideSelection; }
    void SetHideSelection(bool v);
    TEditCharCase GetCharCase() const { return FCharCase; }
    void SetCharCase(TEditCharCase v);
    TBorderStyle GetBorderStyle() const { return FBorderStyle; }
    void SetBorderStyle(TBorderStyle v);
    bool GetModified() const { return FModified; }
    void SetModified(bool v) { FModified = v; }
    // Selection in characters (code points).
    int GetSelStart() const;
    void SetSelStart(int v);
    int GetSelLength() const;
    void SetSelLength(int v);
    std::string GetSelText() const;
    void SetSelText(const std::string& v);
    void SelectAll();
    void ClearSelection();
    void CutToClipboard();
    void CopyToClipboard();
    void PasteFromClipboard();
    void Clear() { SetText(std::string()); }
    bool CanUndo() const { return FUndoValid; }
    void Undo();
    void ClearUndo() { FUndoValid = false; }
    void Dispatch(TMessage& message) override;
    QEL_EVENT(TNotifyEvent, OnChange)

protected:
    std::string GetTextValue() const override;
    void SetTextValue(const std::string& v) override;
    virtual void Change();
    void Paint() override;
    void DoEnter() override;
    void DoExit() override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    bool CanAutoSize(int& newWidth, int& newHeight) override;
    virtual bool IsMultiLine() const { return false; }
    virtual void TextChanged() {}
    // Inserts typed or pasted text at the caret, replacing the selection (limits and case applied).
    void InsertText(std::u32string text);
    void DeleteRange(int start, int end);
    void SetSelection(int anchor, int caret);
    void MoveCaret(int pos, bool extend);
    void SaveUndo();
    std::u32string DisplayChars() const;
    TRect TextRect() const;
    int LineHeight();
    virtual int CharFromPoint(TPoint p);
    virtual TPoint PointFromChar(int index);
    virtual void ScrollCaretIntoView();
    void UpdateCaret();
    void ChangeText(std::u32string text);

    std::u32string FChars;
    int FAnchor = 0; // selection anchor
    int FCaret = 0;  // caret position (the other end of the selection)
    int FScrollX = 0;
    int FMaxLength = 0;
    bool FReadOnly = false;
    char FPasswordChar = 0;
    bool FAutoSelect = true;
    bool FHideSelection = true;
    TEditCharCase FCharCase = ecNormal;
    TBorderStyle FBorderStyle = bsSingle;
    bool FModified = false;
    bool FMouseSelecting = false;
    bool FCaretCreated = false;
    std::u32string FUndoChars;
    int FUndoCaret = 0;
    bool FUndoValid = false;
    bool FChanging = false;
};

class TEdit : public TCustomEdit {
    QEL_CLASS(TEdit, TCustomEdit)
    using TCustomEdit::TCustomEdit;
};

class TCustomMemo;

// The lines of a memo: one string per paragraph.
class TMemoStrings : public TStrings {
    QEL_CLASS(TMemoStrings, TStrings)
    explicit TMemoStrings(TCustomMemo* memo = nullptr) : FMemo(memo) {}
    int Count() const override;
    std::string Get(int index) const override;
    void Put(int index, const std::string& s) override;
    void Insert(int index, const std::string& s) override;
    void Delete(int index) override;
    void Clear() override;
    std::string GetText() const override;
    void SetText(const std::string& text) override;

private:
    std::vector<std::string> Split() const;
    void Join(const std::vector<std::string>& lines);
    TCustomMemo* FMemo;
};

class TCustomMemo : public TCustomEdit {
    QEL_CLASS(TCustomMemo, TCustomEdit)
    explicit TCustomMemo(TComponent* owner);
    ~TCustomMemo() override;
    TStrings* GetLines() const { return FLines.get(); }
    void SetLines(TStrings* v) { FLines->Assign(v); }
    bool GetWordWrap() const { return FWordWrap; }
    void SetWordWrap(bool v);
    TScrollStyle GetScrollBars() const { return FScrollBars; }
    void SetScrollBars(TScrollStyle v);
    bool GetWantReturns() const { return FWantReturns; }
    void SetWantReturns(bool v) { FWantReturns = v; }
    bool GetWantTabs() const { return FWantTabs; }
    void SetWantTabs(bool v) { FWantTabs = v; }
    TAlignment GetAlignment() const { return FAlignment; }
    void SetAlignment(TAlignment v);
    // The first visible visual line.
    int TopLine() const { return FTopLine; }
    // Visual lines after wrapping: start index and length in characters.
    struct TVisualLine {
        int Start;
        int Length;
    };
    const std::vector<TVisualLine>& VisualLines();
    void Dispatch(TMessage& message) override;

protected:
    friend class TMemoStrings;
    bool IsMultiLine() const override { return true; }
    void CreateParams(TCreateParams& params) override;
    void Paint() override;
    void KeyDown(uint16_t& key, TShiftState shift) override;
    bool CanAutoSize(int& newWidth, int& newHeight) override { return false; }
    int CharFromPoint(TPoint p) override;
    TPoint PointFromChar(int index) override;
    void ScrollCaretIntoView() override;
    void Resize() override;
    void TextChanged() override;
    // Shows the scroll bars ScrollBars asks for, with the range, page and position of the text.
    void UpdateScrollBars();
    void InvalidateLayout() { FLayoutValid = false; }
    int LineOfChar(int index);
    std::unique_ptr<TMemoStrings> FLines;
    bool FWordWrap = true;
    TScrollStyle FScrollBars = ssNone;
    bool FWantReturns = true;
    bool FWantTabs = false;
    TAlignment FAlignment = taLeftJustify;
    int FTopLine = 0;
    std::vector<TVisualLine> FVisual;
    bool FLayoutValid = false;
    bool FUpdatingScrollBars = false;
};

class TMemo : public TCustomMemo {
    QEL_CLASS(TMemo, TCustomMemo)
    using TCustomMemo::TCustomMemo;
};

// ---- the in-process clipboard used by the edits
// ------------------------------------------------------------------
std::string GetClipboardText();
void SetClipboardText(const std::string& text);
bool ClipboardHasText();

} // namespace qel
