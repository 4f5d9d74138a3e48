// put_fixed: f conversions of finite values of modest size, rendered from
// the exact binary value with the rounding the C library applies.
#include "message/direct.h"

#include <array>
#include <bit>
#include <cmath>
#include <langinfo.h>

namespace {

// An unsigned 128-bit number, which 32-bit targets lack: the exact product
// of a double's 53-bit significand and a power of ten.
struct Wide {
    std::uint64_t high;
    std::uint64_t low;

    static Wide product(std::uint64_t a, std::uint64_t b) {
        const std::uint64_t a0 = a & 0xffffffffu, a1 = a >> 32, b0 = b & 0xffffffffu, b1 = b >> 32;
        const std::uint64_t middle = (a0 * b0 >> 32) + (a1 * b0 & 0xffffffffu) + a0 * b1;
        return {a1 * b1 + (a1 * b0 >> 32) + (middle >> 32),
                (middle << 32) | (a0 * b0 & 0xffffffffu)};
    }

    bool bit(unsigned i) const {
        return i < 64 ? (low >> i & 1) != 0 : (high >> (i - 64) & 1) != 0;
    }

    // Whether any of the bits below i is set.
    bool any_below(unsigned i) const {
        if (i >= 64)
            return low != 0 || (i > 64 && (high << (128 - i)) != 0);
        return i > 0 && (low << (64 - i)) != 0;
    }

    // The low 64 bits of this shifted right by i (below 128).
    std::uint64_t shifted(unsigned i) const {
        if (i >= 64)
            return high >> (i - 64);
        return i == 0 ? low : (low >> i) | (high << (64 - i));
    }
};

// Precisions beyond this are left to the C library.
constexpr int fixed_precision_max = 17;

constexpr auto powers_of_ten = [] {
    std::array<std::uint64_t, fixed_precision_max + 1> powers{1};
    for (std::size_t i = 1; i < powers.size(); ++i)
        powers[i] = powers[i - 1] * 10;
    return powers;
}();

// Whether the floating-point unit rounds to nearest, the one mode that the
// fixed-point rendering follows; the C library honours the others.
bool rounds_to_nearest() {
    volatile double three_quarters = 0x1.8p-53, quarter = 0x1p-54;
    const volatile double up = 1.0 + three_quarters, down = 1.0 + quarter;
    return up == 1.0 + 0x1p-52 && down == 1.0;
}

// The magnitude of value times 10 to the precision, rounded to nearest with
// ties to even as the C library rounds the exact binary value; false when
// it would not stay below 10 to the 19th.
bool scaled_magnitude(double value, int precision, std::uint64_t &scaled) {
    const std::uint64_t power = powers_of_ten[static_cast<std::size_t>(precision)];
    const double magnitude = value < 0 ? -value : value;
    if (!(magnitude < 1e19 / static_cast<double>(power)))
        return false;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto biased = static_cast<int>(bits >> 52 & 0x7ff);
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << 52) - 1);
    const std::uint64_t significand = biased == 0 ? fraction : fraction | std::uint64_t{1} << 52;
    const int exponent = (biased == 0 ? 1 : biased) - 1075;
    if (exponent >= 0) { // an integer, and the product fits by the test above
        scaled = (significand << exponent) * power;
        return true;
    }
    const Wide product = Wide::product(significand, power);
    const auto shift = static_cast<unsigned>(-exponent);
    if (shift >= 128) { // below a half, as the product is below 2 to the 110th
        scaled = 0;
        return true;
    }
    scaled = product.shifted(shift);
    if (product.bit(shift - 1) && (product.any_below(shift - 1) || (scaled & 1) != 0))
        ++scaled;
    return true;
}

} // namespace

namespace intl::message {

INTL_INT put_fixed(Output &out, double value, const Field &field) {
    const int precision = field.precision < 0 ? 6 : static_cast<int>(field.precision);
    std::uint64_t scaled = 0;
    const char *point = nl_langinfo(RADIXCHAR);
    const std::size_t point_len = std::strlen(point);
    if (precision > fixed_precision_max || point_len > 8 ||
        !scaled_magnitude(value, precision, scaled) || !rounds_to_nearest())
        return needs_snprintf;
    char digits[48];
    char *const end = digits + sizeof digits;
    char *first = end;
    if (precision > 0) {
        const std::uint64_t power = powers_of_ten[static_cast<std::size_t>(precision)];
        first = put_decimal(scaled % power + power, end) + 1; // keeps leading zeros
        scaled /= power;
    }
    if (precision > 0 || field.has(Flag::hash)) {
        first -= point_len;
        std::memcpy(first, point, point_len);
    }
    first = put_decimal(scaled, first);
    const std::string_view sign = std::signbit(value)      ? "-"
                                  : field.has(Flag::plus)  ? "+"
                                  : field.has(Flag::space) ? " "
                                                           : "";
    const Body body{sign, 0, std::string_view(first, static_cast<std::size_t>(end - first))};
    const INTL_INT len = put_field(out, field, body, field.has(Flag::zero));
    if (len < 0)
        return len;
    out.advance(static_cast<std::size_t>(len));
    return 0;
}

} // namespace intl::message
