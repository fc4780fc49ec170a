#pragma once
// Strings, integer conversion and the program's exception classes.

#include <cstdint>
#include <exception>
#include <string>
#include <vector>

// Every error the program reports carries its message text; one class per kind
// of error that some handler tells apart.
class Exception : public std::exception {
public:
    explicit Exception(std::string message) : FMessage(std::move(message)) {}
    const std::string& Message() const noexcept { return FMessage; }
    const char* what() const noexcept override { return FMessage.c_str(); }

private:
    std::string FMessage;
};

class EConvertError : public Exception {
    using Exception::Exception;
};

class EInvalidOperation : public Exception {
    using Exception::Exception;
};

// A failed OLE or system call, with its HRESULT.
class EOleError : public Exception {
public:
    EOleError(std::string message, int32_t errorCode) : Exception(std::move(message)), FErrorCode(errorCode) {}
    int32_t ErrorCode() const noexcept { return FErrorCode; }

private:
    int32_t FErrorCode;
};

class ERegistryException : public Exception {
    using Exception::Exception;
};

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// The one text-to-integer rule: leading characters 0 to 32 skipped, then either
// a hexadecimal number after "$", "x", "X", "0x" or "0X", or an optional sign and
// decimal digits, up to the end of the text; the value must fit a signed 32-bit
// integer.
bool TryStrToInt(const std::string& text, int32_t& value);
// Raises EConvertError "'%s' is not a valid integer value".
int32_t StrToInt(const std::string& text);
int32_t StrToIntDef(const std::string& text, int32_t defaultValue);

std::string IntToStr(int64_t value);

// Removes leading and trailing characters 0 to 32 (blanks and control characters).
std::string Trim(const std::string& text);

// Compares case-insensitively in ASCII, as names of components and properties are.
bool SameText(const std::string& a, const std::string& b);

// The last command-line parameter that is exactly the switch name ("/name"
// or "-name", any case), with or without ":VALUE"; null when there is none.
const std::string* LastSwitch(const std::vector<std::string>& params, const std::string& name);
