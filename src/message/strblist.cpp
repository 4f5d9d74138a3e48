// The argument-list formatter: intl_strblist and intl__strblist fill the
// numbered placeholders of a template from an array of argument records.
#include "frame/frame.h"
#include "message/direct.h"
#include "message/specifier.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace {

using intl::message::Direct;
using intl::message::Family;
using intl::message::Flag;
using intl::message::integer_of;
using intl::message::is_value_type;
using intl::message::LetterFacts;
using intl::message::Minimum;
using intl::message::Output;
using intl::message::Specifier;
using intl::message::takes;

// Placeholder numbers stop taking digits once they exceed this.
constexpr INTL_INT placeholder_digits_limit = 20;

// The temporary buffer of a conversion that snprintf renders: first its own
// bytes, enough for any number, so that only long texts pay for a heap
// buffer of their exact size, given back on every way out.
class Scratch {
  public:
    Scratch() = default;
    Scratch(const Scratch &) = delete;
    Scratch &operator=(const Scratch &) = delete;
    ~Scratch() { comn_free(heap_); }

    // Replaces the buffer by one of size bytes; false when none can be had.
    bool grow(std::size_t size) {
        comn_free(heap_);
        heap_ = static_cast<char *>(comn_malloc(static_cast<INTL_UINT>(size)));
        size_ = heap_ != nullptr ? size : 0;
        return heap_ != nullptr;
    }

    char *data() { return heap_ != nullptr ? heap_ : local_; }
    std::size_t size() const { return size_; }

  private:
    char local_[256];
    char *heap_ = nullptr;
    std::size_t size_ = sizeof local_;
};

// Copies the template's plain bytes up to the next "%" as far as they leave
// the terminator's byte.
void copy_plain_run(Output &out, std::string_view &rest) {
    const std::size_t run = intl::message::find_percent(
        {rest.data(), std::min(rest.size(), static_cast<std::size_t>(out.left - 1))});
    out.put(rest.data(), run);
    rest.remove_prefix(run);
}

// Consumes a placeholder's "%", number and closing byte; the number, 0 when
// no digit follows. Digits after a number above the limit stay text.
INTL_INT take_placeholder(std::string_view &rest) {
    rest.remove_prefix(1);
    INTL_INT number = 0;
    while (!rest.empty() && intl::is_digit(rest.front()) && number <= placeholder_digits_limit) {
        number = number * 10 + (rest.front() - '0');
        rest.remove_prefix(1);
    }
    if (!rest.empty())
        rest.remove_prefix(1);
    return number;
}

INTL_INT render_custom(Output &out, const INTL_ARGVAL &arg) {
    if (!is_value_type(arg.value_type))
        return INTL_E_DATATYPE;
    const INTL_FMT &entry = *arg.custom;
    if (entry.conversion == nullptr)
        return INTL_E_NOCONVERT;
    void *value = arg.value_type == INTL_T_PTR
                      ? arg.value.ptr_val
                      : const_cast<void *>(static_cast<const void *>(&arg.value));
    if (entry.conversion(entry.fmt, value, nullptr) > out.left - 1)
        return INTL_E_OVERFLOW;
    const INTL_INT status = entry.conversion(entry.fmt, value, out.pos);
    if (status < 0)
        return status;
    // A routine that wrote past its announcement must not move us past the end.
    const std::size_t len = intl::bounded_length(out.pos, static_cast<std::size_t>(out.left));
    if (!out.fits(len))
        return INTL_E_OVERFLOW;
    out.advance(len);
    return 0;
}

// The record's specifier text after its "%"; a NUL met by the scan is
// taken as the conversion and refused.
constexpr std::string_view body_of(const INTL_ARGVAL &arg) {
    return {arg.cvtspec + 1, sizeof arg.cvtspec - 1};
}

