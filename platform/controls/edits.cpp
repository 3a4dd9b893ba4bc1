// Single-line edits and memos: text, caret, selection, keyboard and mouse editing, clipboard.
#include <algorithm>

#include "platform/controls/publish.h"
#include "platform/controls/stdctrls.h"
#include "platform/graphics/font.h"

namespace qel {

namespace {
std::u32string ToChars(const std::string& s) {
    return Utf8ToCodePoints(s);
}
std::string ToUtf8(const std::u32string& s) {
    return CodePointsToUtf8(s);
}
bool IsWordChar(char32_t c) {
    return c == U'_' || (c >= U'0' && c <= U'9') || (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z') ||
           c > 127;
}
char32_t ApplyCase(char32_t c, TEditCharCase cc) {
    if (c < 128) {
        if (cc == ecUpperCase && c >= U'a' && c <= U'z') return c - 32;
        if (cc == ecLowerCase && c >= U'A' && c <= U'Z') return c + 32;
    }
    return c;
}
} // namespace

// ---- TCustomEdit
// ---------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TCustomEdit)
QEL_IMPLEMENT_CLASS(TEdit, [](auto& c) {
    Publish(c, {"Anchors"});
    c.Property("AutoSelect", &TCustomEdit::GetAutoSelect, &TCustomEdit::SetAutoSelect).Default(true);
    c.Property("AutoSize", &TControl::GetAutoSize, &TControl::SetAutoSize).Default(true);
    Publish(c, {"BiDiMode"});
    c.Property("BorderStyle", &TCustomEdit::GetBorderStyle, &TCustomEdit::SetBorderStyle).Default(bsSingle);
    c.Property("CharCase", &TCustomEdit::GetCharCase, &TCustomEdit::SetCharCase).Default(ecNormal);
    Publish(c, {"Color", "Constraints", "Ctl3D", "DragCursor", "DragKind", "DragMode", "Enabled", "Font"});
    c.Property("HideSelection", &TCustomEdit::GetHideSelection, &TCustomEdit::SetHideSelection).Default(true);
    c.Property("MaxLength", &TCustomEdit::GetMaxLength, &TCustomEdit::SetMaxLength).Default(0);
    Publish(c, {"ParentBiDiMode", "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint"});
    c.Property("PasswordChar", &TCustomEdit::GetPasswordChar, &TCustomEdit::SetPasswordChar).Default(char(0));
    Publish(c, {"PopupMenu"});
    c.Property("ReadOnly", &TCustomEdit::GetReadOnly, &TCustomEdit::SetReadOnly).Default(false);
    Publish(c, {"ShowHint", "TabOrder"});
    c.Property("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
    c.Property("Text", &TControl::GetText, &TControl::SetText);
    Publish(c, {"Visible"});
    c.Event("OnChange", &TCustomEdit::GetOnChange, &TCustomEdit::SetOnChange);
    Publish(c, {"OnClick", "OnContextPopup", "OnDblClick", "OnDragDrop", "OnDragOver", "OnEndDock",
                "OnEndDrag", "OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMouseDown",
                "OnMouseMove", "OnMouseUp", "OnStartDock", "OnStartDrag"});
})

TCustomEdit::TCustomEdit(TComponent* owner) : TCustomControl(owner) {
    FControlStyle = {csCaptureMouse, csClickEvents, csSetCaption, csDoubleClicks, csFixedHeight, csOpaque};
    DoSetBounds(0, 0, 121, 21);
    FTabStop = true;
    FColor = clWindow;
    FParentColor = false;
    FAutoSize = true;
    FCursor = crIBeam;
}

std::string TCustomEdit::GetTextValue() const {
    return ToUtf8(FChars);
}

void TCustomEdit::SetTextValue(const std::string& v) {
    std::u32string chars = ToChars(v);
    for (char32_t& c : chars) c = ApplyCase(c, FCharCase);
    if (FMaxLength > 0 && static_cast<int>(chars.size()) > FMaxLength && !IsLoading())
        chars.resize(static_cast<size_t>(FMaxLength));
    ChangeText(std::move(chars));
    FAnchor = FCaret = 0;
    FScrollX = 0;
    FUndoValid = false;
}

void TCustomEdit::ChangeText(std::u32string text) {
    if (text == FChars) return;
    FChars = std::move(text);
    FAnchor = std::min(FAnchor, static_cast<int>(FChars.size()));
    FCaret = std::min(FCaret, static_cast<int>(FChars.size()));
    TextChanged();
    Invalidate();
    if (!IsLoading()) Change();
}

void TCustomEdit::Change() {
    FModified = true;
    FOnChange(this);
}

void TCustomEdit::SetMaxLength(int v) {
    FMaxLength = std::max(v, 0);
}

void TCustomEdit::SetReadOnly(bool v) {
    FReadOnly = v;
}

void TCustomEdit::SetPasswordChar(char v) {
    if (v == FPasswordChar) return;
    FPasswordChar = v;
    Invalidate();
}

void TCustomEdit::SetHideSelection(bool v) {
    if (v == FHideSelection) return;
    FHideSelection = v;
    Invalidate();
}

void TCustomEdit::SetCharCase(TEditCharCase v) {
    if (v == FCharCase) return;
    FCharCase = v;
    if (v != ecNormal) {
        std::u32string t = FChars;
        for (char32_t& c : t) c = ApplyCase(c, v);
        ChangeText(t);
    }
}

void TCustomEdit::SetBorderStyle(TBorderStyle v) {
    if (v == FBorderStyle) return;
    FBorderStyle = v;
    AdjustSize();
    Invalidate();
}

int TCustomEdit::GetSelStart() const {
    return std::min(FAnchor, FCaret);
}
int TCustomEdit::GetSelLength() const {
    return std::abs(FCaret - FAnchor);
}

void TCustomEdit::SetSelStart(int v) {
    v = std::clamp(v, 0, static_cast<int>(FChars.size()));
    SetSelection(v, v);
}

void TCustomEdit::SetSelLength(int v) {
    int start = GetSelStart();
    int end = std::clamp(start + std::max(v, 0), 0, static_cast<int>(FChars.size()));
    SetSelection(start, end);
}

std::string TCustomEdit::GetSelText() const {
    return ToUtf8(FChars.substr(static_cast<size_t>(GetSelStart()), static_cast<size_t>(GetSelLength())));
}

void TCustomEdit::SetSelText(const std::string& v) {
    InsertText(ToChars(v));
}

void TCustomEdit::SelectAll() {
    SetSelection(0, static_cast<int>(FChars.size()));
}

void TCustomEdit::ClearSelection() {
    if (GetSelLength() == 0 || FReadOnly) return;
    SaveUndo();
    DeleteRange(GetSelStart(), GetSelStart() + GetSelLength());
}

void TCustomEdit::SetSelection(int anchor, int caret) {
    int n = static_cast<int>(FChars.size());
    anchor = std::clamp(anchor, 0, n);
    caret = std::clamp(caret, 0, n);
    if (anchor == FAnchor && caret == FCaret) return;
    FAnchor = anchor;
    FCaret = caret;
    ScrollCaretIntoView();
    Invalidate();
    UpdateCaret();
}

void TCustomEdit::MoveCaret(int pos, bool extend) {
    SetSelection(extend ? FAnchor : pos, pos);
}

void TCustomEdit::SaveUndo() {
    FUndoChars = FChars;
    FUndoCaret = FCaret;
    FUndoValid = true;
}

void TCustomEdit::Undo() {
    if (!FUndoValid || FReadOnly) return;
    std::u32string cur = FChars;
    int curCaret = FCaret;
    ChangeText(FUndoChars);
    FUndoChars = cur;
    FUndoCaret = curCaret;
    SetSelection(static_cast<int>(FChars.size()), static_cast<int>(FChars.size()));
}

void TCustomEdit::InsertText(std::u32string text) {
    if (FReadOnly) return;
    if (!IsMultiLine()) {
        // A single-line edit keeps the first line only.
        size_t nl = text.find_first_of(U"\r\n");
        if (nl != std::u32string::npos) text.resize(nl);
    } else {
        std::u32string t;
        for (size_t i = 0; i < text.size(); ++i) {
            if (text[i] == U'\r') {
                if (i + 1 < text.size() && text[i + 1] == U'\n') continue;
                t += U'\n';
            } else
                t += text[i];
        }
        text = t;
    }
    for (char32_t& c : text) c = ApplyCase(c, FCharCase);
    int start = GetSelStart(), len = GetSelLength();
    int room =
        FMaxLength > 0 ? FMaxLength - (static_cast<int>(FChars.size()) - len) : static_cast<int>(text.size());
    if (room < static_cast<int>(text.size())) {
        if (room <= 0 && len == 0) {
            MessageBeep(0);
            return;
        }
        text.resize(static_cast<size_t>(std::max(room, 0)));
    }
    SaveUndo();
    std::u32string t = FChars;
    t.replace(static_cast<size_t>(start), static_cast<size_t>(len), text);
    int caret = start + static_cast<int>(text.size());
    FAnchor = FCaret = caret;
    ChangeText(std::move(t));
    FAnchor = FCaret = std::min(caret, static_cast<int>(FChars.size()));
    ScrollCaretIntoView();
    UpdateCaret();
    Invalidate();
}

void TCustomEdit::DeleteRange(int start, int end) {
    if (FReadOnly) return;
    start = std::clamp(start, 0, static_cast<int>(FChars.size()));
    end = std::clamp(end, start, static_cast<int>(FChars.size()));
    if (start == end) return;
    std::u32string t = FChars;
    t.erase(static_cast<size_t>(start), static_cast<size_t>(end - start));
    FAnchor = FCaret = start;
    ChangeText(std::move(t));
    FAnchor = FCaret = start;
    ScrollCaretIntoView();
    UpdateCaret();
    Invalidate();
}

void TCustomEdit::CutToClipboard() {
    Perform(WM_CUT);
}
void TCustomEdit::CopyToClipboard() {
    Perform(WM_COPY);
}
void TCustomEdit::PasteFromClipboard() {
    Perform(WM_PASTE);
}

std::u32string TCustomEdit::DisplayChars() const {
    if (FPasswordChar && !IsMultiLine())
        return std::u32string(FChars.size(),
                              static_cast<char32_t>(static_cast<unsigned char>(FPasswordChar)));
    return FChars;
}

TRect TCustomEdit::TextRect() const {
    TRect r = GetClientRect();
    int inset = FBorderStyle == bsSingle ? (FCtl3D ? 2 : 1) : 0;
    return InflateRect(r, -(inset + 1), -(inset + 1));
}

int TCustomEdit::LineHeight() {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, FFont->GetHandle());
    TEXTMETRIC tm{};
    GetTextMetrics(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return tm.tmHeight > 0 ? tm.tmHeight : 13;
}

bool TCustomEdit::CanAutoSize(int& newWidth, int& newHeight) {
    int border = FBorderStyle == bsSingle ? (FCtl3D ? 2 : 1) : 0;
    newHeight = LineHeight() + 2 * border + 4;
    return true;
}

namespace {
// Pixel offsets of each character boundary of `text` in the given font.
std::vector<int> CharOffsets(TFont* font, const std::u32string& text) {
    std::vector<int> offs(text.size() + 1, 0);
    if (text.empty()) return offs;
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, font->GetHandle());
    int x = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        int w = 0;
        if (text[i] == U'\t')
            w = 8 * GetTextExtent(dc, " ").cx;
        else
            GetCharWidth32(dc, text[i], text[i], &w);
        x += w;
        offs[i + 1] = x;
    }
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return offs;
}
} // namespace

int TCustomEdit::CharFromPoint(TPoint p) {
    TRect tr = TextRect();
    std::u32string d = DisplayChars();
    std::vector<int> offs = CharOffsets(FFont.get(), d);
    int x = p.X - tr.Left + FScrollX;
    for (size_t i = 0; i < d.size(); ++i)
        if (x < (offs[i] + offs[i + 1]) / 2) return static_cast<int>(i);
    return static_cast<int>(d.size());
}

TPoint TCustomEdit::PointFromChar(int index) {
    TRect tr = TextRect();
    std::u32string d = DisplayChars();
    std::vector<int> offs = CharOffsets(FFont.get(), d);
    index = std::clamp(index, 0, static_cast<int>(d.size()));
    return {tr.Left + offs[static_cast<size_t>(index)] - FScrollX, tr.Top};
}

void TCustomEdit::ScrollCaretIntoView() {
    TRect tr = TextRect();
    std::u32string d = DisplayChars();
    std::vector<int> offs = CharOffsets(FFont.get(), d);
    int x = offs[static_cast<size_t>(std::clamp(FCaret, 0, static_cast<int>(d.size())))];
    int w = std::max(tr.Width(), 1);
    if (x - FScrollX > w - 1) FScrollX = x - w + 1;
    if (x - FScrollX < 0) FScrollX = std::max(x - w / 4, 0);
    int total = offs.back();
    if (FScrollX > 0 && total - FScrollX < w - 1) FScrollX = std::max(total - w + 1, 0);
}

void TCustomEdit::UpdateCaret() {
    if (!FCaretCreated || !Focused()) return;
    TPoint p = PointFromChar(FCaret);
    SetCaretPos(p.X, p.Y);
}

void TCustomEdit::DoEnter() {
    HWND wnd = GetHandle();
    CreateCaret(wnd, nullptr, 1, LineHeight());
    FCaretCreated = true;
    if (FAutoSelect && !IsMultiLine() && !FMouseSelecting && !(GetKeyState(VK_LBUTTON) < 0)) SelectAll();
    UpdateCaret();
    ShowCaret(wnd);
    Invalidate();
    TCustomControl::DoEnter();
}

void TCustomEdit::DoExit() {
    if (FCaretCreated) {
        DestroyCaret();
        FCaretCreated = false;
    }
    Invalidate();
    TCustomControl::DoExit();
}

void TCustomEdit::Paint() {
    TCanvas* cv = Canvas();
    HDC dc = cv->GetHandle();
    TRect r = GetClientRect();
    bool enabled = IsEnabledChain();
    HBRUSH bg = CreateSolidBrush(ColorToColorRef(enabled ? FColor : clBtnFace));
    FillRect(dc, &r, bg);
    DeleteObject(bg);
    if (FBorderStyle == bsSingle) {
        if (FCtl3D)
            DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
        else {
            HBRUSH fb = CreateSolidBrush(ColorToColorRef(clWindowFrame));
            FrameRect(dc, &r, fb);
            DeleteObject(fb);
        }
    }
    TRect tr = TextRect();
    int saved = SaveDC(dc);
    IntersectClipRect(dc, tr.Left, tr.Top, tr.Right, tr.Bottom);
    cv->GetFont()->Assign(FFont.get());
    cv->RequiredState(TCanvasState{csHandleValid, csFontValid});
    SetBkMode(dc, TRANSPARENT);
    std::u32string d = DisplayChars();
    std::vector<int> offs = CharOffsets(FFont.get(), d);
    int s = GetSelStart(), e = s + GetSelLength();
    bool showSel = e > s && (Focused() || !FHideSelection);
    int x0 = tr.Left - FScrollX;
    if (showSel) {
        TRect sel{x0 + offs[static_cast<size_t>(s)], tr.Top, x0 + offs[static_cast<size_t>(e)],
                  tr.Top + LineHeight()};
        HBRUSH hb = CreateSolidBrush(ColorToColorRef(clHighlight));
        FillRect(dc, &sel, hb);
        DeleteObject(hb);
    }
    auto drawRun = [&](int from, int to, TColor color) {
        if (to <= from) return;
        SetTextColor(dc, ColorToColorRef(color));
        std::string run = ToUtf8(d.substr(static_cast<size_t>(from), static_cast<size_t>(to - from)));
        TextOut(dc, x0 + offs[static_cast<size_t>(from)], tr.Top, run);
    };
    TColor textColor = enabled ? FFont->GetColor() : clGrayText;
    if (showSel) {
        drawRun(0, s, textColor);
        drawRun(s, e, clHighlightText);
        drawRun(e, static_cast<int>(d.size()), textColor);
    } else {
        drawRun(0, static_cast<int>(d.size()), textColor);
    }
    RestoreDC(dc, saved);
}

void TCustomEdit::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (button == mbLeft) {
        FMouseSelecting = true;
        if (CanFocus() && !Focused()) SetFocus();
        int pos = CharFromPoint({x, y});
        if (shift.Contains(ssDouble)) {
            // Double click selects the word under the mouse.
            int a = pos, b = pos;
            while (a > 0 && IsWordChar(FChars[static_cast<size_t>(a - 1)])) --a;
            while (b < static_cast<int>(FChars.size()) && IsWordChar(FChars[static_cast<size_t>(b)])) ++b;
            SetSelection(a, b);
            FMouseSelecting = false;
        } else {
            MoveCaret(pos, shift.Contains(ssShift));
        }
    }
    TCustomControl::MouseDown(button, shift, x, y);
}

