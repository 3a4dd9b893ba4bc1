#pragma once
// Small component classes that exercise every value kind of the form format: nested persistents,
// string lists, collections, references, events, defined list and binary properties, parents,
// visual inheritance and embedded frames.
#include <string>
#include <vector>

#include "platform/core/collection.h"
#include "platform/core/filer.h"
#include "platform/core/strings.h"

namespace qeltest {

using namespace qel;

QEL_ENUM(TTestAlign, taNone, taTop, taBottom, taLeft, taRight, taClient)
QEL_ENUM(TTestAnchor, anLeft, anTop, anRight, anBottom)
QEL_ENUM(TTestFontStyle, fsBold, fsItalic, fsUnderline, fsStrikeOut)

extern const TIntegerIdents kCursorIdents;
// When set, every TTestControl::Loaded appends "Name" or "Name->Buddy".
extern std::vector<std::string>* GLoadedLog;

class TTestFont : public TPersistent {
    QEL_CLASS(TTestFont, TPersistent)
    std::string GetName() const { return FName; }
    void SetName(std::string v) { FName = std::move(v); }
    int GetSize() const { return FSize; }
    void SetSize(int v) { FSize = v; }
    TColor GetColor() const { return FColor; }
    void SetColor(TColor v) { FColor = v; }
    Set<TTestFontStyle> GetStyle() const { return FStyle; }
    void SetStyle(Set<TTestFontStyle> v) { FStyle = v; }
    void Assign(TPersistent* source) override;

private:
    std::string FName = "MS Sans Serif";
    int FSize = 8;
    TColor FColor = clWindowText;
    Set<TTestFontStyle> FStyle;
};

class TTestItem : public TCollectionItem {
    QEL_CLASS(TTestItem, TCollectionItem)
    using TCollectionItem::TCollectionItem;
    std::string GetCaption() const { return FCaption; }
    void SetCaption(std::string v) {
        FCaption = std::move(v);
        Changed(false);
    }
    int GetValue() const { return FValue; }
    void SetValue(int v) { FValue = v; }
    TComponent* GetLink() const { return FLink; }
    void SetLink(TComponent* v) { FLink = v; }
    TNotifyEvent GetOnClick() const { return FOnClick; }
    void SetOnClick(TNotifyEvent e) { FOnClick = e; }
    std::string GetDisplayName() const override { return FCaption.empty() ? ClassName() : FCaption; }
    void Assign(TPersistent* source) override;

private:
    std::string FCaption;
    int FValue = 0;
    TComponent* FLink = nullptr;
    TNotifyEvent FOnClick;
};

class TTestItems : public TOwnedCollection {
    QEL_CLASS(TTestItems, TOwnedCollection)
    explicit TTestItems(TPersistent* owner = nullptr) : TOwnedCollection(owner, TTestItem::StaticClass()) {}
    std::vector<int> Updates; // -1: whole collection, else the item's index
protected:
    void Update(TCollectionItem* item) override { Updates.push_back(item ? item->GetIndex() : -1); }
};

// A control-like component: it has a parent, children, and properties of every kind.
class TTestControl : public TComponent {
    QEL_CLASS(TTestControl, TComponent)
    explicit TTestControl(TComponent* owner);
    ~TTestControl() override;

    int GetLeft() const { return FLeft; }
    void SetLeft(int v) { FLeft = v; }
    int GetTop() const { return FTop; }
    void SetTop(int v) { FTop = v; }
    std::string GetCaption() const { return FCaption; }
    void SetCaption(std::string v) { FCaption = std::move(v); }
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool v) { FVisible = v; }
    TTestAlign GetAlign() const { return FAlign; }
    void SetAlign(TTestAlign v) { FAlign = v; }
    Set<TTestAnchor> GetAnchors() const { return FAnchors; }
    void SetAnchors(Set<TTestAnchor> v) { FAnchors = v; }
    TColor GetColor() const { return FColor; }
    void SetColor(TColor v) { FColor = v; }
    double GetRatio() const { return FRatio; }
    void SetRatio(double v) { FRatio = v; }
    int64_t GetBig() const { return FBig; }
    void SetBig(int64_t v) { FBig = v; }
    int GetCursor() const { return FCursor; }
    void SetCursor(int v) { FCursor = v; }
    TTestFont* GetFont() const { return FFont; }
    TStringList* GetLines() const { return FLines; }
    TTestItems* GetItems() const { return FItems; }
    TComponent* GetBuddy() const { return FBuddy; }
    void SetBuddy(TComponent* c);
    TNotifyEvent GetOnClick() const { return FOnClick; }
    void SetOnClick(TNotifyEvent e) { FOnClick = e; }
    // Rejects negative values, to test errors raised by setters.
    int GetLimit() const { return FLimit; }
    void SetLimit(int v);