// False unless the record's text is one terminated C conversion whose stars
// and value the record supplies, since snprintf would otherwise read
// arguments it was never given. Flags and sizes that C leaves undefined for
// the letter pass: the C library renders them as it chooses.
bool well_formed(const INTL_ARGVAL &arg, const Specifier &parsed) {
    const std::size_t end = parsed.length + 1;
    return arg.cvtspec[0] == '%' && parsed.complete && takes(parsed.facts(), arg.value_type) &&
           parsed.stars == arg.numstars && end < body_of(arg).size() &&
           arg.cvtspec[end + 1] == '\0';
}

// Whether the specifier's width or literal precision alone makes the text
// longer than the space left. snprintf spends time (and, for floating
// point, memory) in proportion to these numbers before its length can be
// refused, so "%2147483647d" is refused up front, as a star value of that
// size is; so is a negative star width, a left-justified field as long as
// its magnitude. A precision sets a minimum length only where the letter's
// facts say so; elsewhere it may be larger than the text.
bool too_long(const Output &out, const INTL_ARGVAL &arg, const Specifier &parsed) {
    if (parsed.width.value > out.left - 1 || (parsed.width.star && -arg.stars[0] > out.left - 1))
        return true;
    if (parsed.precision.value <= out.left - 1)
        return false;
    const LetterFacts &facts = parsed.facts();
    switch (facts.minimum) {
    case Minimum::always:
        return true;
    case Minimum::non_null:
        return arg.value.ptr_val != nullptr;
    case Minimum::finite:
        return std::isfinite(arg.value.doubleval) &&
               (!facts.significant_digits || (parsed.flags & Flag::hash) != 0);
    default:
        return false;
    }
}

// From this precision on, g and G without '#' print every significant digit
// of a double (767 at most) in the style that its exponent alone decides,
// so a larger precision renders exactly as this one does, which the C
// library works through far faster and in far less memory.
constexpr INTL_INT g_precision_cap = 1100;
constexpr std::string_view g_precision_cap_text = "1100";

// The record's specifier text, or for g and G without '#' and a literal
// precision above the cap a copy with the cap in its place (fewer digits,
// so the copy fits the field).
const char *format_text(const INTL_ARGVAL &arg, const Specifier &parsed, char (&copy)[21]) {
    if (!parsed.facts().significant_digits)
        return arg.cvtspec;
    if ((parsed.flags & Flag::hash) != 0 || parsed.precision.value <= g_precision_cap)
        return arg.cvtspec;
    // Both offsets lie inside the text, after its "%"; views made by hand
    // keep the checked substr, and with it the C++ runtime, out of the
    // library.
    const std::string_view head(arg.cvtspec, parsed.precision.at + 1);
    const std::string_view tail(arg.cvtspec + parsed.precision.end + 1);
    char *at = copy;
    for (std::string_view piece : {head, g_precision_cap_text, tail}) {
        std::memcpy(at, piece.data(), piece.size());
        at += piece.size();
    }
    *at = '\0';
    return copy;
}

// snprintf with the record's stars and then one value; the length of the
// full rendering, or negative when the C library refuses it.
template <class T>
int format_with_stars(Scratch &buf, const INTL_ARGVAL &arg, const char *fmt, T value) {
    switch (arg.numstars) {
    case 0:
        return std::snprintf(buf.data(), buf.size(), fmt, value);
    case 1:
        return std::snprintf(buf.data(), buf.size(), fmt, arg.stars[0], value);
    default:
        return std::snprintf(buf.data(), buf.size(), fmt, arg.stars[0], arg.stars[1], value);
    }
}

