#pragma once
// The control hierarchy: TControl (bounds, alignment, anchors, constraints, visibility, parent font,
// colour and hint, mouse events, message dispatch), TWinControl (child lists, alignment of children,
// tab order and focus, window handles), TGraphicControl and TCustomControl (painting through a canvas).
//
// Declaring a control:
//   class TMyControl : public TCustomControl {
//       QEL_CLASS(TMyControl, TCustomControl)
//       explicit TMyControl(TComponent* owner) : TCustomControl(owner) { SetBounds(0, 0, 100, 40); }
//   protected:
//       void Paint() override { Canvas()->FillRect(ClientRect()); }
//       void Dispatch(TMessage& m) override {
//           if (m.Msg == CM_MOUSEENTER) { ...; return; }
//           inherited::Dispatch(m);
//       }
//   };
//   QEL_IMPLEMENT_CLASS(TMyControl, [](auto& c) { c.Property("Color", ...); })
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/controls/messages.h"
#include "platform/core/component.h"
#include "platform/graphics/graphics.h"
#include "platform/graphics/types.h"
#include "platform/windows/thread.h"
#include "platform/windows/winuser.h"

namespace qel {

class TWinControl;
class TCustomForm;

// Pop-up menus live in menus.h; controls hold one in their PopupMenu slot.
class TPopupMenu;

QEL_ENUM(TAlign, alNone, alTop, alBottom, alLeft, alRight, alClient, alCustom)
QEL_ENUM(TAnchorKind, akLeft, akTop, akRight, akBottom)
using TAnchors = Set<TAnchorKind>;
QEL_ENUM(TControlStyleItem, csAcceptsControls, csCaptureMouse, csDesignInteractive, csClickEvents, csFramed,
         csSetCaption, csOpaque, csDoubleClicks, csFixedWidth, csFixedHeight, csNoDesignVisible,
         csReplicatable, csNoStdEvents, csDisplayDragImage, csReflector, csActionClient, csMenuEvents,
         csNeedsBorderPaint, csParentBackground)
using TControlStyle = Set<TControlStyleItem>;
QEL_ENUM(TControlStateItem, csLButtonDown, csClicked, csPalette, csReadingState, csAlignmentNeeded,
         csFocusing, csCreating, csPaintCopy, csCustomPaint, csDestroyingHandle, csDocking)
using TControlState = Set<TControlStateItem>;
QEL_ENUM(TDragMode, dmManual, dmAutomatic)
QEL_ENUM(TDragKind, dkDrag, dkDock)
QEL_ENUM(TDragState, dsDragEnter, dsDragLeave, dsDragMove)
QEL_ENUM(THelpType, htKeyword, htContext)
QEL_ENUM(TBiDiMode, bdLeftToRight, bdRightToLeft, bdRightToLeftNoAlign, bdRightToLeftReadingOnly)

using TMouseEvent = TEvent<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = TEvent<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TKeyEvent = TEvent<void(TObject* Sender, uint16_t& Key, TShiftState Shift)>;
using TKeyPressEvent = TEvent<void(TObject* Sender, char& Key)>;
using TContextPopupEvent = TEvent<void(TObject* Sender, TPoint MousePos, bool& Handled)>;
using TDragOverEvent =
    TEvent<void(TObject* Sender, TObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDragDropEvent = TEvent<void(TObject* Sender, TObject* Source, int X, int Y)>;
using TEndDragEvent = TEvent<void(TObject* Sender, TObject* Target, int X, int Y)>;
using TStartDragEvent = TEvent<void(TObject* Sender, TObject*& DragObject)>;
class TDragDockObject;
using TDockOverEvent =
    TEvent<void(TObject* Sender, TDragDockObject* Source, int X, int Y, TDragState State, bool& Accept)>;
using TDockDropEvent = TEvent<void(TObject* Sender, TDragDockObject* Source, int X, int Y)>;
using TUnDockEvent = TEvent<void(TObject* Sender, TControl* Client, TWinControl* NewTarget, bool& Allow)>;
using TCanResizeEvent = TEvent<void(TObject* Sender, int& NewWidth, int& NewHeight, bool& Resize)>;
using TWindowProc = TEvent<void(TMessage& Message)>;

// Declares an event property: the field F<Name> and GetOn.../SetOn... accessors for the property table.
#define QEL_EVENT(Type, Name)                                                                                \
public:                                                                                                      \
    Type Get##Name() const {                                                                                 \
        return F##Name;                                                                                      \
    }                                                                                                        \
    void Set##Name(Type value) {                                                                             \
        F##Name = value;                                                                                     \
    }                                                                                                        \
                                                                                                             \
