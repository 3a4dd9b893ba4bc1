#pragma once
// Declares the published properties that many control classes share, by name, so each class's table
// lists them in the platform's order with the class's own properties in between:
//   QEL_IMPLEMENT_CLASS(TButton, [](auto& c) {
//       Publish(c, {"Action", "Anchors", "BiDiMode"});
//       c.Property("Cancel", &TButton::GetCancel, &TButton::SetCancel).Default(false);
//       Publish(c, {"Caption", ...});
//   })
#include <initializer_list>
#include <string_view>

#include "platform/controls/menus.h"

namespace qel {

template <typename C>
bool PublishWinOne(TClassBuilder<C>& c, std::string_view n) {
    if (n == "BorderWidth") {
        c.Property("BorderWidth", &TWinControl::GetBorderWidth, &TWinControl::SetBorderWidth).Default(0);
        return true;
    }
    if (n == "Ctl3D") {
        c.Property("Ctl3D", &TWinControl::GetCtl3D, &TWinControl::SetCtl3D)
            .Stored(&TWinControl::IsCtl3DStored);
        return true;
    }
    if (n == "DockSite") {
        c.Property("DockSite", &TWinControl::GetDockSite, &TWinControl::SetDockSite).Default(false);
        return true;
    }
    if (n == "ParentCtl3D") {
        c.Property("ParentCtl3D", &TWinControl::GetParentCtl3D, &TWinControl::SetParentCtl3D).Default(true);
        return true;
    }
    if (n == "TabOrder") {
        c.Property("TabOrder", &TWinControl::GetTabOrder, &TWinControl::SetTabOrder).Default(-1);
        return true;
    }
    if (n == "TabStop") {
        c.Property("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(false);
        return true;
    }
    if (n == "UseDockManager") {
        c.Property("UseDockManager", &TWinControl::GetUseDockManager, &TWinControl::SetUseDockManager)
            .Default(false);
        return true;
    }
    if (n == "OnDockDrop") {
        c.Event("OnDockDrop", &TWinControl::GetOnDockDrop, &TWinControl::SetOnDockDrop);
        return true;
    }
    if (n == "OnDockOver") {
        c.Event("OnDockOver", &TWinControl::GetOnDockOver, &TWinControl::SetOnDockOver);
        return true;
    }
    if (n == "OnUnDock") {
        c.Event("OnUnDock", &TWinControl::GetOnUnDock, &TWinControl::SetOnUnDock);
        return true;
    }
    if (n == "OnEnter") {
        c.Event("OnEnter", &TWinControl::GetOnEnter, &TWinControl::SetOnEnter);
        return true;
    }
    if (n == "OnExit") {
        c.Event("OnExit", &TWinControl::GetOnExit, &TWinControl::SetOnExit);
        return true;
    }
    if (n == "OnKeyDown") {
        c.Event("OnKeyDown", &TWinControl::GetOnKeyDown, &TWinControl::SetOnKeyDown);
        return true;
    }
    if (n == "OnKeyPress") {
        c.Event("OnKeyPress", &TWinControl::GetOnKeyPress, &TWinControl::SetOnKeyPress);
        return true;
    }
    if (n == "OnKeyUp") {
        c.Event("OnKeyUp", &TWinControl::GetOnKeyUp, &TWinControl::SetOnKeyUp);
        return true;
    }
    return false;
}

template <typename C>
void PublishOne(TClassBuilder<C>& c, std::string_view n) {
    if (n == "Action") return; // actions arrive with the action lists
    if constexpr (std::is_base_of_v<TWinControl, C>) {
        if (PublishWinOne(c, n)) return;
    }
    if (n == "Align")
        c.Property("Align", &TControl::GetAlign, &TControl::SetAlign).Default(alNone);
    else if (n == "Anchors")
        c.Property("Anchors", &TControl::GetAnchors, &TControl::SetAnchors).Default(TAnchors{akLeft, akTop});
    else if (n == "AutoSize")
        c.Property("AutoSize", &TControl::GetAutoSize, &TControl::SetAutoSize).Default(false);
    else if (n == "BiDiMode")
        c.Property("BiDiMode", &TControl::GetBiDiMode, &TControl::SetBiDiMode).Default(bdLeftToRight);
    else if (n == "Caption")
        c.Property("Caption", &TControl::GetCaption, &TControl::SetCaption);
    else if (n == "Color")
        c.Property("Color", &TControl::GetColor, &TControl::SetColor).Stored(&TControl::IsColorStored);
    else if (n == "Constraints")
        c.Object("Constraints", &TControl::GetConstraints, &TControl::SetConstraints);
    else if (n == "DragCursor")
        c.Property("DragCursor", &TControl::GetDragCursor, &TControl::SetDragCursor).Default(-12);
    else if (n == "DragKind")
        c.Property("DragKind", &TControl::GetDragKind, &TControl::SetDragKind).Default(dkDrag);
    else if (n == "DragMode")
        c.Property("DragMode", &TControl::GetDragMode, &TControl::SetDragMode).Default(dmManual);
    else if (n == "Enabled")
        c.Property("Enabled", &TControl::GetEnabled, &TControl::SetEnabled).Default(true);
    else if (n == "Font")
        c.Object("Font", &TControl::GetFont, &TControl::SetFont);
    else if (n == "ParentBiDiMode")
        c.Property("ParentBiDiMode", &TControl::GetParentBiDiMode, &TControl::SetParentBiDiMode)
            .Default(true);
    else if (n == "ParentColor")
        c.Property("ParentColor", &TControl::GetParentColor, &TControl::SetParentColor).Default(true);
    else if (n == "ParentFont")
        c.Property("ParentFont", &TControl::GetParentFont, &TControl::SetParentFont).Default(true);
    else if (n == "ParentShowHint")
        c.Property("ParentShowHint", &TControl::GetParentShowHint, &TControl::SetParentShowHint)
            .Default(true);
    else if (n == "PopupMenu")
        c.Property("PopupMenu", &TControl::GetPopupMenu, &TControl::SetPopupMenu);
    else if (n == "ShowHint")
        c.Property("ShowHint", &TControl::GetShowHint, &TControl::SetShowHint)
            .Stored(&TControl::IsShowHintStored);
    else if (n == "Visible")
        c.Property("Visible", &TControl::GetVisible, &TControl::SetVisible).Default(true);
    else if (n == "OnCanResize")
        c.Event("OnCanResize", &TControl::GetOnCanResize, &TControl::SetOnCanResize);
    else if (n == "OnClick")
        c.Event("OnClick", &TControl::GetOnClick, &TControl::SetOnClick);
    else if (n == "OnConstrainedResize")
        c.Event("OnConstrainedResize", &TControl::GetOnConstrainedResize, &TControl::SetOnConstrainedResize);
    else if (n == "OnContextPopup")
        c.Event("OnContextPopup", &TControl::GetOnContextPopup, &TControl::SetOnContextPopup);
    else if (n == "OnDblClick")
        c.Event("OnDblClick", &TControl::GetOnDblClick, &TControl::SetOnDblClick);
    else if (n == "OnDragDrop")
        c.Event("OnDragDrop", &TControl::GetOnDragDrop, &TControl::SetOnDragDrop);
    else if (n == "OnDragOver")
        c.Event("OnDragOver", &TControl::GetOnDragOver, &TControl::SetOnDragOver);
    else if (n == "OnEndDock")
        c.Event("OnEndDock", &TControl::GetOnEndDock, &TControl::SetOnEndDock);
    else if (n == "OnEndDrag")
        c.Event("OnEndDrag", &TControl::GetOnEndDrag, &TControl::SetOnEndDrag);
    else if (n == "OnMouseDown")
        c.Event("OnMouseDown", &TControl::GetOnMouseDown, &TControl::SetOnMouseDown);
    else if (n == "OnMouseEnter")
        c.Event("OnMouseEnter", &TControl::GetOnMouseEnter, &TControl::SetOnMouseEnter);
    else if (n == "OnMouseLeave")
        c.Event("OnMouseLeave", &TControl::GetOnMouseLeave, &TControl::SetOnMouseLeave);
    else if (n == "OnMouseMove")
        c.Event("OnMouseMove", &TControl::GetOnMouseMove, &TControl::SetOnMouseMove);
    else if (n == "OnMouseUp")
        c.Event("OnMouseUp", &TControl::GetOnMouseUp, &TControl::SetOnMouseUp);
    else if (n == "OnResize")
        c.Event("OnResize", &TControl::GetOnResize, &TControl::SetOnResize);
    else if (n == "OnStartDock")
        c.Event("OnStartDock", &TControl::GetOnStartDock, &TControl::SetOnStartDock);
    else if (n == "OnStartDrag")
        c.Event("OnStartDrag", &TControl::GetOnStartDrag, &TControl::SetOnStartDrag);
}

template <typename B>
void Publish(B& c, std::initializer_list<std::string_view> names) {
    for (std::string_view n : names) PublishOne(c, n);
}

// The drag, drop and dock events most controls publish, in the platform's order, for the common
// mouse-and-key case.
template <typename B>
void PublishWinEvents(B& c) {
    Publish(c, {"OnClick", "OnContextPopup", "OnDblClick", "OnDragDrop", "OnDragOver", "OnEndDock",
                "OnEndDrag", "OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMouseDown",
                "OnMouseMove", "OnMouseUp", "OnStartDock", "OnStartDrag"});
}

} // namespace qel
