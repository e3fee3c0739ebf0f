#pragma once

#include <QColor>

// The colours of map cells: the kinds the editor stores and the states the viewer paints. All are
// entries of the standard sixteen-colour palette.
namespace MapColors {
inline QColor black() { return QColor(0, 0, 0); }        // path or road (palette 0)
inline QColor green() { return QColor(0, 128, 0); }      // unused space (palette 2)
inline QColor blue() { return QColor(0, 0, 255); }       // sold (palette 9)
inline QColor red() { return QColor(255, 0, 0); }        // buried (palette 12)
inline QColor yellow() { return QColor(255, 255, 0); }   // reserved (palette 14)
inline QColor white() { return QColor(255, 255, 255); }  // burial lot (palette 15)
}  // namespace MapColors

// The format marker the editor writes into the corner cell.
inline constexpr const char* kMapMarker = "6.0";