// Hands snprintf the type its conversion letter reads. Longs carry 32 bits on
// every platform, so "l" values are widened from 32 bits by the letter's sign.
int format_value(Scratch &buf, const INTL_ARGVAL &arg, const Specifier &parsed) {
    const bool is_long = parsed.size == 'l';
    char copy[sizeof arg.cvtspec];
    const char *fmt = format_text(arg, parsed, copy);
    const Family family = parsed.facts().family;
    switch (family) {
    case Family::floating:
        return format_with_stars(buf, arg, fmt, arg.value.doubleval);
    case Family::pointer:
        return format_with_stars(buf, arg, fmt, arg.value.ptr_val);
    case Family::text:
        if (is_long)
            return format_with_stars(buf, arg, fmt,
                                     static_cast<const wchar_t *>(arg.value.ptr_val));
        return format_with_stars(buf, arg, fmt, static_cast<const char *>(arg.value.ptr_val));
    case Family::unsigned_int: {
        const auto value = static_cast<std::uint32_t>(integer_of(arg));
        if (is_long)
            return format_with_stars(buf, arg, fmt, static_cast<unsigned long>(value));
        return format_with_stars(buf, arg, fmt, static_cast<unsigned>(value));
    }
    default: { // signed integers and characters; counts never come here
        const auto value = static_cast<std::int32_t>(integer_of(arg));
        if (is_long && family == Family::character)
            return format_with_stars(buf, arg, fmt, static_cast<wint_t>(value));
        if (is_long)
            return format_with_stars(buf, arg, fmt, static_cast<long>(value));
        return format_with_stars(buf, arg, fmt, static_cast<int>(value));
    }
    }
}

// Renders through snprintf into a temporary buffer and copies the text, up to
// its first zero byte, to the output.
INTL_INT render_formatted(Output &out, const INTL_ARGVAL &arg, const Specifier &parsed) {
    Scratch buf;
    const int full = format_value(buf, arg, parsed);
    if (full < 0)
        return INTL_E_FORMATSYNTAX;
    if (!out.fits(static_cast<std::size_t>(full)))
        return INTL_E_OVERFLOW;
    if (static_cast<std::size_t>(full) >= buf.size()) {
        if (!buf.grow(static_cast<std::size_t>(full) + 1))
            return INTL_E_NOMEM;
        if (format_value(buf, arg, parsed) < 0)
            return INTL_E_FORMATSYNTAX;
    }
    out.put(buf.data(), intl::bounded_length(buf.data(), static_cast<std::size_t>(full)));
    return 0;
}

// A count conversion renders nothing; it stores the count a rendering of this
// conversion alone yields, 0, in the width its size letter names.
void store_count(const INTL_ARGVAL &arg, char size) {
    void *target = arg.value.ptr_val;
    if (target == nullptr)
        return;
    if (size == 'h')
        *static_cast<short *>(target) = 0;
    else if (size == 'l')
        *static_cast<long *>(target) = 0;
    else
        *static_cast<int *>(target) = 0;
}

// A conversion letter alone ("%d", "%s", "%f") that the library renders
// itself, with a value of its type, the common case, needs none of the checks
// that flags, width, precision, size and stars call for; false for any other
// record.
bool is_bare(const INTL_ARGVAL &arg) {
    if (arg.numstars != 0 || arg.cvtspec[0] != '%' || arg.cvtspec[2] != '\0')
        return false;
    const LetterFacts &facts = intl::message::facts_of(arg.cvtspec[1]);
    return facts.direct != Direct::none && takes(facts, arg.value_type) &&
           (facts.family != Family::text || arg.value.ptr_val != nullptr);
}

// Renders directly where the library can, through snprintf otherwise.
INTL_INT render_parsed(Output &out, const INTL_ARGVAL &arg, const Specifier &parsed) {
    const INTL_INT direct = intl::message::render_direct(out, arg, parsed);
    return direct != intl::message::needs_snprintf ? direct : render_formatted(out, arg, parsed);
}

// A text is measured in full before anything is written, even where a
// precision would cut it short; one without a field is copied as it is.
INTL_INT render_text(Output &out, const INTL_ARGVAL &arg, const Specifier &parsed) {
    const auto *text = static_cast<const char *>(arg.value.ptr_val);
    const std::size_t len = intl::bounded_length(text, static_cast<std::size_t>(out.left));
    if (!out.fits(len))
        return INTL_E_OVERFLOW;
    if (parsed.length != 0)
        return render_parsed(out, arg, parsed);
    out.put(text, len);
    return 0;
}

