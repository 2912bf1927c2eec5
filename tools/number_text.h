#pragma once
// Numbers as trob writes them: the shortest decimal text that reads back (strtof) to exactly
// the same float, so that two reports can be compared bit for bit as text.

#include <string>

namespace number_text {

// The shortest round-trip form of `value` ("0.5", "1", "0.12345679", "1e-07"); "nan", "inf"
// or "-inf" for values that are not finite.
std::string shortest(float value);

// As `shortest`, but JSON has no NaN or infinity: those become null.
std::string json(float value);

} // namespace number_text
