#include "sim/SimOptions.h"

#include <sstream>
#include <vector>

namespace qubra {

namespace {

template <typename T>
T Number(const std::string& name, const std::string& value, T lowest, T highest)
{
    std::istringstream stream(value);
    T number{};
    if (!(stream >> number) || !stream.eof() || number < lowest || number > highest)
        throw ESimError("bad value for " + name + ": '" + value + "'");
    return number;
}

std::vector<std::string> Split(const std::string& text, char separator)
{
    std::vector<std::string> parts;
    std::string part;
    std::istringstream stream(text);
    while (std::getline(stream, part, separator))
        parts.push_back(part);
    return parts;
}

} // namespace

void SimApplyKnob(TSimKnobs& knobs, const std::string& setting)
{
    const std::size_t equals = setting.find('=');
    const std::string name = setting.substr(0, equals);
    const bool hasValue = equals != std::string::npos;
    const std::string value = hasValue ? setting.substr(equals + 1) : "";
    const auto require = [&](bool wanted) {
        if (wanted != hasValue)
            throw ESimError(wanted ? name + " needs a value" : name + " takes no value");
    };
    constexpr int kLongest = 24 * 3600 * 1000;
    if (name == "delay") {
        require(true);
        knobs.AnswerDelayMs = Number(name, value, 0, kLongest);
    } else if (name == "loss") {
        require(true);
        knobs.LossRate = Number(name, value, 0.0, 1.0);
    } else if (name == "loss-pattern") {
        require(true);
        knobs.LossPattern = Number<std::uint32_t>(name, value, 0, UINT32_MAX);
    } else if (name == "duplicates") {
        require(true);
        knobs.Duplicates = Number(name, value, 0, 100);
    } else if (name == "wrong-code") {
        require(true);
        if (value == "none")
            knobs.WrongCode = TSimWrongCode::None;
        else if (value == "replace")
            knobs.WrongCode = TSimWrongCode::Replace;
        else if (value == "prepend")
            knobs.WrongCode = TSimWrongCode::Prepend;
        else
            throw ESimError("bad value for wrong-code: '" + value + "'");
    } else if (name == "silent") {
        require(false);
        knobs.Silent = true;
    } else if (name == "restart") {
        require(true);
        knobs.RestartMs = Number(name, value, 0, kLongest);
    } else if (name == "silent-arp") {
        require(false);
        knobs.SilentToARP = true;
    } else if (name == "short") {
        require(true);
        knobs.ShortAnswers = Number(name, value, static_cast<int>(kSimCodeOffset) + 1, 65535);
    } else if (name == "stale") {
        require(true);
        knobs.StaleByte = Number(name, value, static_cast<int>(kSimCodeOffset) + 1, 65535);
    } else {
        throw ESimError("unknown knob '" + name + "'");
    }
}

TSimDeviceSpec SimParseDevice(const std::string& text, const TSimKnobs& defaults)
{
    const std::vector<std::string> parts = Split(text, ',');
    if (parts.size() < 2)
        throw ESimError("a device is given as MAC,IP[,KNOB=VALUE...]: '" + text + "'");
    TSimDeviceSpec spec{SimTextToMAC(parts[0]), SimTextToIP(parts[1]), defaults};
    for (std::size_t i = 2; i < parts.size(); ++i)
        SimApplyKnob(spec.Knobs, parts[i]);
    return spec;
}

} // namespace qubra