// Renders a bare conversion.
INTL_INT render_bare(Output &out, const INTL_ARGVAL &arg) {
    Specifier parsed;
    parsed.complete = true;
    parsed.conversion = arg.cvtspec[1];
    return parsed.facts().family == Family::text ? render_text(out, arg, parsed)
                                                 : render_parsed(out, arg, parsed);
}

INTL_INT render_standard(Output &out, const INTL_ARGVAL &arg) {
    if (is_bare(arg))
        return render_bare(out, arg);
    if (arg.numstars >= 1 && arg.stars[0] > out.left - 1)
        return INTL_E_OVERFLOW;
    if (arg.numstars >= 2 && arg.stars[1] > out.left - 1)
        return INTL_E_OVERFLOW;
    if (!is_value_type(arg.value_type))
        return INTL_E_DATATYPE;
    if (arg.numstars < 0 || arg.numstars > 2)
        return INTL_E_STARS;
    const Specifier parsed = intl::message::scan_specifier(body_of(arg), intl::message::Grammar::c);
    if (!well_formed(arg, parsed))
        return INTL_E_FORMATSYNTAX;
    // A width of INT32_MIN has no magnitude; the C library refuses it, after
    // seconds of padding.
    if (parsed.width.star && arg.stars[0] == INT32_MIN)
        return INTL_E_FORMATSYNTAX;
    // Whatever its flags, width and precision, a count renders nothing.
    const Family family = parsed.facts().family;
    if (family == Family::count) {
        store_count(arg, parsed.size);
        return 0;
    }
    if (too_long(out, arg, parsed))
        return INTL_E_OVERFLOW;
    if (family == Family::text && arg.numstars == 0 && arg.value.ptr_val != nullptr)
        return render_text(out, arg, parsed);
    return render_parsed(out, arg, parsed);
}

} // namespace

extern "C" {

INTL_INT intl__strblist(char *charbuf, INTL_INT bufsize, const char *text, INTL_INT textlen,
                        const INTL_ARGVAL *arglist, INTL_INT numargs) {
    if (charbuf == nullptr)
        return INTL_E_NULLBUF;
    if (bufsize < 1)
        return INTL_E_BUFLEN;
    if (text == nullptr || textlen < 1)
        return INTL_E_NOTEXT;
    if (arglist == nullptr)
        return INTL_E_NOARGVAL;
    if (numargs < 0)
        return INTL_E_NEGARGS;

    Output out{charbuf, bufsize};
    std::string_view rest(text, static_cast<std::size_t>(textlen));
    while (!rest.empty()) {
        if (out.left < 2)
            return INTL_E_OVERFLOW;
        copy_plain_run(out, rest);
        if (rest.empty())
            break;
        if (out.left < 2)
            return INTL_E_OVERFLOW;
        if (rest.size() > 1 && rest[1] == '%') {
            out.put("%", 1);
            rest.remove_prefix(2);
            continue;
        }
        const INTL_INT number = take_placeholder(rest);
        if (number < 1 || number > numargs)
            return INTL_E_PLACEHOLDER;
        const INTL_ARGVAL &arg = arglist[number - 1];
        const INTL_INT status =
            arg.custom != nullptr ? render_custom(out, arg) : render_standard(out, arg);
        if (status < 0)
            return status;
    }
    *out.pos = '\0';
    return static_cast<INTL_INT>(out.pos - charbuf);
}

INTL_INT intl_strblist(char *charbuf, INTL_INT bufsize, const char *text,
                       const INTL_ARGVAL *arglist, INTL_INT numargs) {
    // A null template is measured as empty; the formatter's checks decide.
    const std::size_t len = text != nullptr ? std::strlen(text) : 0;
    const auto textlen = static_cast<INTL_INT>(std::min<std::size_t>(len, INT32_MAX));
    return intl__strblist(charbuf, bufsize, text, textlen, arglist, numargs);
}
}