void TCustomEdit::MouseMove(TShiftState shift, int x, int y) {
    if (FMouseSelecting && shift.Contains(ssLeft))
        MoveCaret(CharFromPoint({x, y}), true);
    else if (!shift.Contains(ssLeft))
        FMouseSelecting = false;
    TCustomControl::MouseMove(shift, x, y);
}

void TCustomEdit::KeyDown(uint16_t& key, TShiftState shift) {
    TCustomControl::KeyDown(key, shift);
    if (key == 0) return;
    bool ext = shift.Contains(ssShift);
    bool ctrl = shift.Contains(ssCtrl);
    int n = static_cast<int>(FChars.size());
    auto wordLeft = [&](int p) {
        while (p > 0 && !IsWordChar(FChars[static_cast<size_t>(p - 1)])) --p;
        while (p > 0 && IsWordChar(FChars[static_cast<size_t>(p - 1)])) --p;
        return p;
    };
    auto wordRight = [&](int p) {
        while (p < n && IsWordChar(FChars[static_cast<size_t>(p)])) ++p;
        while (p < n && !IsWordChar(FChars[static_cast<size_t>(p)])) ++p;
        return p;
    };
    switch (key) {
    case VK_LEFT:
        if (!ext && GetSelLength() > 0)
            MoveCaret(GetSelStart(), false);
        else
            MoveCaret(ctrl ? wordLeft(FCaret) : std::max(FCaret - 1, 0), ext);
        key = 0;
        break;
    case VK_RIGHT:
        if (!ext && GetSelLength() > 0)
            MoveCaret(GetSelStart() + GetSelLength(), false);
        else
            MoveCaret(ctrl ? wordRight(FCaret) : std::min(FCaret + 1, n), ext);
        key = 0;
        break;
    case VK_HOME:
        MoveCaret(0, ext);
        key = 0;
        break;
    case VK_END:
        MoveCaret(n, ext);
        key = 0;
        break;
    case VK_DELETE:
        if (ext)
            Perform(WM_CUT);
        else if (!FReadOnly) {
            if (GetSelLength() > 0)
                ClearSelection();
            else if (FCaret < n) {
                SaveUndo();
                DeleteRange(FCaret, ctrl ? wordRight(FCaret) : FCaret + 1);
            }
        }
        key = 0;
        break;
    case VK_INSERT:
        if (ctrl)
            Perform(WM_COPY);
        else if (ext)
            Perform(WM_PASTE);
        key = 0;
        break;
    default: break;
    }
}

