#pragma once

#include <libxml/tree.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/FileText.h"
#include "model/ItemValue.h"

namespace qubra {

// A parsed XML document (device mappings, language files). Parsing never touches the network
// or external entities, keeps libxml2's limits on depth and entity expansion, prints nothing,
// and fails with the parser's own message as a qubra::Exception.
class TXmlDocument {
public:
    static TXmlDocument Parse(std::string_view text);
    // Raises EFileTooLarge for a file of more than maxSize bytes.
    static TXmlDocument ParseFile(const std::string& fileName, std::size_t maxSize = MaxInputFileSize);

    xmlNode* DocumentElement() const;

private:
    struct TFree {
        void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
    };
    explicit TXmlDocument(xmlDoc* doc) : FDoc(doc) {}
    std::unique_ptr<xmlDoc, TFree> FDoc;
};

std::string NodeName(const xmlNode* node);
// The first child element of that exact name; nullptr when there is none.
xmlNode* FirstChildElement(const xmlNode* node, const std::string& name);
// The child elements in document order (text, comments and the like are skipped).
std::vector<xmlNode*> ChildElements(const xmlNode* node);
bool HasAttribute(const xmlNode* node, const std::string& name);
// The attribute's text; empty when the element lacks it.
std::string Attribute(const xmlNode* node, const std::string& name);
// The element's attributes in document order, as name and value.
std::vector<std::pair<std::string, std::string>> Attributes(const xmlNode* node);
// The attribute's text when the element is given and has it, otherwise the default.
TItemValue GetAttributeDef(const xmlNode* node, const std::string& name, const TItemValue& defaultValue);

} // namespace qubra