protected:                                                                                                   \
    Type F##Name;                                                                                            \
                                                                                                             \
public:

// Minimum and maximum sizes of a control; 0 means no limit.
class TSizeConstraints : public TPersistent {
    QEL_CLASS(TSizeConstraints, TPersistent)
    explicit TSizeConstraints(TControl* control = nullptr) : FControl(control) {}
    int GetMaxHeight() const { return FMaxHeight; }
    int GetMaxWidth() const { return FMaxWidth; }
    int GetMinHeight() const { return FMinHeight; }
    int GetMinWidth() const { return FMinWidth; }
    void SetMaxHeight(int v);
    void SetMaxWidth(int v);
    void SetMinHeight(int v);
    void SetMinWidth(int v);
    void Assign(TPersistent* source) override;
    TPersistent* GetOwner() const override;
    // Applies the limits to a proposed size.
    void Constrain(int& width, int& height) const;
    TNotifyEvent OnChange;

private:
    void Change();
    TControl* FControl;
    int FMaxHeight = 0, FMaxWidth = 0, FMinHeight = 0, FMinWidth = 0;
};

class TControl : public TComponent {
    QEL_CLASS(TControl, TComponent)
    explicit TControl(TComponent* owner);
    ~TControl() override;

    // ---- messages ----
    // Sends a message straight to the control's WindowProc.
    intptr_t Perform(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);
    // The message entry point; replaceable (sub-classing). Defaults to WndProc.
    TWindowProc GetWindowProc() const { return FWindowProc; }
    void SetWindowProc(TWindowProc proc);
    virtual void WndProc(TMessage& message);
    // Message handlers by number. Overrides handle their messages and call inherited::Dispatch for the
    // rest; unknown messages end in DefaultHandler.
    virtual void Dispatch(TMessage& message);
    virtual void DefaultHandler(TMessage& message);

    // ---- parent and geometry ----
    TWinControl* GetParent() const { return FParent; }
    virtual void SetParent(TWinControl* parent);
    bool HasParent() const override { return true; }
    TComponent* GetParentComponent() const override;
    void SetParentComponent(TComponent* value) override;
    void ReadState(TReader* reader) override;

    int GetLeft() const { return FLeft; }
    int GetTop() const { return FTop; }
    int GetWidth() const { return FWidth; }
    int GetHeight() const { return FHeight; }
    void SetLeft(int v) { SetBounds(v, FTop, FWidth, FHeight); }
    void SetTop(int v) { SetBounds(FLeft, v, FWidth, FHeight); }
    void SetWidth(int v) { SetBounds(FLeft, FTop, v, FHeight); }
    void SetHeight(int v) { SetBounds(FLeft, FTop, FWidth, v); }
    // Moves and sizes the control (constraints applied); the parent realigns when needed.
    virtual void SetBounds(int left, int top, int width, int height);
    TRect BoundsRect() const { return {FLeft, FTop, FLeft + FWidth, FTop + FHeight}; }
    void SetBoundsRect(const TRect& r) { SetBounds(r.Left, r.Top, r.Width(), r.Height()); }
    // Moves the control as its parent's layout does: the anchor distances are kept.
    void SetBoundsKeepAnchors(int left, int top, int width, int height);
    virtual TRect GetClientRect() const { return {0, 0, FWidth, FHeight}; }
    TRect ClientRect() const { return GetClientRect(); }
    int GetClientWidth() const { return GetClientRect().Width(); }
    int GetClientHeight() const { return GetClientRect().Height(); }
    void SetClientWidth(int v);
    void SetClientHeight(int v);
    virtual void SetClientSize(int width, int height);
    // Screen position of the client origin.
    virtual TPoint ClientOrigin() const;
    TPoint ClientToScreen(TPoint p) const;
    TPoint ScreenToClient(TPoint p) const;
    // Client point of this control to the parent's client coordinates.
    TPoint ClientToParent(TPoint p, TWinControl* parent = nullptr) const;

