#pragma once
// Pure helpers of the dialogs' number display and window placement, without Qt
// so that they can be tested on their own.
#include <string>

// The text of a floating-point value with automatic precision: the format
// follows the magnitude, then trailing zeros after the point of a mantissa
// without exponent are stripped down to one digit ("0.0", "12.5", "2e+06",
// "1.5e+10"). Always in the C locale.
std::string FormatAutoPrecision(double value);

// Moves the top-left corner (x, y) of a w x h window so that it lies on the
// virtual screen at (vx, vy) of size cw x ch, one pixel inside its right and
// bottom edges. The upper limit is applied last, so a window larger than the
// screen ends at the upper limit (left of or above the origin).
void ClampPosition(int& x, int& y, int w, int h, int vx, int vy, int cw, int ch);