void TCustomEdit::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE: m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS; return;
    case WM_CHAR:
        // OnKeyPress may change or swallow the character first.
        if (DoKeyPress(m)) return;
        break;
    case WM_CUT:
        if (GetSelLength() > 0) {
            SetClipboardText(GetSelText());
            if (!FReadOnly) ClearSelection();
        }
        return;
    case WM_COPY:
        if (GetSelLength() > 0 && !FPasswordChar) SetClipboardText(GetSelText());
        return;
    case WM_PASTE:
        if (!FReadOnly && ClipboardHasText()) InsertText(ToChars(GetClipboardText()));
        return;
    case WM_CLEAR: ClearSelection(); return;
    case WM_UNDO:
    case EM_UNDO:
        Undo();
        m.Result = 1;
        return;
    case EM_CANUNDO: m.Result = FUndoValid ? 1 : 0; return;
    case EM_SETSEL: SetSelection(static_cast<int>(m.WParam), static_cast<int>(m.LParam)); return;
    case EM_GETSEL: m.Result = GetSelStart() | ((GetSelStart() + GetSelLength()) << 16); return;
    case EM_SETREADONLY:
        SetReadOnly(m.WParam != 0);
        m.Result = 1;
        return;
    case EM_REPLACESEL: SetSelText(m.LParam ? reinterpret_cast<const char*>(m.LParam) : ""); return;
    case CM_FONTCHANGED:
        TCustomControl::Dispatch(m);
        AdjustSize();
        TextChanged();
        return;
    case CM_TEXTCHANGED: Invalidate(); return;
    case WM_SETFOCUS: TCustomControl::Dispatch(m); return;
    default: TCustomControl::Dispatch(m); return;
    }
    // WM_CHAR after the key press handlers: edit the text.
    uint32_t ch = static_cast<uint32_t>(m.WParam);
    TShiftState shift = KeyboardStateToShiftState();
    if (shift.Contains(ssCtrl) && !shift.Contains(ssAlt)) {
        switch (ch) {
        case 3: Perform(WM_COPY); return;
        case 22: Perform(WM_PASTE); return;
        case 24: Perform(WM_CUT); return;
        case 26: Undo(); return;
        case 1: SelectAll(); return;
        default: break;
        }
    }
    if (ch == 8) {
        if (FReadOnly) return;
        if (GetSelLength() > 0)
            ClearSelection();
        else if (FCaret > 0) {
            SaveUndo();
            DeleteRange(FCaret - 1, FCaret);
        }
        return;
    }
    if (ch == 13 || ch == 10) {
        if (IsMultiLine() && static_cast<TCustomMemo*>(this)->GetWantReturns()) InsertText(U"\n");
        return;
    }
    if (ch == 9) {
        if (IsMultiLine() && static_cast<TCustomMemo*>(this)->GetWantTabs()) InsertText(U"\t");
        return;
    }
    if (ch < 32 || ch == 127) return;
    InsertText(std::u32string(1, static_cast<char32_t>(ch)));
}