    TAlign GetAlign() const { return FAlign; }
    void SetAlign(TAlign v);
    TAnchors GetAnchors() const { return FAnchors; }
    void SetAnchors(TAnchors v);
    TSizeConstraints* GetConstraints() const { return FConstraints.get(); }
    void SetConstraints(TSizeConstraints* v) { FConstraints->Assign(v); }
    bool GetAutoSize() const { return FAutoSize; }
    virtual void SetAutoSize(bool v);
    // Recomputes the remembered distances to the parent's edges (after a move by code or the user).
    void UpdateAnchorRules();
    // Sizes the control to its content when AutoSize is on (labels: the caption; panels: the children).
    virtual void AdjustSize();
    // A proposed new size for AutoSize; false keeps the current size.
    virtual bool CanAutoSize(int& newWidth, int& newHeight) { return false; }
    virtual bool CanResize(int& newWidth, int& newHeight);

    // ---- state ----
    bool GetVisible() const { return FVisible; }
    void SetVisible(bool v);
    void Show();
    void Hide();
    // Visible and every parent showing (for graphic controls: the parent's Showing).
    virtual bool Showing() const;
    bool GetEnabled() const { return FEnabled; }
    virtual void SetEnabled(bool v);
    // Enabled and every parent enabled.
    bool IsEnabledChain() const;

    TControlStyle GetControlStyle() const { return FControlStyle; }
    void SetControlStyle(TControlStyle v) { FControlStyle = v; }
    TControlState GetControlState() const { return FControlState; }
    void SetControlState(TControlState v) { FControlState = v; }

    // Caption and Text are the same string (the window text).
    std::string GetText() const { return GetTextValue(); }
    void SetText(const std::string& v);
    std::string GetCaption() const { return GetTextValue(); }
    void SetCaption(const std::string& v) { SetText(v); }
    void SetName(const std::string& name) override;

    TColor GetColor() const { return FColor; }
    void SetColor(TColor v);
    bool GetParentColor() const { return FParentColor; }
    void SetParentColor(bool v);
    TFont* GetFont() const { return FFont.get(); }
    void SetFont(TFont* v);
    bool GetParentFont() const { return FParentFont; }
    void SetParentFont(bool v);
    const std::string& GetHint() const { return FHint; }
    void SetHint(const std::string& v) { FHint = v; }
    bool GetShowHint() const { return FShowHint; }
    void SetShowHint(bool v);
    bool GetParentShowHint() const { return FParentShowHint; }
    void SetParentShowHint(bool v);
    TCursor GetCursor() const { return FCursor; }
    void SetCursor(TCursor v);
    TPopupMenu* GetPopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(TPopupMenu* v);
    int GetHelpContext() const { return FHelpContext; }
    void SetHelpContext(int v) { FHelpContext = v; }
    const std::string& GetHelpKeyword() const { return FHelpKeyword; }
    void SetHelpKeyword(const std::string& v) { FHelpKeyword = v; }
    THelpType GetHelpType() const { return FHelpType; }
    void SetHelpType(THelpType v) { FHelpType = v; }
    TBiDiMode GetBiDiMode() const { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode v) { FBiDiMode = v; }
    bool GetParentBiDiMode() const { return FParentBiDiMode; }
    void SetParentBiDiMode(bool v) { FParentBiDiMode = v; }
    bool UseRightToLeftAlignment() const { return false; }
    bool UseRightToLeftReading() const { return false; }
    // Extra DrawText flags for the control's reading order (none for left-to-right text).
    unsigned DrawTextBiDiModeFlags(unsigned flags) const { return flags; }

