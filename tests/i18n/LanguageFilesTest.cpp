#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "i18n/Language.h"
#include "i18n/ChannelMessages.h"
#include "i18n/Messages.h"

using namespace qubra;

namespace {

// The key a text gets: its first 16 characters without anything but letters.
std::string KeyStem(std::string_view text)
{
    std::string stem;
    int characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool continuation = (byte & 0xC0) == 0x80;
        if (!continuation && ++characters > 16) break;
        if (byte >= 0x80 || std::isalpha(byte)) stem += text[i];
    }
    return stem;
}

// The designed program's messages, the data channel's and the device list's.
std::vector<TMessage> Catalogue()
{
    std::vector<TMessage> messages(AllMessages.begin(), AllMessages.end());
    messages.insert(messages.end(), ChannelMessages.begin(), ChannelMessages.end());
    messages.insert(messages.end(), DeviceListMessages.begin(), DeviceListMessages.end());
    return messages;
}

TEST(MessageCatalogue, HoldsEveryKeyOnceEachFormedFromItsText)
{
    std::set<std::string_view> keys;
    for (const TMessage& message : Catalogue()) {
        EXPECT_TRUE(keys.insert(message.Key).second) << "twice: " << message.Key;
        EXPECT_EQ(message.Key.substr(0, message.Key.find_last_not_of("0123456789") + 1), KeyStem(message.Text));
    }
    EXPECT_EQ(keys.size(), 86u + ChannelMessages.size() + DeviceListMessages.size());
    for (const TMessage& variant :
         {msgZarizeniNebyloExclamation, msgZarizeniNebyloFullStop, msgZarizeniNebylo0FullStop, msgTotoNeniPlatnaMAC})
        EXPECT_EQ(variant.Key.substr(0, variant.Key.find_last_not_of("0123456789") + 1), KeyStem(variant.Text));
}

TEST(LanguageFiles, EachHoldsExactlyTheCatalogueKeys)
{
    for (const std::string fileName : {"cesky.lng.xml", "english.lng.xml"}) {
        const TXmlDocument doc = TXmlDocument::ParseFile(QUBRA_RESOURCES_DIR + fileName);
        std::map<std::string, std::string> texts;
        for (const xmlNode* entry : ChildElements(FirstChildElement(doc.DocumentElement(), "const"))) {
            EXPECT_TRUE(HasAttribute(entry, "text")) << fileName << ": " << NodeName(entry);
            EXPECT_TRUE(texts.emplace(NodeName(entry), Attribute(entry, "text")).second) << fileName << ": " << NodeName(entry);
        }
        std::vector<TMessage> keys = Catalogue();
        keys.push_back(msgLocale);
        for (const TMessage& message : keys) {
            const auto entry = texts.find(std::string(message.Key));
            if (entry == texts.end()) {
                ADD_FAILURE() << fileName << " lacks " << message.Key;
                continue;
            }
            if (fileName == "cesky.lng.xml") EXPECT_EQ(entry->second, message.Text) << message.Key;
            else EXPECT_FALSE(entry->second.empty()) << message.Key;
            texts.erase(entry);
        }
        for (const auto& unknown : texts) ADD_FAILURE() << fileName << " holds unknown key " << unknown.first;
    }
}

} // namespace
