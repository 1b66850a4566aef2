#pragma once

#include <cstring>
#include <functional>
#include <string>

#include "net/ARPManager.h"

namespace qubra::test {

// The message of the EARPException that Action raises, or "(nothing raised)".
inline std::string ARPMessageOf(const std::function<void()>& Action)
{
    try {
        Action();
    } catch (const EARPException& error) {
        return error.Message();
    }
    return "(nothing raised)";
}

// The system's text for Code followed by "(#Hex)", as an EARPException shows it.
inline std::string SystemText(int Code, const char* Hex)
{
    return std::string(strerrordesc_np(Code)) + "(#" + Hex + ")";
}

} // namespace qubra::test