    // ---- drag and dock (stored properties and the basic drag protocol) ----
    TDragMode GetDragMode() const { return FDragMode; }
    virtual void SetDragMode(TDragMode v) { FDragMode = v; }
    TDragKind GetDragKind() const { return FDragKind; }
    void SetDragKind(TDragKind v) { FDragKind = v; }
    TCursor GetDragCursor() const { return FDragCursor; }
    void SetDragCursor(TCursor v) { FDragCursor = v; }
    // Starts dragging (DragKind dkDrag) or docking (dkDock) this control: immediately, or once the
    // mouse moved `threshold` pixels (-1: the platform's drag threshold) with the left button down. The
    // mouse is captured until the button is released (drop) or Esc is pressed (cancel).
    void BeginDrag(bool immediate, int threshold = -1);
    // Ends the drag; `drop` delivers it to the target under the cursor.
    void EndDrag(bool drop);
    bool Dragging() const;
    virtual void DragOver(TObject* source, int x, int y, TDragState state, bool& accept);
    virtual void DragDrop(TObject* source, int x, int y);
    TWinControl* GetHostDockSite() const { return FHostDockSite; }
    int GetUndockWidth() const { return FUndockWidth ? FUndockWidth : FWidth; }
    int GetUndockHeight() const { return FUndockHeight ? FUndockHeight : FHeight; }
    void SetUndockWidth(int v) { FUndockWidth = v; }
    void SetUndockHeight(int v) { FUndockHeight = v; }
    // Docks the control into a dock site (the old site may refuse in OnUnDock); false when refused.
    bool ManualDock(TWinControl* newDockSite, TControl* dropControl = nullptr, TAlign controlSide = alNone);
    // Undocks the control into a floating host form at `screenRect`; false when the old site refused.
    bool ManualFloat(const TRect& screenRect);
    // Docked into the floating host form that ManualFloat made.
    bool Floating() const;
    // The drag manager's calls at the end of a drag or dock (handler exceptions go to the application).
    void EndDragNotify(TObject* target, int x, int y);
    void EndDockNotify(TObject* target, int x, int y);
    void SetHostDockSiteValue(TWinControl* site);

    // ---- painting ----
    virtual void Invalidate();
    // Paints pending invalid areas now.
    virtual void Update();
    // Invalidates and updates.
    virtual void Repaint();
    void Refresh() { Repaint(); }
    virtual void BringToFront();
    virtual void SendToBack();
    // Re-orders the control among its parent's controls.
    void SetZOrder(bool topMost);

    // ---- mouse ----
    bool GetMouseCapture() const;
    void SetMouseCapture(bool v);
    virtual void Click();
    virtual void DblClick();
    // The client-coordinate mouse position while a message is dispatched.
    TPoint MousePos() const { return FMousePos; }

    // ---- streaming helpers ----
    void Loaded() override;
    // Scales bounds and font from one pixel density to another.
    virtual void ChangeScale(int m, int d);

    QEL_EVENT(TNotifyEvent, OnClick)
    QEL_EVENT(TNotifyEvent, OnDblClick)
    QEL_EVENT(TMouseEvent, OnMouseDown)
    QEL_EVENT(TMouseEvent, OnMouseUp)
    QEL_EVENT(TMouseMoveEvent, OnMouseMove)
    QEL_EVENT(TNotifyEvent, OnMouseEnter)
    QEL_EVENT(TNotifyEvent, OnMouseLeave)
    QEL_EVENT(TNotifyEvent, OnResize)
    QEL_EVENT(TContextPopupEvent, OnContextPopup)
    QEL_EVENT(TDragOverEvent, OnDragOver)
    QEL_EVENT(TDragDropEvent, OnDragDrop)
    QEL_EVENT(TEndDragEvent, OnEndDrag)
    QEL_EVENT(TEndDragEvent, OnEndDock)
    QEL_EVENT(TStartDragEvent, OnStartDrag)
    QEL_EVENT(TStartDragEvent, OnStartDock)
    QEL_EVENT(TCanResizeEvent, OnCanResize)
    QEL_EVENT(TNotifyEvent, OnConstrainedResize)

    // Stored-predicates of the published properties.
    bool IsColorStored() const { return !FParentColor; }
    bool IsFontStored() const { return !FParentFont; }
    bool IsShowHintStored() const { return !FParentShowHint; }
    bool IsCaptionStored() const { return true; }

protected:
    virtual std::string GetTextValue() const { return FText; }
    virtual void SetTextValue(const std::string& v);
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void DoMouseEnter();
    virtual void DoMouseLeave();
    virtual void Resize();
    virtual void DoContextPopup(TPoint mousePos, bool& handled);
    virtual void DoEndDrag(TObject* target, int x, int y);
    virtual void DoStartDrag(TObject*& dragObject);
    virtual void DoEndDock(TObject* target, int x, int y);
    virtual void DoStartDock(TObject*& dragObject);
    virtual void ConstrainedResize(int& minWidth, int& minHeight, int& maxWidth, int& maxHeight) {}
    virtual void VisibleChanging() {}
    // Called when a parent's font, colour or hint setting changes and this control follows it.
    virtual void FontChanged(TObject* sender);
    // Tells the parent that this control changed in a way that needs a realign.
    void RequestAlign();
    // The parent's DC-independent invalidation of this control's rectangle.
    void InvalidateControl(bool isVisible, bool isOpaque);
    virtual void SetParentInternal(TWinControl* parent);
    // True while the control is placed by its parent's alignment (no anchor update).
    bool AnchorMoving() const { return FAnchorMove; }
    // Bounds fields set without any side effect (used by window-position feedback).
    void UpdateBoundsRect(const TRect& r);
    void DoSetBounds(int left, int top, int width, int height);
    TRect FAnchorRules;         // left/top/right/bottom distances (or centre positions without anchors)
    TPoint FOriginalParentSize; // parent's client size when the anchor rules were taken

