#include "NumericText.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace mirvok {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// The parts of the number found at the start of a text.
struct NumberSpan {
    std::size_t begin = 0;  // first character after the sign
    std::size_t end = 0;    // one past the last character of the number
    bool negative = false;
    // Decimal order of the first non-zero mantissa digit (0 for units, -1 for
    // tenths) plus the exponent; tells overflow from underflow.
    long long order = 0;
};

constexpr long long kExponentCap = 100000;  // far beyond any double

// Finds "[+-]digits[.digits][(e|E)[+-]digits]" after leading blanks; end == begin
// when there is no number. The exponent counts only when digits follow it.
NumberSpan FindNumber(const std::string& text) {
    NumberSpan span;
    std::size_t i = 0;
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        span.negative = text[i] == '-';
        ++i;
    }
    span.begin = span.end = i;
    std::size_t mantissaDigits = 0;
    bool seenNonZero = false;
    long long integerDigits = 0;
    long long firstNonZeroIndex = 0;
    while (i < text.size() && IsDigit(text[i])) {
        if (!seenNonZero && text[i] != '0') {
            seenNonZero = true;
            firstNonZeroIndex = integerDigits;
        }
        ++integerDigits;
        ++mantissaDigits;
        ++i;
    }
    if (seenNonZero) span.order = integerDigits - 1 - firstNonZeroIndex;
    if (i < text.size() && text[i] == '.') {
        ++i;
        long long fractionDigits = 0;
        while (i < text.size() && IsDigit(text[i])) {
            ++fractionDigits;
            if (!seenNonZero && text[i] != '0') {
                seenNonZero = true;
                span.order = -fractionDigits;
            }
            ++mantissaDigits;
            ++i;
        }
    }
    if (mantissaDigits == 0) return span;
    span.end = i;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            long long exponent = 0;
            while (j < text.size() && IsDigit(text[j])) {
                exponent = std::min(kExponentCap, exponent * 10 + (text[j] - '0'));
                ++j;
            }
            span.end = j;
            span.order += negativeExponent ? -exponent : exponent;
        }
    }
    return span;
}

}  // namespace

double NumericValue(const std::string& text) {
    const NumberSpan span = FindNumber(text);
    if (span.end == span.begin) return 0.0;
    const char* first = text.data() + span.begin;
    const char* last = text.data() + span.end;
    double magnitude = 0.0;
    const auto result = std::from_chars(first, last, magnitude);
    if (result.ec == std::errc::result_out_of_range) {
        // Beyond a double: far above one it overflows, far below it underflows.
        magnitude = span.order > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return span.negative ? -magnitude : magnitude;
}

std::int16_t RoundToInt16(double value) {
    constexpr double kMin = std::numeric_limits<std::int16_t>::min();
    constexpr double kMax = std::numeric_limits<std::int16_t>::max();
    if (std::isnan(value)) return 0;
    double rounded = value;
    if (std::isfinite(value)) {
        rounded = std::floor(value);
        const double fraction = value - rounded;
        if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) rounded += 1.0;
    }
    if (rounded < kMin) return static_cast<std::int16_t>(kMin);
    if (rounded > kMax) return static_cast<std::int16_t>(kMax);
    return static_cast<std::int16_t>(rounded);
}

}  // namespace mirvok