// ---- TMemoStrings
// --------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TMemoStrings)

std::vector<std::string> TMemoStrings::Split() const {
    std::vector<std::string> out;
    if (!FMemo) return out;
    std::string t = FMemo->GetText();
    if (t.empty()) return out;
    size_t start = 0;
    while (true) {
        size_t nl = t.find('\n', start);
        if (nl == std::string::npos) {
            out.push_back(t.substr(start));
            break;
        }
        out.push_back(t.substr(start, nl - start));
        start = nl + 1;
    }
    return out;
}

void TMemoStrings::Join(const std::vector<std::string>& lines) {
    std::string t;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i) t += '\n';
        t += lines[i];
    }
    if (FMemo) FMemo->SetText(t);
}

int TMemoStrings::Count() const {
    return static_cast<int>(Split().size());
}

std::string TMemoStrings::Get(int index) const {
    auto l = Split();
    if (index < 0 || index >= static_cast<int>(l.size())) Error("List index out of bounds (%d)", index);
    return l[static_cast<size_t>(index)];
}

void TMemoStrings::Put(int index, const std::string& s) {
    auto l = Split();
    if (index < 0 || index >= static_cast<int>(l.size())) Error("List index out of bounds (%d)", index);
    l[static_cast<size_t>(index)] = s;
    Join(l);
}