    int FLeft = 0, FTop = 0, FWidth = 0, FHeight = 0;
    TWinControl* FParent = nullptr;
    TAlign FAlign = alNone;
    TAnchors FAnchors{akLeft, akTop};
    std::unique_ptr<TSizeConstraints> FConstraints;
    bool FAutoSize = false;
    bool FVisible = true;
    bool FEnabled = true;
    TControlStyle FControlStyle;
    TControlState FControlState;
    std::string FText;
    TColor FColor = clWindow;
    bool FParentColor = true;
    std::unique_ptr<TFont> FFont;
    bool FParentFont = true;
    std::string FHint;
    bool FShowHint = false;
    bool FParentShowHint = true;
    TCursor FCursor = crDefault;
    TPopupMenu* FPopupMenu = nullptr;
    int FHelpContext = 0;
    std::string FHelpKeyword;
    THelpType FHelpType = htContext;
    TBiDiMode FBiDiMode = bdLeftToRight;
    bool FParentBiDiMode = true;
    TDragMode FDragMode = dmManual;
    TDragKind FDragKind = dkDrag;
    TCursor FDragCursor = crDrag;
    TWinControl* FHostDockSite = nullptr;
    int FUndockWidth = 0, FUndockHeight = 0;
    TPoint FMousePos;
    bool FAnchorMove = false;
    bool FMouseInControl = false;
    bool FFontChanging = false;

    void Notification(TComponent* component, TOperation operation) override;
    // Bounds fields changed: windowed controls move their window.
    virtual void BoundsChanged(bool sized) {}
    // The parent changed (after the fact).
    virtual void ParentChanged() {}
    // About to leave `parent` (handles are destroyed here).
    virtual void BeforeParentRemoval(TWinControl* parent) {}
    virtual void ValidateContainer(TComponent* container) {}
    void ScaleFont(int m, int d);
    static bool IsMouseMessage(uint32_t msg);

private:
    friend class TWinControl;
    friend class TApplication;
    friend void ControlFontCreate(TControl* c);
    void HandleMouseMessage(TMessage& m);
    void OnFontChange(TObject* sender);
    void OnConstraintsChange(TObject* sender);
    TWindowProc FWindowProc;
};

// The nesting of control message handlers running now (window procedures and Perform calls); 0 outside
// any handler. Deferred work (form releases) waits until the handler that asked for it has returned.
int MessageHandlerDepth();
class TMessageHandlerScope {
public:
    TMessageHandlerScope();
    ~TMessageHandlerScope();
    TMessageHandlerScope(const TMessageHandlerScope&) = delete;
    TMessageHandlerScope& operator=(const TMessageHandlerScope&) = delete;
};

// What a dock operation carries: the control, the rectangle it would take, the drop site and point.
class TDragDockObject : public TObject {
    QEL_CLASS(TDragDockObject, TObject)
    explicit TDragDockObject(TControl* control = nullptr) : Control(control) {}
    TControl* Control = nullptr;
    TRect DockRect;                    // screen rectangle the control would take
    TWinControl* DragTarget = nullptr; // the dock site under the cursor that accepts, or nullptr
    TPoint DragPos;                    // screen position of the cursor
    TAlign DropAlign = alNone;
    TControl* DropOnControl = nullptr;
};

// CM_DRAG carries a drag notification to the control under the cursor: WParam is the TDragMessage,
// LParam a TDragRec*; for dmDragEnter, dmDragMove and dmDragLeave the Result is non-zero when the
// control accepts. Controls may intercept it in Dispatch; the default calls DragOver / DragDrop (or
// DockOver for a dock site while docking).
enum TDragMessage : uintptr_t {
    dmDragEnter,
    dmDragLeave,
    dmDragMove,
    dmDragDrop,
    dmDragCancel,
    dmFindTarget
};
struct TDragRec {
    TPoint Pos;                // screen position of the cursor
    TObject* Source = nullptr; // the control, the OnStartDrag object, or the TDragDockObject
    TControl* Target = nullptr;
    bool Docking = false;
};
// The default handling of CM_DRAG (TControl::Dispatch).
void ControlDragMessage(TControl* control, TMessage& message);

