#include "form_classes.h"

#include <algorithm>

namespace qeltest {

std::vector<std::string>* GLoadedLog = nullptr;
const TIntegerIdents kCursorIdents{{{"crDefault", 0}, {"crArrow", -2}, {"crHandPoint", -21}}};

QEL_IMPLEMENT_CLASS(TTestFont, [](auto& c) {
    c.Property("Color", &TTestFont::GetColor, &TTestFont::SetColor).Default(clWindowText);
    c.Property("Name", &TTestFont::GetName, &TTestFont::SetName).Default("MS Sans Serif");
    c.Property("Size", &TTestFont::GetSize, &TTestFont::SetSize).Default(8);
    c.Property("Style", &TTestFont::GetStyle, &TTestFont::SetStyle).Default(Set<TTestFontStyle>{});
})

void TTestFont::Assign(TPersistent* source) {
    if (auto* f = dynamic_cast<TTestFont*>(source)) {
        FName = f->FName;
        FSize = f->FSize;
        FColor = f->FColor;
        FStyle = f->FStyle;
        return;
    }
    TPersistent::Assign(source);
}

QEL_IMPLEMENT_CLASS(TTestItem, [](auto& c) {
    c.Property("Caption", &TTestItem::GetCaption, &TTestItem::SetCaption);
    c.Property("Value", &TTestItem::GetValue, &TTestItem::SetValue).Default(0);
    c.Property("Link", &TTestItem::GetLink, &TTestItem::SetLink);
    c.Event("OnClick", &TTestItem::GetOnClick, &TTestItem::SetOnClick);
})

void TTestItem::Assign(TPersistent* source) {
    if (auto* i = dynamic_cast<TTestItem*>(source)) {
        FCaption = i->FCaption;
        FValue = i->FValue;
        FLink = i->FLink;
        FOnClick = i->FOnClick;
        return;
    }
    TCollectionItem::Assign(source);
}

QEL_IMPLEMENT_CLASS(TTestItems)

QEL_IMPLEMENT_CLASS(TTestControl, [](auto& c) {
    c.Property("Left", &TTestControl::GetLeft, &TTestControl::SetLeft);
    c.Property("Top", &TTestControl::GetTop, &TTestControl::SetTop);
    c.Property("Caption", &TTestControl::GetCaption, &TTestControl::SetCaption);
    c.Property("Visible", &TTestControl::GetVisible, &TTestControl::SetVisible).Default(true);
    c.Property("Align", &TTestControl::GetAlign, &TTestControl::SetAlign).Default(taNone);
    c.Property("Anchors", &TTestControl::GetAnchors, &TTestControl::SetAnchors)
        .Default(Set<TTestAnchor>{anLeft, anTop});
    c.Property("Color", &TTestControl::GetColor, &TTestControl::SetColor).Default(clBtnFace);
    c.Property("Ratio", &TTestControl::GetRatio, &TTestControl::SetRatio);
    c.Property("Big", &TTestControl::GetBig, &TTestControl::SetBig).Default(int64_t{0});
    c.Property("Cursor", &TTestControl::GetCursor, &TTestControl::SetCursor)
        .Default(0)
        .Idents(&kCursorIdents);
    c.Property("Limit", &TTestControl::GetLimit, &TTestControl::SetLimit).Default(0);
    c.Object("Font", &TTestControl::GetFont);
    c.Object("Lines", &TTestControl::GetLines);
    c.Object("Items", &TTestControl::GetItems);
    c.Property("Buddy", &TTestControl::GetBuddy, &TTestControl::SetBuddy);
    c.Event("OnClick", &TTestControl::GetOnClick, &TTestControl::SetOnClick);
})

TTestControl::TTestControl(TComponent* owner)
    : TComponent(owner), FFont(new TTestFont), FLines(new TStringList), FItems(new TTestItems(this)) {}

TTestControl::~TTestControl() {
    for (TTestControl* c : FControls) c->FParent = nullptr;
    FControls.clear();
    SetParent(nullptr);
    delete FFont;
    delete FLines;
    delete FItems;
}

void TTestControl::SetBuddy(TComponent* c) {
    if (FBuddy == c) return;
    if (FBuddy) FBuddy->RemoveFreeNotification(this);
    FBuddy = c;
    if (c) c->FreeNotification(this);
}

void TTestControl::SetLimit(int v) {
    if (v < 0) throw EInvalidOperation("Limit must not be negative");
    FLimit = v;
}

void TTestControl::SetParent(TTestControl* p) {
    if (p == FParent) return;
    if (FParent) std::erase(FParent->FControls, this);
    FParent = p;
    if (p) p->FControls.push_back(this);
}

void TTestControl::Notification(TComponent* c, TOperation op) {
    TComponent::Notification(c, op);
    if (op == opRemove) {
        if (c == FBuddy) FBuddy = nullptr;
        if (c == FParent) FParent = nullptr;
    }
}

void TTestControl::ReadState(TReader* reader) {
    if (auto* p = dynamic_cast<TTestControl*>(reader->Parent())) SetParent(p);
    TComponent::ReadState(reader);
}

void TTestControl::GetChildren(const TGetChildProc& proc, TComponent* root) {
    for (TTestControl* c : FControls)
        if (c->Owner() == root) proc(c);
}

void TTestControl::DefineProperties(TFiler* filer) {
    TComponent::DefineProperties(filer);
    auto* anc = dynamic_cast<TTestControl*>(filer->Ancestor());
    filer->DefineProperty(
        "Points",
        [this](TReader* r) {
            Points.clear();
            r->ReadListBegin();
            while (!r->EndOfList()) Points.push_back(r->ReadInteger());
            r->ReadListEnd();
        },
        [this](TWriter* w) {
            w->WriteListBegin();
            for (int p : Points) w->WriteInteger(p);
            w->WriteListEnd();
        },
        anc ? anc->Points != Points : !Points.empty());
    filer->DefineProperty(
        "ProcessMessages", [this](TReader* r) { ProcessMessages = r->ReadBoolean(); }, nullptr, false);
    filer->DefineBinaryProperty(
        "Data", [this](TStream& s) { Data = s.ReadAll(); }, [this](TStream& s) { s.WriteString(Data); },
        anc ? anc->Data != Data : !Data.empty());
}

void TTestControl::Loaded() {
    TComponent::Loaded();
    ++LoadedCalls;
    if (GLoadedLog) GLoadedLog->push_back(GetName() + (FBuddy ? "->" + FBuddy->GetName() : std::string()));
}

QEL_IMPLEMENT_CLASS(TTestTimer, [](auto& c) {
    c.Property("Interval", &TTestTimer::GetInterval, &TTestTimer::SetInterval).Default(1000);
    c.Event("OnTimer", &TTestTimer::GetOnTimer, &TTestTimer::SetOnTimer);
})

QEL_IMPLEMENT_CLASS(TTestForm, [](auto& c) {
    c.Method("Button1Click", &TTestForm::Button1Click);
    c.Method("FormCreate", &TTestForm::FormCreate);
    c.Method("TimerFired", &TTestForm::TimerFired);
    c.Method("WrongSignature", &TTestForm::WrongSignature);
})

void TTestForm::GetChildren(const TGetChildProc& proc, TComponent* root) {
    for (int i = 0; i < ComponentCount(); ++i)
        if (!Components(i)->HasParent() && !dynamic_cast<TTestControl*>(Components(i))) proc(Components(i));
    TTestControl::GetChildren(proc, root);
}

void TTestForm::AfterConstruction() {
    ResourcesFound = InitInheritedComponent(this, TTestControl::StaticClass());
}

QEL_IMPLEMENT_CLASS(TTestForm2, [](auto& c) { c.Method("ExtraClick", &TTestForm2::ExtraClick); })

QEL_IMPLEMENT_CLASS(TTestFrame)

void TTestFrame::AfterConstruction() {
    InitInheritedComponent(this, TTestControl::StaticClass());
}

void TTestFrame::GetChildren(const TGetChildProc& proc, TComponent* root) {
    for (TTestControl* c : Controls())
        if (c->Owner() == this) proc(c);
}

} // namespace qeltest
