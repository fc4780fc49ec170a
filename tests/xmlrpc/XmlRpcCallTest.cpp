// The XML-RPC subset the port reads: the calls its clients send, and what it
// refuses (DOCTYPE and entities, malformed markup, nesting past the bound).
#include <gtest/gtest.h>

#include <string>

#include "xmlrpc/XmlRpcCall.h"

namespace {

std::string Call(const std::string& method, const std::string& params = "")
{
    return "<?xml version=\"1.0\"?>\r\n<methodCall><methodName>" + method + "</methodName>\r\n" + params +
           "</methodCall>\r\n";
}

std::string Param(const std::string& value) { return "<params><param>" + value + "</param></params>"; }

using TKind = TXmlRpcValue::TKind;

TEST(XmlRpcCallTest, TheCallsTheClientsSend)
{
    const struct {
        std::string Body;
        const char* Method;
        TKind Kind;
        std::string Text; // a string's; a number's as written back
    } cases[] = {
        // hamlib's model 4, with the processing instruction it puts first.
        {"<?xml version=\"1.0\"?>\r\n<?clientid=\"hamlib(41188)\"?>\r\n<methodCall><methodName>rig.set_vfoA"
         "</methodName>\r\n<params><param><value><double>7074000</double></value></param></params></methodCall>\r\n",
         "rig.set_vfoA", TKind::Double, "7074000"},
        {Call("rig.set_vfoB", Param("<value><double>7075000.000000</double></value>")), "rig.set_vfoB",
         TKind::Double, "7075000"},
        {Call("rig.set_modeA", Param("<value>USB-D</value>")), "rig.set_modeA", TKind::String, "USB-D"},
        {Call("rig.set_ptt", Param("<value><i4>1</i4></value>")), "rig.set_ptt", TKind::Int, "1"},
        {Call("rig.set_split", Param("<value><int>-0</int></value>")), "rig.set_split", TKind::Int, "0"},
        {Call("rig.set_split", Param("<value><boolean>1</boolean></value>")), "rig.set_split", TKind::Boolean, "1"},
        // fldigi's XmlRpc++ writes strings in their element.
        {Call("rig.set_mode", Param("<value><string>CW</string></value>")), "rig.set_mode", TKind::String, "CW"},
        {Call("rig.set_mode", Param("<value>&lt;&amp;&gt;&quot;&apos;&#65;&#x42;&#xe9;</value>")), "rig.set_mode",
         TKind::String, "<&>\"'AB\xc3\xa9"},
        {Call("rig.set_mode", Param("<value> two words </value>")), "rig.set_mode", TKind::String, " two words "},
        {Call("rig.set_mode", Param("<value/>")), "rig.set_mode", TKind::String, ""},
        {"<methodCall><!-- a comment --><methodName> main.get_version </methodName></methodCall>",
         "main.get_version", TKind::String, ""},
        {Call("rig.set_vfo", Param("<value>\n  <double> 1e3 </double>\n</value>")), "rig.set_vfo", TKind::Double,
         "1000"},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto call = ParseXmlRpcCall(c.Body, error);
        ASSERT_TRUE(call) << c.Body << ": " << error;
        EXPECT_EQ(call->Method, c.Method);
        if (c.Text.empty() && c.Kind == TKind::String && std::string(c.Method) == "main.get_version") {
            EXPECT_TRUE(call->Params.empty());
            continue;
        }
        ASSERT_EQ(call->Params.size(), 1u) << c.Body;
        const TXmlRpcValue& value = call->Params[0];
        EXPECT_EQ(value.Kind, c.Kind) << c.Body;
        if (value.Kind == TKind::String)
            EXPECT_EQ(value.String, c.Text);
        else if (value.Kind == TKind::Double)
            EXPECT_EQ(value.Double, std::stod(c.Text));
        else
            EXPECT_EQ(value.Int, std::stoi(c.Text));
    }
}

TEST(XmlRpcCallTest, ArraysNestWithinTheBound)
{
    std::string error;
    const auto call = ParseXmlRpcCall(
        Call("x", Param("<value><array><data><value>a</value><value><i4>2</i4></value>"
                        "<value><array><data/></array></value></data></array></value>")),
        error);
    ASSERT_TRUE(call) << error;
    const TXmlRpcValue& array = call->Params[0];
    ASSERT_EQ(array.Kind, TKind::Array);
    ASSERT_EQ(array.Array.size(), 3u);
    EXPECT_EQ(array.Array[0].String, "a");
    EXPECT_EQ(array.Array[1].Int, 2);
    EXPECT_TRUE(array.Array[2].Array.empty());

    // methodCall, params, param are three; each array two more with its value.
    auto nested = [](int arrays) {
        std::string value = "<value>x</value>";
        for (int i = 0; i < arrays; ++i)
            value = "<value><array><data>" + value + "</data></array></value>";
        return Call("x", Param(value));
    };
    const int fits = (XmlRpc::kMaxDepth - 4) / 3;
    EXPECT_TRUE(ParseXmlRpcCall(nested(fits), error)) << error;
    EXPECT_FALSE(ParseXmlRpcCall(nested(fits + 1), error));
    EXPECT_EQ(error, "nested too deep");
    // Deep nesting of any elements, far past the bound: refused, no stack overflow.
    std::string deep;
    for (int i = 0; i < 20000; ++i)
        deep += "<a>";
    EXPECT_FALSE(ParseXmlRpcCall("<methodCall>" + deep, error));
    EXPECT_EQ(error, "nested too deep");
    std::string many = "<methodCall><methodName>x</methodName><params>";
    for (size_t i = 0; i < XmlRpc::kMaxElements; ++i)
        many += "<param/>";
    EXPECT_FALSE(ParseXmlRpcCall(many + "</params></methodCall>", error));
    EXPECT_EQ(error, "too many elements");
}

TEST(XmlRpcCallTest, WhatIsNotACallOfTheSubsetIsRefused)
{
    const struct {
        std::string Body;
        const char* Error;
    } cases[] = {
        {"", "no element"},
        {"   ", "no element"},
        {"junk", "no element"},
        {"<!DOCTYPE x [<!ENTITY a \"b\">]>" + Call("x"), "declarations, DOCTYPE and CDATA are not taken"},
        {Call("x", Param("<value>&a;</value>")), "entities other than the predefined are not taken"},
        {Call("x", Param("<value>&#0;</value>")), "a malformed character reference"},
        {Call("x", Param("<value>&#xD800;</value>")), "a malformed character reference"},
        {Call("x", Param("<value>&#x110000;</value>")), "a malformed character reference"},
        {Call("x", Param("<value>&#12a;</value>")), "a malformed character reference"},
        {Call("x", Param("<value>&amp</value>")), "an unended reference"},
        {Call("x", Param("<value><![CDATA[x]]></value>")), "declarations, DOCTYPE and CDATA are not taken"},
        {Call("x", Param("<value><i4>1</i4></valu>")), "a closing tag of another element"},
        {"<methodCall><methodName>x</methodName>", "an element not closed"},
        {"<methodCall><methodName>x</methodName></methodCall><methodCall/>", "text after the call"},
        {"<methodCall><methodName>x</methodName></methodCall>junk", "text after the call"},
        {"<methodCall><!-- unended", "unended markup"},
        {"<methodResponse/>", "no methodCall"},
        {"<methodCall>text<methodName>x</methodName></methodCall>", "no methodCall"},
        {"<methodCall><params/></methodCall>", "no methodName"},
        {"<methodCall><methodName></methodName></methodCall>", "no methodName"},
        {"<methodCall><methodName>a b</methodName></methodCall>", "no methodName"},
        {"<methodCall><methodName><i4/></methodName></methodCall>", "no methodName"},
        {Call("x", "<params>x</params>"), "malformed params"},
        {Call("x", "<parameters/>"), "malformed params"},
        {Call("x", "<params><param/></params>"), "a malformed param"},
        {Call("x", "<params><param><value/><value/></param></params>"), "a malformed param"},
        {Call("x", Param("<string>x</string>")), "a param or array item that is no value"},
        {Call("x", Param("<value><i4>1</i4><i4>2</i4></value>")), "a value of more than one item"},
        {Call("x", Param("<value>x<i4>1</i4></value>")), "a value of more than one item"},
        {Call("x", Param("<value><i4>2147483648</i4></value>")), "an integer that is none"},
        {Call("x", Param("<value><i4>1.5</i4></value>")), "an integer that is none"},
        {Call("x", Param("<value><i4></i4></value>")), "an integer that is none"},
        {Call("x", Param("<value><boolean>true</boolean></value>")), "a boolean that is none"},
        {Call("x", Param("<value><double>nan</double></value>")), "a double that is none"},
        {Call("x", Param("<value><double>1e</double></value>")), "a double that is none"},
        {Call("x", Param("<value><double>.</double></value>")), "a double that is none"},
        {Call("x", Param("<value><double>0x10</double></value>")), "a double that is none"},
        {Call("x", Param("<value><struct/></value>")), "values of this type are not taken"},
        {Call("x", Param("<value><base64>eA==</base64></value>")), "values of this type are not taken"},
        {Call("x", Param("<value><nil/></value>")), "values of this type are not taken"},
        {Call("x", Param("<value><i4><b/></i4></value>")), "a malformed value"},
        {Call("x", Param("<value><array/></value>")), "a malformed array"},
        {Call("x", Param("<value><array><data>x</data></array></value>")), "a malformed array"},
        {"<methodCall a=\"<\"/>", "a malformed attribute"},
        {"<methodCall a=\"x/>", "a malformed attribute"},
        {"<methodCall <", "a malformed tag"},
        {"<methodCall", "a malformed tag"},
        {"< methodCall/>", "a malformed tag"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseXmlRpcCall(c.Body, error)) << c.Body;
        EXPECT_EQ(error, c.Error) << c.Body;
    }
}

TEST(XmlRpcCallTest, RepliesEndInALineEndAfterTheResponse)
{
    EXPECT_EQ(XmlRpcResponse(TXmlRpcValue::OfString("a<b&c")),
              "<?xml version=\"1.0\"?>\r\n<methodResponse><params><param><value>a&lt;b&amp;c</value></param>"
              "</params></methodResponse>\r\n");
    EXPECT_EQ(XmlRpcResponse(TXmlRpcValue::OfArray({TXmlRpcValue::OfInt(-3), TXmlRpcValue::OfDouble(1.5)})),
              "<?xml version=\"1.0\"?>\r\n<methodResponse><params><param><value><array><data><value><i4>-3</i4>"
              "</value><value><double>1.5</double></value></data></array></value></param></params>"
              "</methodResponse>\r\n");
    EXPECT_EQ(XmlRpcFault(7, "no <such>"),
              "<?xml version=\"1.0\"?>\r\n<methodResponse><fault><value><struct><member><name>faultCode</name>"
              "<value><i4>7</i4></value></member><member><name>faultString</name><value>no &lt;such&gt;</value>"
              "</member></struct></value></fault></methodResponse>\r\n");
    // What the port writes reads back as the same call's value.
    std::string error;
    const std::string response = XmlRpcResponse(TXmlRpcValue::OfString("&<>"));
    const std::string asCall = "<methodCall><methodName>x</methodName><params><param>" +
                               response.substr(response.find("<value>"), response.find("</param>") -
                                                                             response.find("<value>")) +
                               "</param></params></methodCall>";
    const auto call = ParseXmlRpcCall(asCall, error);
    ASSERT_TRUE(call) << error;
    EXPECT_EQ(call->Params[0].String, "&<>");
}

} // namespace
