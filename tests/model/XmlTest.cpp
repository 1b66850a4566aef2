#include <gtest/gtest.h>

#include <fstream>

#include "model/Exception.h"
#include "model/Xml.h"

using namespace qubra;

TEST(XmlDocument, ElementsAndAttributesInDocumentOrder)
{
    const auto doc = TXmlDocument::Parse(
        "<root><!-- note --><a x=\"1\" y=\"\"/>text<b/><a z=\"3\"/></root>");
    const xmlNode* root = doc.DocumentElement();
    ASSERT_EQ(NodeName(root), "root");
    ASSERT_EQ(ChildElements(root).size(), 3u);
    const xmlNode* a = FirstChildElement(root, "a");
    EXPECT_TRUE(HasAttribute(a, "y"));
    EXPECT_FALSE(HasAttribute(a, "z"));
    EXPECT_EQ(Attributes(a), (std::vector<std::pair<std::string, std::string>>{{"x", "1"}, {"y", ""}}));
    EXPECT_EQ(FirstChildElement(root, "A"), nullptr);  // names compare with case
    EXPECT_EQ(GetAttributeDef(a, "y", "fallback"), TItemValue(""));
    EXPECT_EQ(GetAttributeDef(a, "q", "fallback"), TItemValue("fallback"));
    EXPECT_EQ(GetAttributeDef(nullptr, "x", 7), TItemValue(7));
}

TEST(XmlDocument, BadDocumentsFailWithTheParsersMessage)
{
    for (const char* text : {"", "not xml", "<a><b></a>", "<a/><b/>"}) {
        try {
            TXmlDocument::Parse(text);
            FAIL() << "accepted: " << text;
        } catch (const Exception& e) {
            EXPECT_GT(std::string(e.what()).size(), 0u);
            EXPECT_NE(std::string(e.what()).back(), '\n');
        }
    }
    EXPECT_THROW(TXmlDocument::ParseFile("/nonexistent/dir/QUBRA.dmi"), Exception);
}

TEST(XmlDocument, EntityExpansionAndExternalEntitiesAreRefused)
{
    // every level refers ten times to the level below
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY l0 \"lollollollol\">";
    for (int i = 1; i < 12; ++i) {
        std::string refs;
        for (int k = 0; k < 10; ++k) refs += "&l" + std::to_string(i - 1) + ";";
        laughs += "<!ENTITY l" + std::to_string(i) + " \"" + refs + "\">";
    }
    EXPECT_THROW(TXmlDocument::Parse(laughs + "]><r a=\"&l11;\"/>"), Exception);
    EXPECT_THROW(TXmlDocument::Parse(laughs + "]><r>&l11;</r>"), Exception);

    const std::string secretPath = testing::TempDir() + "qubra_secret.txt";
    std::ofstream(secretPath) << "SECRET";
    const std::string external =
        "<?xml version=\"1.0\"?><!DOCTYPE r [<!ENTITY x SYSTEM \"file://" + secretPath + "\">]>";
    EXPECT_THROW(TXmlDocument::Parse(external + "<r a=\"&x;\"/>"), Exception);
    // in content the reference stays unresolved: nothing of the file reaches the tree
    const auto doc = TXmlDocument::Parse(external + "<r>&x;</r>");
    xmlChar* content = xmlNodeGetContent(doc.DocumentElement());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(content)).find("SECRET"), std::string::npos);
    xmlFree(content);
}

TEST(XmlDocument, DeclaredEncodingIsConvertedToUtf8)
{
    // "Přijímám" in Windows-1250
    const std::string text = "<?xml version=\"1.0\" encoding=\"windows-1250\"?><r t=\"P\xF8ij\xEDm\xE1m\"/>";
    const auto doc = TXmlDocument::Parse(text);
    EXPECT_EQ(Attribute(doc.DocumentElement(), "t"), "Přijímám");
}
