#pragma once
// Number parsing for the text fields of the dialogs, independent of the
// process locale (the decimal point is always '.', whatever LANG says), and
// checked conversions from floating point to integers.
//
// Two styles:
// - strict parsing (ParseInteger, ParseDouble): blanks around the number are
//   allowed, anything else in the text makes it "not a number"; the result is
//   range checked.
// - leading parsing (LeadingDouble): like the C library's atof, the longest
//   number at the start of the text counts and the rest is ignored; a text
//   that does not begin with a number gives 0.
#include <cstdint>
#include <string_view>

enum class NumberBase {
    Decimal,   // digits 0-9 only: "010" is ten
    Prefixed,  // "0x"/"0X" hexadecimal, "0b"/"0B" binary, a leading "0" octal, otherwise decimal
};

enum class ParseStatus {
    Ok,
    NotANumber,  // empty, blank, stray characters, a sign where none is allowed
    OutOfRange,  // a well-formed number outside [min, max]; the value is clamped to the nearer end
};

struct IntParse {
    ParseStatus status = ParseStatus::NotANumber;
    int64_t value = 0;  // 0 when not a number
    bool ok() const { return status == ParseStatus::Ok; }
};

// A whole text as one integer within [min, max]. With allowSign false a
// leading '+' or '-' makes the text not a number (an unsigned field).
IntParse ParseInteger(std::string_view text, int64_t min, int64_t max, NumberBase base = NumberBase::Decimal,
                      bool allowSign = true);

// Convenience forms: true only for a whole number within the type's range;
// out is left unchanged otherwise.
bool ParseInt32(std::string_view text, int32_t& out, NumberBase base = NumberBase::Decimal);
bool ParseUInt32(std::string_view text, uint32_t& out, NumberBase base = NumberBase::Decimal);

// A whole text as one finite decimal floating-point number ("1.5", "-2e3",
// ".5"); "inf", "nan", hexadecimal and numbers beyond the double range are
// refused. out is left unchanged on failure.
bool ParseDouble(std::string_view text, double& out);

// The decimal floating-point number at the start of the text (after blanks),
// the rest ignored; 0 (and *ok false) when the text does not begin with one.
// "inf" and "nan" do not count as numbers; a magnitude beyond the double range
// gives the largest finite value of that sign, a tiny one gives 0. The result
// is always finite.
double LeadingDouble(std::string_view text, bool* ok = nullptr);

// Conversions of a double to an integer, truncating towards zero: NaN gives
// 0, values beyond the type's range give its nearer limit. Never undefined.
int32_t DoubleToInt32(double v);
int64_t DoubleToInt64(double v);
// The same for an integer that may not fit 32 bits.
int32_t ClampToInt32(int64_t v);
