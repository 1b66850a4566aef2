#pragma once

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <string>

#include <arpa/inet.h>

#include "net/ARPManager.h"

namespace qubra::test {

// A static row for a temporary entry: IP (dotted) to MAC on interface IfIndex.
inline MIB_IPNETROW StaticRow(std::uint32_t IfIndex, const char* IP, const std::array<std::uint8_t, 6>& MAC)
{
    MIB_IPNETROW row;
    row.dwIndex = IfIndex;
    row.dwPhysAddrLen = 6;
    std::copy(MAC.begin(), MAC.end(), row.bPhysAddr);
    inet_pton(AF_INET, IP, &row.dwAddr);
    row.dwType = MIB_IPNET_TYPE_STATIC;
    return row;
}

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
