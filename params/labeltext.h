#pragma once

#include "params/parametermap.h"

#include <QString>

namespace qj {

// The text a value label shows for parameter value p in its style:
// number "62", gain "+3dB" / "0dB" / "-3dB", balance "+3dB" on both sides, "100Hz", "100ms".
QString labelText(LabelStyle style, int p);

// The decimal number at the start of a caption or typed text, spaces at both ends removed:
// an optional sign, digits, a fraction and an exponent. 0 when it starts with none, so "100Hz"
// reads 100, "+3dB" reads 3 and "ab" reads 0.
double leadingNumber(const QString &text);

// Nearest integer, halves to the even one (2.5 gives 2, 3.5 gives 4); saturates at the int range.
int roundHalfEven(double value);

} // namespace qj