void TMemoStrings::Insert(int index, const std::string& s) {
    auto l = Split();
    if (index < 0 || index > static_cast<int>(l.size())) Error("List index out of bounds (%d)", index);
    // A line may not carry its own breaks: those become separate lines.
    std::string clean = s;
    clean.erase(std::remove(clean.begin(), clean.end(), '\r'), clean.end());
    l.insert(l.begin() + index, clean);
    Join(l);
}

void TMemoStrings::Delete(int index) {
    auto l = Split();
    if (index < 0 || index >= static_cast<int>(l.size())) Error("List index out of bounds (%d)", index);
    l.erase(l.begin() + index);
    Join(l);
}

void TMemoStrings::Clear() {
    if (FMemo) FMemo->SetText(std::string());
}

std::string TMemoStrings::GetText() const {
    std::string out;
    for (const std::string& s : Split()) out += s + "\r\n";
    return out;
}

void TMemoStrings::SetText(const std::string& text) {
    std::string t;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') continue;
            t += '\n';
        } else
            t += text[i];
    }
    // The trailing line break of the last line does not start another line.
    if (!t.empty() && t.back() == '\n') t.pop_back();
    if (FMemo) FMemo->SetText(t);
}

// ---- TCustomMemo
// -----------------------------------------------------------------------------------------------

