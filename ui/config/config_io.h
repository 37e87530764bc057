#pragma once
// Helpers of the configuration pages without Qt: the device calls each page
// makes (every one tests the connection first) and the conversion of edited
// text to the values written, in the C locale and without undefined
// behaviour for any text.
#include <cstdint>
#include <string_view>

namespace cfgio {

// One element (sub-index 0, count 1) of an int32 or float32 object; false
// without a connection or when the exchange failed (out is then untouched).
bool ReadInt32(uint16_t index, int32_t* out);
bool ReadFloat(uint16_t index, float* out);
// Element 0 of an object; false without a connection or when the module did
// not acknowledge it. The module's echo is not needed: the pages reload.
bool WriteInt32(uint16_t index, int32_t value);
bool WriteFloat(uint16_t index, float value);
// Whether a device connection exists.
bool Connected();

// Whether the text holds nothing but blanks: a field emptied by a failed
// read, which stands for no value at all.
bool IsBlankText(std::string_view text);

// The decimal number at the start of the text (LeadingDouble of
// app/number_parse.h: C locale, decimal only, "inf", "nan" and hexadecimal
// are not numbers). No number gives 0; a magnitude beyond double gives the
// largest finite value of its sign (which the limits then clamp).
double LeadingDecimal(std::string_view text);

// An edited floating-point field: its text converted as above and limited to
// lo..hi before it becomes a float32 (so a huge text never converts out of
// float's range).
float LimitedFloat(std::string_view text, double lo, double hi);

// An unsigned decimal integer field (blanks around digits only, no sign):
// text that is no such number gives lo; a number limited to lo..hi, however
// many digits it has (a huge number is above hi).
int32_t LimitedUnsigned(std::string_view text, int32_t lo, int32_t hi);

}  // namespace cfgio
