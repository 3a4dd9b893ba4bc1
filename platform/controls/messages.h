#pragma once
// The message record that controls dispatch, and the small value types of the control layer (mouse
// buttons, shift state, cursors, modal results). The CM_* and CN_* numbers are the windows layer's.
#include <cstdint>

#include "platform/core/typeinfo.h"
#include "platform/windows/messages.h"

namespace qel {

class TControl;

// A message as controls dispatch it. Parameters and result are pointer-sized: object pointers travel
// in LParam.
struct TMessage {
    uint32_t Msg = 0;
    uintptr_t WParam = 0;
    intptr_t LParam = 0;
    intptr_t Result = 0;

    uint16_t WParamLo() const { return static_cast<uint16_t>(WParam & 0xFFFF); }
    uint16_t WParamHi() const { return static_cast<uint16_t>((WParam >> 16) & 0xFFFF); }
    int16_t LParamLo() const { return static_cast<int16_t>(LParam & 0xFFFF); }
    int16_t LParamHi() const { return static_cast<int16_t>((LParam >> 16) & 0xFFFF); }
};

// Packs client coordinates as mouse messages carry them (signed 16-bit halves).
inline constexpr intptr_t PointToLParam(int x, int y) {
    return static_cast<intptr_t>(static_cast<uint32_t>(static_cast<uint16_t>(x)) |
                                 (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16));
}
inline constexpr int LParamX(intptr_t l) {
    return static_cast<int16_t>(l & 0xFFFF);
}
inline constexpr int LParamY(intptr_t l) {
    return static_cast<int16_t>((l >> 16) & 0xFFFF);
}

// CM_CONTROLLISTCHANGE / CM_CONTROLCHANGE: WParam is the control, LParam non-zero when inserted.
// CM_HITTEST: LParam holds the point in client coordinates; Result 0 lets the point fall through.
// CM_DIALOGKEY / CM_DIALOGCHAR / CM_CHILDKEY: WParam is the key code or character, LParam the key data
// (bit 29 set while Alt is down); Result non-zero when handled.
constexpr intptr_t AltKeyData = 0x20000000;

// ---- value types -----------------------------------------------------------------------------------
QEL_ENUM(TMouseButton, mbLeft, mbRight, mbMiddle)
QEL_ENUM(TShiftStateItem, ssShift, ssAlt, ssCtrl, ssLeft, ssRight, ssMiddle, ssDouble)
using TShiftState = Set<TShiftStateItem>;

// Cursors: crDefault and the standard negative identifiers.
using TCursor = int;
enum : int {
    crDefault = 0,
    crNone = -1,
    crArrow = -2,
    crCross = -3,
    crIBeam = -4,
    crSizeNESW = -6,
    crSizeNS = -7,
    crSizeNWSE = -8,
    crSizeWE = -9,
    crUpArrow = -10,
    crHourGlass = -11,
    crDrag = -12,
    crNoDrop = -13,
    crHSplit = -14,
    crVSplit = -15,
    crMultiDrag = -16,
    crSQLWait = -17,
    crNo = -18,
    crAppStart = -19,
    crHelp = -20,
    crHandPoint = -21,
    crSizeAll = -22,
    crSize = -22,
};

using TModalResult = int;
enum : int {
    mrNone = 0,
    mrOk = 1,
    mrCancel = 2,
    mrAbort = 3,
    mrRetry = 4,
    mrIgnore = 5,
    mrYes = 6,
    mrNo = 7,
    mrAll = 8,
    mrNoToAll = 9,
    mrYesToAll = 10,
};

} // namespace qel