QEL_IMPLEMENT_CLASS(TCustomMemo)
QEL_IMPLEMENT_CLASS(TMemo, [](auto& c) {
    Publish(c, {"Align"});
    c.Property("Alignment", &TCustomMemo::GetAlignment, &TCustomMemo::SetAlignment).Default(taLeftJustify);
    Publish(c, {"Anchors", "BiDiMode"});
    c.Property("BorderStyle", &TCustomEdit::GetBorderStyle, &TCustomEdit::SetBorderStyle).Default(bsSingle);
    Publish(c, {"Color", "Constraints", "Ctl3D", "DragCursor", "DragKind", "DragMode", "Enabled", "Font"});
    c.Property("HideSelection", &TCustomEdit::GetHideSelection, &TCustomEdit::SetHideSelection).Default(true);
    c.Object("Lines", &TCustomMemo::GetLines, &TCustomMemo::SetLines);
    c.Property("MaxLength", &TCustomEdit::GetMaxLength, &TCustomEdit::SetMaxLength).Default(0);
    Publish(c, {"ParentBiDiMode", "ParentColor", "ParentCtl3D", "ParentFont", "ParentShowHint", "PopupMenu"});
    c.Property("ReadOnly", &TCustomEdit::GetReadOnly, &TCustomEdit::SetReadOnly).Default(false);
    c.Property("ScrollBars", &TCustomMemo::GetScrollBars, &TCustomMemo::SetScrollBars).Default(ssNone);
    Publish(c, {"ShowHint", "TabOrder"});
    c.Property("TabStop", &TWinControl::GetTabStop, &TWinControl::SetTabStop).Default(true);
    Publish(c, {"Visible"});
    c.Property("WantReturns", &TCustomMemo::GetWantReturns, &TCustomMemo::SetWantReturns).Default(true);
    c.Property("WantTabs", &TCustomMemo::GetWantTabs, &TCustomMemo::SetWantTabs).Default(false);
    c.Property("WordWrap", &TCustomMemo::GetWordWrap, &TCustomMemo::SetWordWrap).Default(true);
    c.Event("OnChange", &TCustomEdit::GetOnChange, &TCustomEdit::SetOnChange);
    Publish(c, {"OnClick", "OnContextPopup", "OnDblClick", "OnDragDrop", "OnDragOver", "OnEndDock",
                "OnEndDrag", "OnEnter", "OnExit", "OnKeyDown", "OnKeyPress", "OnKeyUp", "OnMouseDown",
                "OnMouseMove", "OnMouseUp", "OnStartDock", "OnStartDrag"});
})

TCustomMemo::TCustomMemo(TComponent* owner)
    : TCustomEdit(owner), FLines(std::make_unique<TMemoStrings>(this)) {
    DoSetBounds(0, 0, 185, 89);
    FAutoSize = false;
    FAutoSelect = false;
    FControlStyle.Exclude(csFixedHeight);
    FControlStyle.Exclude(csSetCaption);
}

TCustomMemo::~TCustomMemo() = default;

void TCustomMemo::SetWordWrap(bool v) {
    if (v == FWordWrap) return;
    FWordWrap = v;
    InvalidateLayout();
    Invalidate();
}

void TCustomMemo::SetScrollBars(TScrollStyle v) {
    if (v == FScrollBars) return;
    FScrollBars = v;
    InvalidateLayout();
    UpdateScrollBars();
    Invalidate();
}

void TCustomMemo::SetAlignment(TAlignment v) {
    if (v == FAlignment) return;
    FAlignment = v;
    Invalidate();
}

void TCustomMemo::CreateParams(TCreateParams& params) {
    // The scroll bars are the control's own (see UpdateScrollBars), not window styles, so their space
    // is reserved once and they show whether or not the text is longer than the memo.
    TCustomEdit::CreateParams(params);
}

void TCustomMemo::TextChanged() {
    InvalidateLayout();
    int n = static_cast<int>(VisualLines().size());
    if (FTopLine >= n) FTopLine = std::max(n - 1, 0);
    UpdateScrollBars();
}

void TCustomMemo::Resize() {
    InvalidateLayout();
    TCustomEdit::Resize();
    UpdateScrollBars();
}

void TCustomMemo::UpdateScrollBars() {
    if (FUpdatingScrollBars) return;
    FUpdatingScrollBars = true;
    const bool vert = FScrollBars == ssVertical || FScrollBars == ssBoth;
    const bool horz = FScrollBars == ssHorizontal || FScrollBars == ssBoth;
    // Visibility first: it decides the text area that the line layout below depends on.
    TScrollBarInfo v = GetScrollBarInfo(SB_VERT), h = GetScrollBarInfo(SB_HORZ);
    v.Visible = vert;
    h.Visible = horz;
    SetScrollBarInfo(SB_VERT, v);
    SetScrollBarInfo(SB_HORZ, h);
    if (vert) {
        int lh = std::max(LineHeight(), 1);
        v.Page = std::max(TextRect().Height() / lh, 1);
        v.Max = std::max(static_cast<int>(VisualLines().size()) - 1, 0);
        v.Pos = FTopLine;
        SetScrollBarInfo(SB_VERT, v);
    }
    if (horz) {
        // Lines are not scrolled sideways: the bar shows that everything is in view.
        h.Max = 0;
        h.Page = 1;
        h.Pos = 0;
        SetScrollBarInfo(SB_HORZ, h);
    }
    FUpdatingScrollBars = false;
}

