#include "ui/ProgramOptions.h"

#include <set>

#include "model/Conversions.h"
#include "model/Exception.h"
#include "model/TextValues.h"

namespace qubra {

namespace {

std::int64_t Number(const std::string& Option, const std::string& Text, std::int64_t Low, std::int64_t High)
{
    const std::optional<std::int64_t> value = TryStrToInt64(Text);
    if (!value || *value < Low || *value > High)
        throw Exception(Option + ": '" + Text + "' is not a number from " + std::to_string(Low) + " to " +
                        std::to_string(High));
    return *value;
}

} // namespace

TProgramOptions ParseProgramOptions(const std::vector<std::string>& Words)
{
    TProgramOptions options;
    std::set<std::string> seen;
    for (std::size_t i = 0; i < Words.size(); ++i) {
        const std::string& word = Words[i];
        if (word != "--port" && word != "--broadcast" && word != "--timeout" && word != "--lang")
            throw Exception("unknown option '" + word + "'");
        if (!seen.insert(word).second)
            throw Exception(word + " given twice");
        if (i + 1 >= Words.size())
            throw Exception(word + " needs a value");
        const std::string& value = Words[++i];
        if (word == "--port") {
            options.Link.DevicePort = static_cast<std::uint16_t>(Number(word, value, 1, 65535));
        } else if (word == "--timeout") {
            options.Link.AnswerTimeout = static_cast<std::int32_t>(Number(word, value, 1, 3600000));
        } else if (word == "--broadcast") {
            const std::optional<std::uint32_t> address = ParseIPText(value);
            if (!address)
                throw Exception(word + ": '" + value + "' is not an IPv4 address");
            options.Link.BroadcastIP = IPToStr(*address);
        } else {
            options.LanguageFile = value;
        }
    }
    return options;
}

} // namespace qubra
