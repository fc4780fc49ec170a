#pragma once
// The XML-RPC calls the rig programs' clients send, read from a request's body:
// a methodCall with its methodName and params, each a value of the few types
// they use (i4/int, double, boolean, string or bare text, arrays). Written for
// the port, small on purpose: no DOCTYPE, no entities but the five predefined
// and numeric references, no CDATA, nesting bounded. Replies are written here
// too, in the form those clients read (strings as bare text in <value>).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace XmlRpc {
// Elements inside one another, the methodCall counted.
constexpr int kMaxDepth = 24;
// Elements in one call: a 64 KiB body holds no more of any use.
constexpr size_t kMaxElements = 4096;
} // namespace XmlRpc

struct TXmlRpcValue {
    enum class TKind { Int, Double, Boolean, String, Array };
    TKind Kind = TKind::String;
    int32_t Int = 0; // also a boolean's 0 or 1
    double Double = 0;
    std::string String;
    std::vector<TXmlRpcValue> Array;

    static TXmlRpcValue OfInt(int32_t value);
    static TXmlRpcValue OfDouble(double value);
    static TXmlRpcValue OfString(std::string value);
    static TXmlRpcValue OfArray(std::vector<TXmlRpcValue> values);
};

struct TXmlRpcCall {
    std::string Method;
    std::vector<TXmlRpcValue> Params;
};

// The call a body holds, or none with why in error (the fault's text).
std::optional<TXmlRpcCall> ParseXmlRpcCall(std::string_view body, std::string& error);

// A methodResponse of one value, or of a fault, each ending in CRLF after
// </methodResponse>: hamlib's client reads lines until that end tag.
std::string XmlRpcResponse(const TXmlRpcValue& value);
std::string XmlRpcFault(int code, std::string_view text);
