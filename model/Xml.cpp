#include "model/Xml.h"

#include <libxml/parser.h>

#include <iterator>

#include "model/Exception.h"
#include "model/FileText.h"

namespace qubra {

namespace {

const char* AsChars(const xmlChar* text) { return reinterpret_cast<const char*>(text); }
const xmlChar* AsXmlChars(const std::string& text) { return reinterpret_cast<const xmlChar*>(text.c_str()); }

// No document of ours refers to anything outside itself.
xmlParserInputPtr RefuseExternalEntity(const char*, const char*, xmlParserCtxtPtr)
{
    return nullptr;
}

void IgnoreError(void*, xmlErrorPtr) {}

struct TParserSetup {
    TParserSetup()
    {
        xmlInitParser();
        xmlSetExternalEntityLoader(RefuseExternalEntity);
    }
};

std::string ParserMessage(xmlParserCtxtPtr ctxt)
{
    const xmlError* error = xmlCtxtGetLastError(ctxt);
    std::string message = error && error->message ? error->message : "XML document could not be parsed.";
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r'))
        message.pop_back();
    return message;
}

} // namespace

TXmlDocument TXmlDocument::Parse(std::string_view text)
{
    static const TParserSetup setup;
    std::unique_ptr<xmlParserCtxt, void (*)(xmlParserCtxtPtr)> ctxt(xmlNewParserCtxt(), xmlFreeParserCtxt);
    if (!ctxt) throw Exception("XML parser could not be created.");
    ctxt->sax->serror = IgnoreError;  // errors are reported by the exception only
    const int options = XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING;
    if (text.size() > static_cast<std::size_t>(INT32_MAX)) throw Exception("XML document is too large.");
    xmlDoc* doc = xmlCtxtReadMemory(ctxt.get(), text.data(), static_cast<int>(text.size()), nullptr, nullptr, options);
    if (!doc || !ctxt->wellFormed) {
        const std::string message = ParserMessage(ctxt.get());
        xmlFreeDoc(doc);
        throw Exception(message);
    }
    return TXmlDocument(doc);
}

TXmlDocument TXmlDocument::ParseFile(const std::string& fileName, std::size_t maxSize)
{
    return Parse(ReadFileText(fileName, maxSize));
}

xmlNode* TXmlDocument::DocumentElement() const { return xmlDocGetRootElement(FDoc.get()); }

std::string NodeName(const xmlNode* node) { return node && node->name ? AsChars(node->name) : ""; }

xmlNode* FirstChildElement(const xmlNode* node, const std::string& name)
{
    if (!node) return nullptr;
    for (xmlNode* child = node->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE && NodeName(child) == name) return child;
    return nullptr;
}

std::vector<xmlNode*> ChildElements(const xmlNode* node)
{
    std::vector<xmlNode*> elements;
    if (!node) return elements;
    for (xmlNode* child = node->children; child; child = child->next)
        if (child->type == XML_ELEMENT_NODE) elements.push_back(child);
    return elements;
}

bool HasAttribute(const xmlNode* node, const std::string& name)
{
    return node && xmlHasProp(const_cast<xmlNode*>(node), AsXmlChars(name)) != nullptr;
}

std::string Attribute(const xmlNode* node, const std::string& name)
{
    if (!node) return {};
    xmlChar* value = xmlGetProp(node, AsXmlChars(name));
    if (!value) return {};
    std::string text = AsChars(value);
    xmlFree(value);
    return text;
}

std::vector<std::pair<std::string, std::string>> Attributes(const xmlNode* node)
{
    std::vector<std::pair<std::string, std::string>> attributes;
    if (!node || node->type != XML_ELEMENT_NODE) return attributes;
    for (const xmlAttr* attr = node->properties; attr; attr = attr->next) {
        const std::string name = attr->name ? AsChars(attr->name) : "";
        attributes.emplace_back(name, Attribute(node, name));
    }
    return attributes;
}

TItemValue GetAttributeDef(const xmlNode* node, const std::string& name, const TItemValue& defaultValue)
{
    if (!HasAttribute(node, name)) return defaultValue;
    return TItemValue(Attribute(node, name));
}

} // namespace qubra