// ---- drag manager: the control being dragged, the target under the cursor, the drag cursor ----
TControl* DragControl();
// The control under the cursor during a drag, and whether it accepts the dragged object.
TControl* DragTarget();
bool DragAccepted();
// Whether the drag passed its threshold (false while it is pending).
bool DragActive();
// The cursor the drag shows now (the source's DragCursor over an accepting target, else crNoDrop).
TCursor CurrentDragCursor();
// Ends the drag in progress without a drop.
void CancelDrag();
// The distance the mouse must move before a pending drag starts.
int DragThreshold();
// The control holding the mouse capture (graphic controls capture through their parent's window).
TControl* GetCaptureControl();
void SetCaptureControl(TControl* control);
// The screen position of the mouse.
TPoint CursorPosition();
// Shift state from the keyboard and from a key message's key data.
TShiftState KeyboardStateToShiftState();
TShiftState KeyDataToShiftState(intptr_t keyData);
void ControlFontCreate(TControl* c);
void ControlDetachGlobal(TControl* c);
void ControlDefaultHandler(TControl* c, TMessage& m);
// Shows a control's popup menu at a screen point (the menus module installs the implementation).
void PopupMenuAt(TPopupMenu* menu, TControl* control, TPoint screenPos);
using TPopupMenuHandler = void (*)(TPopupMenu* menu, TControl* control, TPoint screenPos);
void SetPopupMenuHandler(TPopupMenuHandler handler);

// The state of a scroll bar drawn in a control's non-client area.
struct TScrollBarInfo {
    bool Visible = false;
    int Max = 0;  // range 0..Max
    int Page = 0; // visible part
    int Pos = 0;
};
enum : int { SB_HORZ = 0, SB_VERT = 1 };

// What CreateParams fills in for the window a control creates.
struct TCreateParams {
    std::string Caption;
    DWORD Style = 0;
    DWORD ExStyle = 0;
    int X = 0, Y = 0, Width = 0, Height = 0;
    HWND WndParent = nullptr;
    UINT WindowClassStyle = 0;
    std::string WinClassName;
};

class TWinControl : public TControl {
    QEL_CLASS(TWinControl, TControl)
    explicit TWinControl(TComponent* owner);
    ~TWinControl() override;

    // ---- children ----
    int ControlCount() const { return static_cast<int>(FControls.size()); }
    // Re-orders a child (windowed children always above graphic ones).
    void MoveControlZ(TControl* control, bool topMost);
    // Realigns the children after `control` changed (nullptr: all).
    void AlignControl(TControl* control);
    // All child controls in z-order (graphic and windowed), bottom first.
    TControl* Controls(int index) const;
    int IndexOfControl(const TControl* c) const;
    void InsertControl(TControl* control);
    void RemoveControl(TControl* control);
    bool ContainsControl(const TControl* control) const;
    // The visible, enabled child whose bounds hold `pos` (client coordinates), topmost first.
    TControl* ControlAtPos(TPoint pos, bool allowDisabled, bool allowWinControls = false) const;
    // Sends a message to every child.
    void Broadcast(TMessage& message);
    void NotifyControls(uint32_t msg);
    void GetChildren(const TGetChildProc& proc, TComponent* root) override;