    std::vector<int> Points;      // defined "Points": an integer list
    std::string Data;             // defined binary "Data"
    bool ProcessMessages = false; // defined "ProcessMessages", read and dropped
    int LoadedCalls = 0;

    TTestControl* Parent() const { return FParent; }
    void SetParent(TTestControl* p);
    const std::vector<TTestControl*>& Controls() const { return FControls; }

    bool HasParent() const override { return FParent != nullptr; }
    TComponent* GetParentComponent() const override { return FParent; }
    void SetParentComponent(TComponent* p) override { SetParent(dynamic_cast<TTestControl*>(p)); }
    void ReadState(TReader* reader) override;
    void GetChildren(const TGetChildProc& proc, TComponent* root) override;
    void DefineProperties(TFiler* filer) override;
    void Loaded() override;

protected:
    void Notification(TComponent* c, TOperation op) override;

private:
    int FLeft = 0, FTop = 0;
    std::string FCaption;
    bool FVisible = true;
    TTestAlign FAlign = taNone;
    Set<TTestAnchor> FAnchors{anLeft, anTop};
    TColor FColor = clBtnFace;
    double FRatio = 0;
    int64_t FBig = 0;
    int FCursor = 0;
    int FLimit = 0;
    TTestFont* FFont;
    TStringList* FLines;
    TTestItems* FItems;
    TComponent* FBuddy = nullptr;
    TNotifyEvent FOnClick;
    TTestControl* FParent = nullptr;
    std::vector<TTestControl*> FControls;
};

// A non-visual component (no parent): written by its root before the controls.
class TTestTimer : public TComponent {
    QEL_CLASS(TTestTimer, TComponent)
    using TComponent::TComponent;
    int GetInterval() const { return FInterval; }
    void SetInterval(int v) { FInterval = v; }
    TNotifyEvent GetOnTimer() const { return FOnTimer; }
    void SetOnTimer(TNotifyEvent e) { FOnTimer = e; }

private:
    int FInterval = 1000;
    TNotifyEvent FOnTimer;
};

// A form-like root: writes its non-visual components, then its controls.
class TTestForm : public TTestControl {
    QEL_CLASS(TTestForm, TTestControl)
    using TTestControl::TTestControl;
    void GetChildren(const TGetChildProc& proc, TComponent* root) override;
    void AfterConstruction() override;
    void Button1Click(TObject* sender) { Clicks.push_back("Button1Click"); }
    void FormCreate(TObject* sender) { Clicks.push_back("FormCreate"); }
    void TimerFired(TObject* sender) { Clicks.push_back("TimerFired"); }
    void WrongSignature(TObject* sender, int x) {}
    std::vector<std::string> Clicks;
    bool ResourcesFound = false;
};

// A descendant form class: its file applies over TTestForm's.
class TTestForm2 : public TTestForm {
    QEL_CLASS(TTestForm2, TTestForm)
    using TTestForm::TTestForm;
    void ExtraClick(TObject* sender) { Clicks.push_back("ExtraClick"); }
};

// An embedded frame class with its own file.
class TTestFrame : public TTestControl {
    QEL_CLASS(TTestFrame, TTestControl)
    using TTestControl::TTestControl;
    void AfterConstruction() override;
    TComponent* GetChildOwner() override { return this; }
    void GetChildren(const TGetChildProc& proc, TComponent* root) override;
};

} // namespace qeltest
