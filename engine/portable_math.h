#pragma once
// The engine's own tan, cos, sin, log10 and pow: the same bits on every home, whatever the
// platform's maths library computes. Each works in double-double arithmetic (about 100 bits)
// with exactly rounded + - * / only and returns the nearest double to its result, so it is
// correctly rounded except where the true value lies within about 2^-100 (relative) of a
// midpoint between two doubles.
//
// tan, cos and sin reduce their argument exactly for |x| below 2^29 * pi/2 (about 8.4e8); no
// home uses larger ones, and for those they answer with the platform's function.

namespace portable {

double sin(double x);
double cos(double x);
double tan(double x);
double log10(double x);
double pow(double x, double y);
// pow(x, y) made a float, static_cast<float>(pow(x, y)) to the bit for every x and y, about
// ten times as fast where x is positive: a short evaluation with a known error bound decides
// the float unless the power lies within 2^-44 of a point halfway between two floats, and only
// then (about once in half a million) does pow run.
float powToFloat(double x, double y);

} // namespace portable