    // ---- alignment ----
    void DisableAlign();
    void EnableAlign();
    bool AlignDisabled() const { return FAlignLevel > 0; }
    void Realign();
    // Positions the aligned and anchored children inside `rect` (normally the adjusted client rect).
    virtual void AlignControls(TControl* control, TRect& rect);
    // Shrinks the client rectangle by borders drawn inside it (panels' bevels, BorderWidth).
    virtual void AdjustClientRect(TRect& rect);
    virtual void ShowControl(TControl* control) {}
    int GetBorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int v);
    bool CanAutoSize(int& newWidth, int& newHeight) override;
    void SetBounds(int left, int top, int width, int height) override;

    // ---- tab order and focus ----
    int GetTabOrder() const;
    void SetTabOrder(int v);
    bool GetTabStop() const { return FTabStop; }
    void SetTabStop(bool v);
    // The windowed children in tab order, depth-first through the whole tree.
    void GetTabOrderList(std::vector<TWinControl*>& list) const;
    const std::vector<TWinControl*>& TabList() const { return FTabList; }
    // The next (or previous) control after `current` among this control's descendants.
    TWinControl* FindNextControl(TWinControl* current, bool goForward, bool checkTabStop,
                                 bool checkParent) const;
    void SelectFirst();
    void SelectNext(TWinControl* current, bool goForward, bool checkTabStop);
    virtual bool CanFocus() const;
    virtual bool Focused() const;
    virtual void SetFocus();
    bool Showing() const override;

    // ---- appearance ----
    bool GetCtl3D() const { return FCtl3D; }
    void SetCtl3D(bool v);
    bool GetParentCtl3D() const { return FParentCtl3D; }
    void SetParentCtl3D(bool v);
    bool GetDoubleBuffered() const { return FDoubleBuffered; }
    void SetDoubleBuffered(bool v) { FDoubleBuffered = v; }
    bool GetDockSite() const { return FDockSite; }
    void SetDockSite(bool v) { FDockSite = v; }
    bool GetUseDockManager() const { return FUseDockManager; }
    void SetUseDockManager(bool v) { FUseDockManager = v; }
    int DockClientCount() const { return static_cast<int>(FDockClients.size()); }
    TControl* DockClients(int i) const { return FDockClients.at(static_cast<size_t>(i)); }
    // A control asks to dock here: OnDockOver decides (accepted by default when DockSite is on).
    virtual void DockOver(TDragDockObject* source, int x, int y, TDragState state, bool& accept);
    // The control was docked here (it is already a child and a dock client).
    virtual void DockDrop(TDragDockObject* source, int x, int y);
    // A docked control leaves for `newTarget` (nullptr: floating); false refuses.
    virtual bool DoUnDock(TWinControl* newTarget, TControl* client);
    // Drops a dock client that goes away without asking anyone.
    void ForgetDockClient(TControl* client);
    QEL_EVENT(TDockOverEvent, OnDockOver)
    QEL_EVENT(TDockDropEvent, OnDockDrop)
    QEL_EVENT(TUnDockEvent, OnUnDock)

    QEL_EVENT(TNotifyEvent, OnExit)
    QEL_EVENT(TKeyEvent, OnKeyDown)
    QEL_EVENT(TKeyEvent, OnKeyUp)
    QEL_EVENT(TKeyPressEvent, OnKeyPress)

    bool IsCtl3DStored() const { return !FParentCtl3D; }
    void Dispatch(TMessage& message) override;
    void DefaultHandler(TMessage& message) override;

    // ---- window handle (created on first use) ----
    HWND GetHandle();
    HWND Handle() { return GetHandle(); }
    bool HandleAllocated() const { return FHandle != nullptr; }
    void HandleNeeded();
    // Destroys and re-creates the window (and those of the children) keeping the control's state.
    void RecreateWnd();
    // The window that hosts a parentless control (a form embedded into a foreign window).
    HWND GetParentWindow() const { return FParentWindow; }
    void SetParentWindow(HWND v);
    // Paints the control and its children into `dc` with the client origin at (x, y).
    void PaintTo(HDC dc, int x, int y);
    void Invalidate() override;
    void Update() override;
    void Repaint() override;
    TPoint ClientOrigin() const override;
    TRect GetClientRect() const override;
    // Non-client scroll bars (SB_HORZ, SB_VERT): shown while Visible; WM_HSCROLL/WM_VSCROLL report clicks.
    void SetScrollBarInfo(int bar, const TScrollBarInfo& info);
    const TScrollBarInfo& GetScrollBarInfo(int bar) const { return bar == SB_HORZ ? FScrollH : FScrollV; }
    // The control that owns a window, or nullptr.
    static TWinControl* FindControl(HWND wnd);
    // The control under a screen point (graphic controls included).
    static TControl* FindDragTarget(TPoint screenPos, bool allowDisabled);

    QEL_EVENT(TNotifyEvent, OnEnter)

