#pragma once

#include <QColor>

#include "core/store/GraveState.h"

// The colours of map cells: the kinds the editor stores, and the states the viewer paints as the
// grave state table gives them. All are entries of the standard sixteen-colour palette.
namespace MapColors {
inline QColor black() { return QColor(0, 0, 0); }        // path or road (palette 0)
inline QColor green() { return QColor(0, 128, 0); }      // unused space (palette 2)
inline QColor white() { return QColor(255, 255, 255); }  // burial lot (palette 15)
inline QColor of(GraveState::State s) { return QColor(QRgb(GraveState::of(s).color)); }
inline QColor textOf(GraveState::State s) { return QColor(QRgb(GraveState::of(s).textColor)); }
}  // namespace MapColors

// The format marker the editor writes into the corner cell.
inline constexpr const char* kMapMarker = "6.0";
