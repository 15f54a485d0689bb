// The hint painted in the middle of the empty file list: ten tips that take
// turns every six seconds, in a large light-blue font.
#pragma once

#include <QFont>
#include <QString>
#include <cstdint>

class QPainter;
class QRect;

inline constexpr int kHintTextCount = 10;
inline constexpr uint32_t kHintPeriodMs = 6000;

// The tip of the given index (0..9).
QString HintText(int index);
// The tip shown at tick count ms: (ms / 6000) mod 10.
int HintIndexAt(uint32_t ms);
// "Trebuchet MS" at 15.6 points when installed, else the desktop's sans font
// at that size.
QFont HintFont();
// Paints text into area: the first line starts one line above the vertical
// middle; centred, word-wrapped, unclipped, '&' shown as it is; colour
// RGB(106, 106, 255) on white.
void PaintHint(QPainter& painter, const QRect& area, const QString& text);