protected:
    virtual void DoEnter();
    virtual void DoExit();
    virtual void KeyDown(uint16_t& key, TShiftState shift);
    virtual void KeyUp(uint16_t& key, TShiftState shift);
    virtual void KeyPress(char& key);
    void SetParentInternal(TWinControl* parent) override;
    void Loaded() override;
    // Applies the tab orders read from a form file.
    void FixupTabList();
    void DestroyHandleTree();

    // ---- window creation ----
    virtual void CreateParams(TCreateParams& params);
    virtual void CreateWindowHandle(const TCreateParams& params);
    virtual void CreateWnd();
    virtual void CreateHandle();
    virtual void DestroyWnd();
    virtual void DestroyWindowHandle();
    virtual void DestroyHandle();
    // Shows or hides the window to follow Visible and the parent's showing state.
    void UpdateShowing();
    void UpdateControlState();
    void BoundsChanged(bool sized) override;
    void BeforeParentRemoval(TWinControl* parent) override;
    virtual void UpdateWindowZOrder(bool topMost);
    // Painting: the window's own content, then the graphic children.
    virtual void PaintWindow(HDC dc);
    void PaintControls(HDC dc, TControl* first);
    void PaintHandler(TMessage& message);
    // Non-client insets of the window the control would create (border, caption, scroll bars).
    virtual TRect NonClientInsets() const;
    // Extra non-client height above the client area that the style alone does not give (a menu bar).
    virtual int NonClientExtraTop() const { return 0; }
    // Records the frame the window manager gave this window's style.
    void LearnInsets();
    bool IsControlMouseMsg(TMessage& message);
    // Whether a parentless control counts as showing (forms: when visible).
    virtual bool TopLevelShowing() const { return false; }
    void ParentChanged() override;
    void UpdateBoundsFromWindow();
    bool DoKeyDown(TMessage& message);
    bool DoKeyPress(TMessage& message);
    bool FSettingBounds = false;
    TScrollBarInfo FScrollH, FScrollV;
    TRect ScrollBarRect(int bar) const; // window coordinates
    void PaintScrollBars();
    bool HandleScrollBarMessage(TMessage& message);
    HWND FHandle = nullptr;
    HWND FParentWindow = nullptr;
    WNDPROC FDefWndProc = nullptr;
    bool FShowing = false;
    std::string FSavedText;
    int FStoredTabOrder = -1;
    bool FAligning = false;
    // Children with this control as their tab parent.
    std::vector<TControl*> FControls;   // z-order, bottom first
    std::vector<TWinControl*> FTabList; // tab order
    std::vector<TControl*> FDockClients;
    int FAlignLevel = 0;
    int FBorderWidth = 0;
    bool FTabStop = false;
    bool FCtl3D = true;
    bool FParentCtl3D = true;
    bool FDoubleBuffered = false;
    bool FDockSite = false;
    bool FUseDockManager = false;
    bool FRealignPending = false;

public:
    // Binds the window being created to this control (called by the window procedure).
    void AttachCreatingHandle(HWND wnd);

private:
    void DoAlign(TAlign align, TControl* control, TRect& rect);
    void AnchorControl(TControl* c, const TRect& clientRect);
};

// A canvas bound to a control: the window's DC for windowed controls; for graphic controls the
// parent's DC with the origin at the control's top-left corner and the clip set to its bounds.
class TControlCanvas : public TCanvas {
    QEL_CLASS(TControlCanvas, TCanvas)
    TControlCanvas() = default;
    ~TControlCanvas() override;
    TControl* GetControl() const { return FControl; }
    void SetControl(TControl* control);
    // Releases the DC taken outside painting.
    void FreeHandle();

protected:
    void CreateHandle() override;

private:
    TControl* FControl = nullptr;
    HWND FWindow = nullptr;
    HDC FDC = nullptr;
};

// A control without a window, painted by its parent onto the parent's surface.
class TGraphicControl : public TControl {
    QEL_CLASS(TGraphicControl, TControl)
    explicit TGraphicControl(TComponent* owner);
    ~TGraphicControl() override;
    TCanvas* Canvas() const { return FCanvas.get(); }
    void Dispatch(TMessage& message) override;

protected:
    virtual void Paint() {}
    std::unique_ptr<TControlCanvas> FCanvas;
};

// A windowed control that paints itself through Paint; the canvas is locked for the whole of Paint.
class TCustomControl : public TWinControl {
    QEL_CLASS(TCustomControl, TWinControl)
    explicit TCustomControl(TComponent* owner);
    ~TCustomControl() override;
    TCanvas* Canvas() const { return FCanvas.get(); }

protected:
    virtual void Paint() {}
    void PaintWindow(HDC dc) override;
    void DestroyWnd() override;
    std::unique_ptr<TControlCanvas> FCanvas;
};

} // namespace qel
