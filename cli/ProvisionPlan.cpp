#include "cli/ProvisionPlan.h"

#include <algorithm>
#include <map>
#include <sstream>

#include "cli/FieldText.h"
#include "cli/InputValues.h"
#include "cli/SetupFile.h"
#include "model/TextValues.h"

namespace qubra {

namespace {

std::string Trimmed(const std::string& Text)
{
    const auto first = Text.find_first_not_of(" \t\r");
    if (first == std::string::npos)
        return "";
    return Text.substr(first, Text.find_last_not_of(" \t\r") - first + 1);
}

std::vector<std::string> Fields(const std::string& Line)
{
    std::vector<std::string> fields;
    std::string field;
    std::istringstream stream(Line);
    while (std::getline(stream, field, ','))
        fields.push_back(Trimmed(field));
    if (!Line.empty() && Line.back() == ',')
        fields.emplace_back();
    return fields;
}

// The reader's own message, naming the column.
template <typename TReader>
auto Column(const char* Name, const std::string& Text, TReader Read)
{
    try {
        return Read(Text);
    } catch (const Exception& error) {
        throw Exception(std::string(Name) + ": " + error.what());
    }
}

TPlanEntry ParseLine(const std::string& Line)
{
    const std::vector<std::string> fields = Fields(Line);
    if (fields.size() < 2 || fields.size() > 4)
        throw Exception("'" + EscapeControls(Line) + "' is not MAC,IP[,MASK[,GATEWAY]]");
    TPlanEntry entry;
    entry.MAC = Column("MAC", fields[0], ReadDeviceMAC);
    entry.IP = Column("IP", fields[1], ReadDeviceAddress);
    if (fields.size() > 2 && !fields[2].empty())
        entry.Mask = Column("MASK", fields[2], ReadNetmask);
    if (fields.size() > 3 && !fields[3].empty())
        entry.Gateway = Column("GATEWAY", fields[3], ReadAddress);
    return entry;
}

} // namespace

std::vector<TPlanEntry> ParseProvisionPlan(const std::string& Text, const std::string& Name)
{
    std::vector<TPlanEntry> plan;
    std::map<TMACAddress, int> macs;
    std::map<std::uint32_t, int> addresses;
    std::istringstream stream(Text);
    bool first = true;
    int number = 0;
    for (std::string line; std::getline(stream, line);) {
        ++number;
        const std::string content = Trimmed(line);
        if (content.empty() || content.front() == '#')
            continue;
        const bool header = first && LowerCase(Fields(content).front()) == "mac";
        first = false;
        if (header)
            continue;
        const std::string where = Name + ":" + std::to_string(number) + ": ";
        TPlanEntry entry;
        try {
            entry = ParseLine(content);
        } catch (const Exception& error) {
            throw EBadFile(where + error.what());
        }
        entry.Line = number;
        if (const auto [at, added] = macs.emplace(entry.MAC, number); !added)
            throw EBadFile(where + "MAC " + MACToStr(entry.MAC) + " is already on line " +
                           std::to_string(at->second));
        if (const auto [at, added] = addresses.emplace(entry.IP, number); !added)
            throw EBadFile(where + "address " + IPToStr(entry.IP) + " is already on line " +
                           std::to_string(at->second));
        plan.push_back(entry);
    }
    if (plan.empty())
        throw EBadFile(Name + ": no device in the plan (lines MAC,IP[,MASK[,GATEWAY]])");
    return plan;
}

} // namespace qubra