const std::vector<TCustomMemo::TVisualLine>& TCustomMemo::VisualLines() {
    if (FLayoutValid) return FVisual;
    FVisual.clear();
    TRect tr = TextRect();
    int width = std::max(tr.Width(), 1);
    std::vector<int> offs = CharOffsets(FFont.get(), FChars);
    int n = static_cast<int>(FChars.size());
    int start = 0;
    while (true) {
        int end = start;
        while (end < n && FChars[static_cast<size_t>(end)] != U'\n') ++end;
        // [start, end) is one paragraph; wrap it at word boundaries.
        int lineStart = start;
        if (FWordWrap && !(FScrollBars == ssHorizontal || FScrollBars == ssBoth)) {
            while (lineStart < end) {
                int lineEnd = lineStart;
                int lastBreak = -1;
                while (lineEnd < end &&
                       offs[static_cast<size_t>(lineEnd + 1)] - offs[static_cast<size_t>(lineStart)] <=
                           width) {
                    if (FChars[static_cast<size_t>(lineEnd)] == U' ') lastBreak = lineEnd + 1;
                    ++lineEnd;
                }
                if (lineEnd >= end) break;
                if (lineEnd == lineStart)
                    lineEnd = lineStart + 1; // a character wider than the line
                else if (lastBreak > lineStart)
                    lineEnd = lastBreak;
                FVisual.push_back({lineStart, lineEnd - lineStart});
                lineStart = lineEnd;
            }
        }
        FVisual.push_back({lineStart, end - lineStart});
        if (end >= n) break;
        start = end + 1;
    }
    FLayoutValid = true;
    return FVisual;
}

int TCustomMemo::LineOfChar(int index) {
    const auto& v = VisualLines();
    for (size_t i = 0; i < v.size(); ++i) {
        int s = v[i].Start, e = s + v[i].Length;
        bool last = i + 1 == v.size() || v[i + 1].Start > e; // paragraph end: the caret may sit after it
        if (index >= s && (index < e || (index == e && last))) return static_cast<int>(i);
    }
    return static_cast<int>(v.size()) - 1;
}

TPoint TCustomMemo::PointFromChar(int index) {
    TRect tr = TextRect();
    const auto& v = VisualLines();
    int line = LineOfChar(index);
    const TVisualLine& l = v[static_cast<size_t>(line)];
    std::u32string text = FChars.substr(static_cast<size_t>(l.Start), static_cast<size_t>(l.Length));
    std::vector<int> offs = CharOffsets(FFont.get(), text);
    int col = std::clamp(index - l.Start, 0, l.Length);
    return {tr.Left + offs[static_cast<size_t>(col)] - FScrollX, tr.Top + (line - FTopLine) * LineHeight()};
}

int TCustomMemo::CharFromPoint(TPoint p) {
    TRect tr = TextRect();
    const auto& v = VisualLines();
    int line =
        std::clamp(FTopLine + (p.Y - tr.Top) / std::max(LineHeight(), 1), 0, static_cast<int>(v.size()) - 1);
    const TVisualLine& l = v[static_cast<size_t>(line)];
    std::u32string text = FChars.substr(static_cast<size_t>(l.Start), static_cast<size_t>(l.Length));
    std::vector<int> offs = CharOffsets(FFont.get(), text);
    int x = p.X - tr.Left + FScrollX;
    for (int i = 0; i < l.Length; ++i)
        if (x < (offs[static_cast<size_t>(i)] + offs[static_cast<size_t>(i + 1)]) / 2) return l.Start + i;
    return l.Start + l.Length;
}

void TCustomMemo::ScrollCaretIntoView() {
    int lh = std::max(LineHeight(), 1);
    int visible = std::max(TextRect().Height() / lh, 1);
    int line = LineOfChar(FCaret);
    if (line < FTopLine) FTopLine = line;
    if (line >= FTopLine + visible) FTopLine = line - visible + 1;
    UpdateScrollBars();
}

void TCustomMemo::Paint() {
    TCanvas* cv = Canvas();
    HDC dc = cv->GetHandle();
    TRect r = GetClientRect();
    bool enabled = IsEnabledChain();
    HBRUSH bg = CreateSolidBrush(ColorToColorRef(enabled ? FColor : clBtnFace));
    FillRect(dc, &r, bg);
    DeleteObject(bg);
    if (FBorderStyle == bsSingle) {
        if (FCtl3D)
            DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT);
        else {
            HBRUSH fb = CreateSolidBrush(ColorToColorRef(clWindowFrame));
            FrameRect(dc, &r, fb);
            DeleteObject(fb);
        }
    }
    TRect tr = TextRect();
    int saved = SaveDC(dc);
    IntersectClipRect(dc, tr.Left, tr.Top, tr.Right, tr.Bottom);
    cv->GetFont()->Assign(FFont.get());
    cv->RequiredState(TCanvasState{csHandleValid, csFontValid});
    SetBkMode(dc, TRANSPARENT);
    int lh = std::max(LineHeight(), 1);
    const auto& v = VisualLines();
    int s = GetSelStart(), e = s + GetSelLength();
    bool showSel = e > s && (Focused() || !FHideSelection);
    TColor textColor = enabled ? FFont->GetColor() : clGrayText;
    for (int i = FTopLine; i < static_cast<int>(v.size()); ++i) {
        int y = tr.Top + (i - FTopLine) * lh;
        if (y >= tr.Bottom) break;
        const TVisualLine& l = v[static_cast<size_t>(i)];
        std::u32string text = FChars.substr(static_cast<size_t>(l.Start), static_cast<size_t>(l.Length));
        std::vector<int> offs = CharOffsets(FFont.get(), text);
        int x0 = tr.Left - FScrollX;
        if (FAlignment == taRightJustify)
            x0 = tr.Right - offs.back();
        else if (FAlignment == taCenter)
            x0 = tr.Left + (tr.Width() - offs.back()) / 2;
        int a = std::clamp(s - l.Start, 0, l.Length), b = std::clamp(e - l.Start, 0, l.Length);
        if (showSel && b > a) {
            TRect sel{x0 + offs[static_cast<size_t>(a)], y, x0 + offs[static_cast<size_t>(b)], y + lh};
            HBRUSH hb = CreateSolidBrush(ColorToColorRef(clHighlight));
            FillRect(dc, &sel, hb);
            DeleteObject(hb);
        }
        auto run = [&](int from, int to, TColor color) {
            if (to <= from) return;
            SetTextColor(dc, ColorToColorRef(color));
            TextOut(dc, x0 + offs[static_cast<size_t>(from)], y,
                    ToUtf8(text.substr(static_cast<size_t>(from), static_cast<size_t>(to - from))));
        };
        if (showSel && b > a) {
            run(0, a, textColor);
            run(a, b, clHighlightText);
            run(b, l.Length, textColor);
        } else
            run(0, l.Length, textColor);
    }
    RestoreDC(dc, saved);
}

