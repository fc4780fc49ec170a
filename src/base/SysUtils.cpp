#include "base/SysUtils.h"

#include <cstdarg>
#include <cstdio>
#include <limits>

std::string Format(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    int length = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    std::string result;
    if (length > 0) {
        result.resize(static_cast<size_t>(length) + 1);
        std::vsnprintf(result.data(), result.size(), format, args);
        result.resize(static_cast<size_t>(length));
    }
    va_end(args);
    return result;
}

namespace {

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool TryStrToInt(const std::string& text, int32_t& value)
{
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    size_t i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;

    int base = 10;
    bool negative = false;
    if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
        base = 16;
        ++i;
    } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    } else if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size())
        return false;

    // The magnitude may reach one past the maximum only for a negative decimal.
    const int64_t limit = negative ? kMax + 1 : kMax;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        int digit = base == 16 ? HexDigit(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
        if (digit < 0)
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return false;
    }
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    return true;
}

int32_t StrToInt(const std::string& text)
{
    int32_t value;
    if (!TryStrToInt(text, value))
        throw EConvertError("'" + text + "' is not a valid integer value");
    return value;
}

int32_t StrToIntDef(const std::string& text, int32_t defaultValue)
{
    int32_t value;
    return TryStrToInt(text, value) ? value : defaultValue;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string Trim(const std::string& text)
{
    size_t first = 0;
    size_t last = text.size();
    while (first < last && IsBlank(text[first]))
        ++first;
    while (last > first && IsBlank(text[last - 1]))
        --last;
    return text.substr(first, last - first);
}

bool SameText(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

const std::string* LastSwitch(const std::vector<std::string>& params, const std::string& name)
{
    const std::string* last = nullptr;
    for (const std::string& param : params) {
        if (param.size() < 1 + name.size() || (param[0] != '-' && param[0] != '/'))
            continue;
        const std::string rest = param.substr(1 + name.size());
        if (SameText(param.substr(1, name.size()), name) && (rest.empty() || rest[0] == ':'))
            last = &param;
    }
    return last;
}
