#include "engine/portable_math.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/portable_math_tables.h"

namespace portable {
namespace {

using namespace tables;

// A double-double: the value hi + lo with |lo| at most half an ulp of hi.
struct Dd {
    double hi;
    double lo;
};

// a + b exactly, as a rounded sum and its error.
Dd twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// The same for |a| >= |b|.
Dd fastTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// a * b exactly (Dekker): no fused multiply-add, so the same on every home.
Dd twoProduct(double a, double b) {
    constexpr double kSplitter = 134217729.0; // 2^27 + 1
    const double p = a * b;
    const double ca = kSplitter * a;
    const double ah = ca - (ca - a);
    const double al = a - ah;
    const double cb = kSplitter * b;
    const double bh = cb - (cb - b);
    const double bl = b - bh;
    return {p, ((ah * bh - p) + ah * bl + al * bh) + al * bl};
}

Dd add(Dd a, Dd b) {
    Dd s = twoSum(a.hi, b.hi);
    const Dd t = twoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = fastTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return fastTwoSum(s.hi, s.lo);
}

Dd add(Dd a, double b) {
    Dd s = twoSum(a.hi, b);
    s.lo += a.lo;
    return fastTwoSum(s.hi, s.lo);
}

Dd negate(Dd a) {
    return {-a.hi, -a.lo};
}

Dd multiply(Dd a, Dd b) {
    Dd p = twoProduct(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return fastTwoSum(p.hi, p.lo);
}

Dd multiply(Dd a, double b) {
    Dd p = twoProduct(a.hi, b);
    p.lo += a.lo * b;
    return fastTwoSum(p.hi, p.lo);
}

Dd divide(Dd a, Dd b) {
    const double q1 = a.hi / b.hi;
    Dd r = add(a, negate(multiply(b, q1)));
    const double q2 = r.hi / b.hi;
    r = add(r, negate(multiply(b, q2)));
    const double q3 = r.hi / b.hi;
    return add(fastTwoSum(q1, q2), q3);
}

Dd constant(const double (&c)[2]) {
    return {c[0], c[1]};
}

double bitsToDouble(std::uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

std::uint64_t doubleToBits(double d) {
    std::uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

// 2^n for n in -1022 .. 1023.
double powerOfTwo(int n) {
    return bitsToDouble(static_cast<std::uint64_t>(n + 1023) << 52);
}

// ---- sin, cos, tan ----

constexpr double kQuarterPi = 0.78539816339744828;
// Below this the pieces of pi/2 times the quadrant number stay exact.
constexpr double kReducibleLimit = 843314856.0; // 2^29 * pi/2, rounded down

// x = k pi/2 + r with |r| <= about pi/4; r to double-double precision.
Dd reduce(double x, std::int64_t& quadrant) {
    const double k = std::nearbyint(x * kTwoOverPi);
    quadrant = static_cast<std::int64_t>(k);
    // x - k p0 is exact: k p0 is, and it lies within a factor of two of x.
    Dd r = twoSum(x - k * kHalfPiPieces[0], 0.0);
    for (int i = 1; i < 8; ++i)
        r = add(r, -(k * kHalfPiPieces[i]));
    return r;
}

// (-1)^n / (2n + offset)!, the Taylor coefficients of sin r / r (offset 1) and cos r (0).
Dd alternating(int n, int offset) {
    const Dd c = constant(kInverseFactorial[2 * n + offset]);
    return n % 2 == 0 ? c : negate(c);
}

// sin r and cos r for |r| <= about pi/4 by their Taylor series in z = r^2, to the terms in
// r^31 and r^30 (the first left out is below 2^-120 of the result).
Dd sinKernel(Dd r) {
    const Dd z = multiply(r, r);
    Dd sum = alternating(15, 1);
    for (int n = 14; n >= 0; --n)
        sum = add(multiply(sum, z), alternating(n, 1));
    return multiply(sum, r);
}

Dd cosKernel(Dd r) {
    const Dd z = multiply(r, r);
    Dd sum = alternating(15, 0);
    for (int n = 14; n >= 0; --n)
        sum = add(multiply(sum, z), alternating(n, 0));
    return sum;
}

} // namespace

double sin(double x) {
    if (!std::isfinite(x)) return x - x;
    const double magnitude = std::fabs(x);
    if (magnitude >= kReducibleLimit) return std::sin(x);
    if (magnitude < 0x1p-26) return x; // sin x = x - x^3/6: below half an ulp
    std::int64_t quadrant = 0;
    const Dd r = magnitude <= kQuarterPi ? Dd{x, 0.0} : reduce(x, quadrant);
    switch (quadrant & 3) {
    case 0:
        return sinKernel(r).hi;
    case 1:
        return cosKernel(r).hi;
    case 2:
        return -sinKernel(r).hi;
    default:
        return -cosKernel(r).hi;
    }
}

double cos(double x) {
    if (!std::isfinite(x)) return x - x;
    const double magnitude = std::fabs(x);
    if (magnitude >= kReducibleLimit) return std::cos(x);
    std::int64_t quadrant = 0;
    const Dd r = magnitude <= kQuarterPi ? Dd{x, 0.0} : reduce(x, quadrant);
    switch (quadrant & 3) {
    case 0:
        return cosKernel(r).hi;
    case 1:
        return -sinKernel(r).hi;
    case 2:
        return -cosKernel(r).hi;
    default:
        return sinKernel(r).hi;
    }
}

double tan(double x) {
    if (!std::isfinite(x)) return x - x;
    const double magnitude = std::fabs(x);
    if (magnitude >= kReducibleLimit) return std::tan(x);
    if (magnitude < 0x1p-27) return x; // tan x = x + x^3/3: below half an ulp
    std::int64_t quadrant = 0;
    const Dd r = magnitude <= kQuarterPi ? Dd{x, 0.0} : reduce(x, quadrant);
    const Dd s = sinKernel(r);
    const Dd c = cosKernel(r);
    return (quadrant & 1) == 0 ? divide(s, c).hi : -divide(c, s).hi;
}

namespace {

// ---- log10, pow ----

// ln x for finite x > 0, to double-double precision: x = 2^e m with m in [0.703, 1.422),
// m = c (1 + u) with c = j/128 the nearest table point, ln m = ln c + 2 atanh(s),
// s = (m - c) / (m + c), |s| < 0.0028.
Dd logDd(double x) {
    int e = 0;
    std::uint64_t bits = doubleToBits(x);
    if ((bits >> 52) == 0) { // subnormal: scale into the normal range
        x *= 0x1p54;
        e = -54;
        bits = doubleToBits(x);
    }
    e += static_cast<int>(bits >> 52) - 1023;
    double m = bitsToDouble((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    if (m >= 1.4140625) { // the table's top is 181/128
        m *= 0.5;
        ++e;
    }
    const double jd = std::nearbyint(m * 128.0);
    const int j = static_cast<int>(jd);
    const double c = jd / 128.0;
    const double numerator = m - c; // exact: m and c are close and c has 8 bits
    const Dd denominator = twoSum(m, c);
    const Dd s = divide(Dd{numerator, 0.0}, denominator);
    const Dd z = multiply(s, s);
    Dd sum = constant(kInverseOdd[7]);
    for (int n = 6; n >= 0; --n)
        sum = add(multiply(sum, z), constant(kInverseOdd[n]));
    Dd result = multiply(multiply(sum, s), 2.0);
    result = add(result, constant(kLogTable[j - kLogFirst]));
    if (e != 0) {
        const double k = e;
        // k ln 2 with the first pieces exact.
        Dd scaled = twoSum(k * kLn2Pieces[0], k * kLn2Pieces[1]);
        scaled = add(scaled, k * kLn2Pieces[2]);
        result = add(scaled, result);
    }
    return result;
}

// e^y correctly rounded from a double-double exponent (below about 709.8, above -745.2).
double expDd(Dd y) {
    const double k = std::nearbyint(y.hi * kInverseLn2);
    // r = y - k ln 2; y.hi - k p0 is exact, it lies within a factor of two of y.hi or is small.
    Dd r = twoSum(y.hi - k * kLn2Pieces[0], y.lo);
    r = add(r, -(k * kLn2Pieces[1]));
    r = add(r, -(k * kLn2Pieces[2]));
    const double md = std::nearbyint(r.hi * 128.0);
    const Dd t = add(r, -(md / 128.0));
    // e^t by Taylor, |t| <= 1/256 + a little: terms to t^12 / 12!.
    Dd sum = constant(kInverseFactorial[12]);
    for (int n = 11; n >= 0; --n)
        sum = add(multiply(sum, t), constant(kInverseFactorial[n]));
    Dd value = multiply(sum, constant(kExpTable[static_cast<int>(md) - kExpFirst]));
    const int scale = static_cast<int>(k);
    if (scale >= -1021) {
        if (scale > 1023) return value.hi * powerOfTwo(1023) * powerOfTwo(scale - 1023);
        return value.hi * powerOfTwo(scale);
    }
    // A subnormal result: round value * 2^scale on the grid of 2^-1074 once, from the
    // double-double.
    const int shift = scale + 1074; // value * 2^shift is the result in units of 2^-1074
    if (shift < -2) return 0.0;
    const double factor = powerOfTwo(shift);
    const double h = value.hi * factor;
    const double l = value.lo * factor;
    const double whole = std::nearbyint(h);
    const double rest = (h - whole) + l;
    double units = whole;
    if (rest > 0.5 || (rest == 0.5 && std::fmod(whole, 2.0) != 0.0)) units += 1.0;
    if (rest < -0.5 || (rest == -0.5 && std::fmod(whole, 2.0) != 0.0)) units -= 1.0;
    return units * 0x1p-1074;
}

// The processor's own answer to an invalid operation (0 / 0 at run time, the same NaN as the
// platform library gives), from a finite argument.
double invalid(double finite) {
    const double zero = finite - finite;
    return zero / zero;
}

bool isOddInteger(double y) {
    const double a = std::fabs(y);
    if (a >= 0x1p53 || std::floor(a) != a) return false;
    return std::fmod(a, 2.0) == 1.0;
}

} // namespace

double log10(double x) {
    if (std::isnan(x)) return x;
    if (x < 0.0) return invalid(x);
    if (x == 0.0) return -HUGE_VAL;
    if (std::isinf(x)) return x;
    return multiply(logDd(x), constant(kInverseLn10)).hi;
}

double pow(double x, double y) {
    if (y == 0.0 || x == 1.0) return 1.0;
    if (std::isnan(x) || std::isnan(y)) return x + y;
    const bool oddPower = isOddInteger(y);
    if (x == 0.0) {
        if (y < 0.0) return oddPower ? 1.0 / x : HUGE_VAL;
        return oddPower ? x : 0.0;
    }
    if (std::isinf(y)) {
        const double a = std::fabs(x);
        if (a == 1.0) return 1.0;
        return (a < 1.0) == (y < 0.0) ? HUGE_VAL : 0.0;
    }
    if (std::isinf(x)) {
        const double magnitude = y < 0.0 ? 0.0 : HUGE_VAL;
        return (x < 0.0 && oddPower) ? -magnitude : magnitude;
    }
    bool negative = false;
    if (x < 0.0) {
        if (std::floor(y) != y) return invalid(y);
        negative = oddPower;
        x = -x;
    }
    const Dd exponent = multiply(logDd(x), y);
    double magnitude;
    if (exponent.hi > 709.8)
        magnitude = HUGE_VAL;
    else if (exponent.hi < -745.2)
        magnitude = 0.0;
    else
        magnitude = expDd(exponent);
    return negative ? -magnitude : magnitude;
}

namespace {

// ---- powToFloat: a short evaluation with an error bound, checked against the float grid ----

// ln x for a normal x > 0 as a double-double, with an absolute error below 2^-70: the
// reduction of logDd, with the series in plain doubles past its first term (the rest is below
// 2^-26, so its rounding errors stay below 2^-76).
Dd quickLog(double x) {
    const std::uint64_t bits = doubleToBits(x);
    int e = static_cast<int>(bits >> 52) - 1023;
    double m = bitsToDouble((bits & 0x000FFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
    if (m >= 1.4140625) {
        m *= 0.5;
        ++e;
    }
    const double jd = std::nearbyint(m * 128.0);
    const double c = jd / 128.0;
    const double numerator = m - c; // exact, as in logDd
    const Dd denominator = twoSum(m, c);
    // s = numerator / denominator to about 100 bits: the quotient and its correction.
    const double sHi = numerator / denominator.hi;
    const Dd back = twoProduct(sHi, denominator.hi);
    const double sLo = (((numerator - back.hi) - back.lo) - sHi * denominator.lo) / denominator.hi;
    // 2 atanh(s) = 2s + 2s^3/3 + ... + 2s^9/9 (|s| < 0.0028: the next term is below 2^-78).
    const double z = sHi * sHi;
    const double tail = sHi * z * (2.0 / 3.0 + z * (2.0 / 5.0 + z * (2.0 / 7.0 + z * (2.0 / 9.0))));
    const double(&table)[2] = kLogTable[static_cast<int>(jd) - kLogFirst];
    const double k = e;
    // k ln 2 + ln c + 2s, the large parts summed exactly, the small ones in plain doubles.
    const Dd a = twoSum(k * kLn2Pieces[0], table[0]);
    const Dd b = twoSum(a.hi, 2.0 * sHi);
    const double small =
        a.lo + b.lo + (k * kLn2Pieces[1] + (k * kLn2Pieces[2] + table[1] + 2.0 * sLo + tail));
    return fastTwoSum(b.hi, small);
}

// e^t for a double-double t in [-120, 1], with a relative error below 2^-66 before the final
// rounding to one double.
double quickExp(Dd t) {
    const double k = std::nearbyint(t.hi * kInverseLn2);
    // t.hi - k p0 is exact as in expDd; the rest of k ln 2 goes into the low part, whose
    // rounding errors stay below 2^-88.
    const double rHi = t.hi - k * kLn2Pieces[0];
    const double rLo = (t.lo - k * kLn2Pieces[1]) - k * kLn2Pieces[2];
    const double md = std::nearbyint((rHi + rLo) * 128.0);
    const double uHi = rHi - md / 128.0; // exact: both are multiples of the ulp of t.hi
    const double u = uHi + rLo;          // |u| <= 1/256 + 2^-35
    // e^u - 1 - u to the term in u^7 (the next is below 2^-79).
    const double higher =
        u * u *
        (kInverseFactorial[2][0] +
         u * (kInverseFactorial[3][0] +
              u * (kInverseFactorial[4][0] +
                   u * (kInverseFactorial[5][0] +
                        u * (kInverseFactorial[6][0] + u * kInverseFactorial[7][0])))));
    Dd sum = fastTwoSum(1.0, uHi);
    sum.lo += rLo + higher;
    const Dd value = multiply(sum, constant(kExpTable[static_cast<int>(md) - kExpFirst]));
    return (value.hi + value.lo) * powerOfTwo(static_cast<int>(k));
}

} // namespace

float powToFloat(double x, double y) {
    // The short path takes normal positive bases and exponents small enough that y times the
    // logarithm's error stays below 2^-54; anything else, and any result it cannot place on
    // the float grid for certain, is pow's own.
    if (x >= 0x1p-1022 && x <= 0x1p1023 && x != 1.0 && std::fabs(y) <= 0x1p16) {
        const Dd log = quickLog(x);
        const Dd product = twoProduct(y, log.hi);
        const Dd t = fastTwoSum(product.hi, product.lo + y * log.lo);
        // Below e^-120 the power lies far under half the smallest float: it reads 0, and so
        // does pow's result (0 or a double below 2^-150) made a float.
        if (t.hi < -120.0) return 0.0f;
        if (t.hi <= 1.0) {
            // The estimate lies within 2^-51 of the true power, and pow's correctly rounded
            // result within 2^-52 of it: when the estimate widened by 2^-44 either way makes
            // one float, both make that float.
            const double estimate = quickExp(t);
            const float below = static_cast<float>(estimate * (1.0 - 0x1p-44));
            const float above = static_cast<float>(estimate * (1.0 + 0x1p-44));
            if (below == above) return below;
        }
    }
    return static_cast<float>(pow(x, y));
}

} // namespace portable