void TCustomMemo::KeyDown(uint16_t& key, TShiftState shift) {
    if (key == VK_UP || key == VK_DOWN || key == VK_PRIOR || key == VK_NEXT ||
        ((key == VK_HOME || key == VK_END) && !shift.Contains(ssCtrl))) {
        TCustomControl::KeyDown(key, shift);
        if (key == 0) return;
        bool ext = shift.Contains(ssShift);
        const auto& v = VisualLines();
        int line = LineOfChar(FCaret);
        const TVisualLine& cur = v[static_cast<size_t>(line)];
        if (key == VK_HOME)
            MoveCaret(cur.Start, ext);
        else if (key == VK_END)
            MoveCaret(cur.Start + cur.Length, ext);
        else {
            int lh = std::max(LineHeight(), 1);
            int page = std::max(TextRect().Height() / lh, 1);
            int delta = key == VK_UP ? -1 : key == VK_DOWN ? 1 : key == VK_PRIOR ? -page : page;
            int target = std::clamp(line + delta, 0, static_cast<int>(v.size()) - 1);
            TPoint p = PointFromChar(FCaret);
            int lineTop = TextRect().Top + (target - FTopLine) * lh;
            if (target < FTopLine) {
                FTopLine = target;
                lineTop = TextRect().Top;
            }
            MoveCaret(CharFromPoint({p.X, lineTop}), ext);
        }
        key = 0;
        return;
    }
    if (key == VK_HOME && shift.Contains(ssCtrl)) {
        TCustomControl::KeyDown(key, shift);
        MoveCaret(0, shift.Contains(ssShift));
        key = 0;
        return;
    }
    if (key == VK_END && shift.Contains(ssCtrl)) {
        TCustomControl::KeyDown(key, shift);
        MoveCaret(static_cast<int>(FChars.size()), shift.Contains(ssShift));
        key = 0;
        return;
    }
    TCustomEdit::KeyDown(key, shift);
}

void TCustomMemo::Dispatch(TMessage& m) {
    switch (m.Msg) {
    case WM_GETDLGCODE:
        m.Result = DLGC_WANTARROWS | DLGC_WANTCHARS;
        if (FWantReturns) m.Result |= DLGC_WANTALLKEYS;
        if (FWantTabs) m.Result |= DLGC_WANTTAB;
        return;
    case WM_VSCROLL: {
        const auto& v = VisualLines();
        int lh = std::max(LineHeight(), 1);
        int page = std::max(TextRect().Height() / lh, 1);
        int top = FTopLine;
        switch (m.WParamLo()) {
        case SB_LINEUP: --top; break;
        case SB_LINEDOWN: ++top; break;
        case SB_PAGEUP: top -= page; break;
        case SB_PAGEDOWN: top += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: top = static_cast<int16_t>(m.WParamHi()); break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = static_cast<int>(v.size()); break;
        default: break;
        }
        FTopLine = std::clamp(top, 0, std::max(static_cast<int>(v.size()) - page, 0));
        UpdateScrollBars();
        Invalidate();
        UpdateCaret();
        return;
    }
    case EM_GETLINECOUNT: m.Result = static_cast<intptr_t>(VisualLines().size()); return;
    case EM_LINEFROMCHAR:
        m.Result = LineOfChar(m.WParam == static_cast<uintptr_t>(-1) ? FCaret : static_cast<int>(m.WParam));
        return;
    case EM_GETFIRSTVISIBLELINE: m.Result = FTopLine; return;
    case CM_FONTCHANGED:
        InvalidateLayout();
        TCustomEdit::Dispatch(m);
        return;
    default: TCustomEdit::Dispatch(m); return;
    }
}

} // namespace qel
