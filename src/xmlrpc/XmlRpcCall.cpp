#include "xmlrpc/XmlRpcCall.h"

#include <charconv>
#include <cstdlib>
#include <utility>

namespace {

// One element of the body: its name, its text (entities decoded, the pieces
// between children joined) and its children, by index into the parse.
struct TElement {
    std::string Name;
    std::string Text;
    std::vector<size_t> Children;
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '.' ||
           c == ':' || c == '-';
}

bool IsBlank(std::string_view text)
{
    for (char c : text)
        if (!IsSpace(c))
            return false;
    return true;
}

std::string_view Trimmed(std::string_view text)
{
    while (!text.empty() && IsSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

void AppendUtf8(std::string& out, uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

class TParser {
public:
    TParser(std::string_view text, std::string& error) : FText(text), FError(error) {}

    // The root element's index, or none.
    std::optional<size_t> Document()
    {
        if (!SkipMisc())
            return std::nullopt;
        if (!At("<"))
            return Fail("no element");
        const std::optional<size_t> root = Element(1);
        if (!root || !SkipMisc())
            return std::nullopt;
        if (FAt != FText.size())
            return Fail("text after the call");
        return root;
    }

    const TElement& operator[](size_t index) const { return FElements[index]; }

private:
    std::nullopt_t Fail(const char* why)
    {
        if (FError.empty())
            FError = why;
        return std::nullopt;
    }
    bool At(std::string_view what) const { return FText.substr(FAt).starts_with(what); }
    // Past "end"; false when it never comes.
    bool SkipPast(std::string_view end)
    {
        const size_t found = FText.find(end, FAt);
        if (found == std::string_view::npos)
            return Fail("unended markup"), false;
        FAt = found + end.size();
        return true;
    }
    // Comments and processing instructions (hamlib sends one of its own
    // before the call); a declaration, DOCTYPE or CDATA is refused.
    bool SkipMarkup(bool& skipped)
    {
        skipped = true;
        if (At("<!--"))
            return SkipPast("-->");
        if (At("<?"))
            return SkipPast("?>");
        if (At("<!"))
            return Fail("declarations, DOCTYPE and CDATA are not taken"), false;
        skipped = false;
        return true;
    }
    bool SkipMisc()
    {
        for (;;) {
            while (FAt < FText.size() && IsSpace(FText[FAt]))
                ++FAt;
            bool skipped = false;
            if (!SkipMarkup(skipped))
                return false;
            if (!skipped)
                return true;
        }
    }
    std::string_view Name()
    {
        const size_t start = FAt;
        while (FAt < FText.size() && IsNameChar(FText[FAt]))
            ++FAt;
        return FText.substr(start, FAt - start);
    }
    // Attributes are let be: the callers send none that matter.
    bool SkipAttributes()
    {
        while (FAt < FText.size() && FText[FAt] != '>' && FText[FAt] != '/') {
            const char c = FText[FAt++];
            if (c == '"' || c == '\'') {
                const size_t end = FText.find(c, FAt);
                if (end == std::string_view::npos || FText.substr(FAt, end - FAt).find('<') != std::string_view::npos)
                    return Fail("a malformed attribute"), false;
                FAt = end + 1;
            } else if (c == '<') {
                return Fail("a malformed tag"), false;
            }
        }
        return FAt < FText.size();
    }
    // A reference after its '&': the five predefined and numeric ones.
    bool Reference(std::string& out)
    {
        const size_t end = FText.find(';', FAt);
        if (end == std::string_view::npos || end - FAt > 10)
            return Fail("an unended reference"), false;
        const std::string_view name = FText.substr(FAt, end - FAt);
        FAt = end + 1;
        static constexpr std::pair<std::string_view, char> kNamed[] = {
            {"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"quot", '"'}, {"apos", '\''}};
        for (const auto& [entity, c] : kNamed)
            if (name == entity) {
                out += c;
                return true;
            }
        if (name.size() < 2 || name[0] != '#')
            return Fail("entities other than the predefined are not taken"), false;
        const bool hex = name[1] == 'x';
        const std::string_view digits = name.substr(hex ? 2 : 1);
        uint32_t code = 0;
        const auto [ptr, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), code, hex ? 16 : 10);
        if (digits.empty() || ec != std::errc() || ptr != digits.data() + digits.size() || code == 0 ||
            code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return Fail("a malformed character reference"), false;
        AppendUtf8(out, code);
        return true;
    }
    // The element at '<', and all inside it.
    std::optional<size_t> Element(int depth)
    {
        if (depth > XmlRpc::kMaxDepth)
            return Fail("nested too deep");
        if (FElements.size() == XmlRpc::kMaxElements)
            return Fail("too many elements");
        ++FAt;
        const size_t index = FElements.size();
        FElements.emplace_back();
        FElements[index].Name = Name();
        if (FElements[index].Name.empty() || !SkipAttributes())
            return Fail("a malformed tag");
        if (At("/>")) {
            FAt += 2;
            return index;
        }
        if (!At(">"))
            return Fail("a malformed tag");
        ++FAt;
        for (;;) {
            if (FAt == FText.size())
                return Fail("an element not closed");
            const char c = FText[FAt];
            if (c == '&') {
                ++FAt;
                if (!Reference(FElements[index].Text))
                    return std::nullopt;
            } else if (c != '<') {
                FElements[index].Text += c;
                ++FAt;
            } else if (At("</")) {
                FAt += 2;
                if (Name() != FElements[index].Name)
                    return Fail("a closing tag of another element");
                while (FAt < FText.size() && IsSpace(FText[FAt]))
                    ++FAt;
                if (!At(">"))
                    return Fail("a malformed closing tag");
                ++FAt;
                return index;
            } else {
                bool skipped = false;
                if (!SkipMarkup(skipped))
                    return std::nullopt;
                if (!skipped) {
                    const std::optional<size_t> child = Element(depth + 1);
                    if (!child)
                        return std::nullopt;
                    FElements[index].Children.push_back(*child);
                }
            }
        }
    }

    std::string_view FText;
    std::string& FError;
    size_t FAt = 0;
    std::vector<TElement> FElements;
};

bool ParseInt(std::string_view text, int32_t& value)
{
    text = Trimmed(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && ec == std::errc() && ptr == text.data() + text.size();
}

// A decimal number as the clients write it ("7074000", "7074000.000000",
// "-1.5", "1e3"); nothing that is not one.
bool ParseDouble(std::string_view text, double& value)
{
    text = Trimmed(text);
    if (text.empty() || text.size() > 64)
        return false;
    size_t i = 0;
    auto digits = [&] {
        const size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            ++i;
        return i - start;
    };
    if (text[i] == '+' || text[i] == '-')
        ++i;
    size_t count = digits();
    if (i < text.size() && text[i] == '.') {
        ++i;
        count += digits();
    }
    if (count == 0)
        return false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            ++i;
        if (digits() == 0)
            return false;
    }
    if (i != text.size())
        return false;
    const std::string copy(text);
    char* end = nullptr;
    value = std::strtod(copy.c_str(), &end);
    return end == copy.c_str() + copy.size();
}

class TReader {
public:
    TReader(const TParser& parser, std::string& error) : FParser(parser), FError(error) {}

    std::optional<TXmlRpcValue> Value(const TElement& value)
    {
        if (value.Name != "value")
            return Fail("a param or array item that is no value");
        if (value.Children.empty())
            return TXmlRpcValue::OfString(value.Text);
        if (value.Children.size() != 1 || !IsBlank(value.Text))
            return Fail("a value of more than one item");
        const TElement& typed = FParser[value.Children[0]];
        const std::string& type = typed.Name;
        if (type == "array")
            return Array(typed);
        if (!typed.Children.empty())
            return Fail("a malformed value");
        TXmlRpcValue result;
        if (type == "i4" || type == "int") {
            result.Kind = TXmlRpcValue::TKind::Int;
            if (!ParseInt(typed.Text, result.Int))
                return Fail("an integer that is none");
        } else if (type == "boolean") {
            result.Kind = TXmlRpcValue::TKind::Boolean;
            const std::string_view text = Trimmed(typed.Text);
            if (text != "0" && text != "1")
                return Fail("a boolean that is none");
            result.Int = text == "1" ? 1 : 0;
        } else if (type == "double") {
            result.Kind = TXmlRpcValue::TKind::Double;
            if (!ParseDouble(typed.Text, result.Double))
                return Fail("a double that is none");
        } else if (type == "string") {
            result.String = typed.Text;
        } else {
            return Fail("values of this type are not taken");
        }
        return result;
    }

private:
    std::nullopt_t Fail(const char* why)
    {
        if (FError.empty())
            FError = why;
        return std::nullopt;
    }
    std::optional<TXmlRpcValue> Array(const TElement& array)
    {
        if (array.Children.size() != 1 || !IsBlank(array.Text) || FParser[array.Children[0]].Name != "data")
            return Fail("a malformed array");
        const TElement& data = FParser[array.Children[0]];
        if (!IsBlank(data.Text))
            return Fail("a malformed array");
        TXmlRpcValue result;
        result.Kind = TXmlRpcValue::TKind::Array;
        for (size_t child : data.Children) {
            std::optional<TXmlRpcValue> item = Value(FParser[child]);
            if (!item)
                return std::nullopt;
            result.Array.push_back(std::move(*item));
        }
        return result;
    }

    const TParser& FParser;
    std::string& FError;
};

bool IsMethodName(std::string_view name)
{
    if (name.empty() || name.size() > 64)
        return false;
    for (char c : name)
        if (!IsNameChar(c) && c != '/')
            return false;
    return true;
}

void AppendEscaped(std::string& out, std::string_view text)
{
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        default: out += c;
        }
    }
}

void AppendValue(std::string& out, const TXmlRpcValue& value)
{
    out += "<value>";
    switch (value.Kind) {
    case TXmlRpcValue::TKind::Int:
        out += "<i4>" + std::to_string(value.Int) + "</i4>";
        break;
    case TXmlRpcValue::TKind::Boolean:
        out += value.Int ? "<boolean>1</boolean>" : "<boolean>0</boolean>";
        break;
    case TXmlRpcValue::TKind::Double: {
        char text[32];
        const auto [end, ec] = std::to_chars(text, text + sizeof(text), value.Double);
        out += "<double>" + std::string(text, ec == std::errc() ? end : text) + "</double>";
        break;
    }
    case TXmlRpcValue::TKind::String:
        // Bare text: hamlib's client reads no <string> element.
        AppendEscaped(out, value.String);
        break;
    case TXmlRpcValue::TKind::Array:
        out += "<array><data>";
        for (const TXmlRpcValue& item : value.Array)
            AppendValue(out, item);
        out += "</data></array>";
        break;
    }
    out += "</value>";
}

constexpr const char kHead[] = "<?xml version=\"1.0\"?>\r\n<methodResponse>";
constexpr const char kTail[] = "</methodResponse>\r\n";

} // namespace

TXmlRpcValue TXmlRpcValue::OfInt(int32_t value)
{
    TXmlRpcValue result;
    result.Kind = TKind::Int;
    result.Int = value;
    return result;
}

TXmlRpcValue TXmlRpcValue::OfDouble(double value)
{
    TXmlRpcValue result;
    result.Kind = TKind::Double;
    result.Double = value;
    return result;
}

TXmlRpcValue TXmlRpcValue::OfString(std::string value)
{
    TXmlRpcValue result;
    result.String = std::move(value);
    return result;
}

TXmlRpcValue TXmlRpcValue::OfArray(std::vector<TXmlRpcValue> values)
{
    TXmlRpcValue result;
    result.Kind = TKind::Array;
    result.Array = std::move(values);
    return result;
}

std::optional<TXmlRpcCall> ParseXmlRpcCall(std::string_view body, std::string& error)
{
    error.clear();
    TParser parser(body, error);
    const std::optional<size_t> rootIndex = parser.Document();
    if (!rootIndex)
        return std::nullopt;
    const TElement& root = parser[*rootIndex];
    if (root.Name != "methodCall" || !IsBlank(root.Text) || root.Children.empty() ||
        root.Children.size() > 2) {
        error = "no methodCall";
        return std::nullopt;
    }
    const TElement& name = parser[root.Children[0]];
    const std::string_view method = Trimmed(name.Text);
    if (name.Name != "methodName" || !name.Children.empty() || !IsMethodName(method)) {
        error = "no methodName";
        return std::nullopt;
    }
    TXmlRpcCall call;
    call.Method = method;
    if (root.Children.size() == 2) {
        const TElement& params = parser[root.Children[1]];
        if (params.Name != "params" || !IsBlank(params.Text)) {
            error = "malformed params";
            return std::nullopt;
        }
        TReader reader(parser, error);
        for (size_t index : params.Children) {
            const TElement& param = parser[index];
            if (param.Name != "param" || param.Children.size() != 1 || !IsBlank(param.Text)) {
                error = "a malformed param";
                return std::nullopt;
            }
            std::optional<TXmlRpcValue> value = reader.Value(parser[param.Children[0]]);
            if (!value)
                return std::nullopt;
            call.Params.push_back(std::move(*value));
        }
    }
    return call;
}

std::string XmlRpcResponse(const TXmlRpcValue& value)
{
    std::string out = kHead;
    out += "<params><param>";
    AppendValue(out, value);
    out += "</param></params>";
    return out + kTail;
}

std::string XmlRpcFault(int code, std::string_view text)
{
    std::string out = kHead;
    out += "<fault><value><struct><member><name>faultCode</name><value><i4>" + std::to_string(code) +
           "</i4></value></member><member><name>faultString</name><value>";
    AppendEscaped(out, text);
    out += "</value></member></struct></value></fault>";
    return out + kTail;
}
