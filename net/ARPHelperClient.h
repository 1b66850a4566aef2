#pragma once

// The address-resolution module's side of the ARP service qubra-arpd: each temporary entry is
// one connection to the service, kept open while the entry is held. The entry goes when it is
// deleted, when this object goes, when this process ends in any way (the service sees the
// connection close), and at the latest when the service's own clock ends the hold.
// Run as root where no service listens, the module places the entry itself, under the same
// checks.

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "net/IPHelper.h"

namespace qubra {

class TARPHelperClient {
public:
    explicit TARPHelperClient(std::string SocketPath);
    ~TARPHelperClient();
    TARPHelperClient(const TARPHelperClient&) = delete;
    TARPHelperClient& operator=(const TARPHelperClient&) = delete;

    // 0 or the errno; the text of a refusal or of a missing right is left in LastError. When the
    // user holds the most entries one user may, it waits for one of them to end.
    std::uint32_t Hold(const MIB_IPNETROW& Row);
    // The held entry is released; of any other only one that found nobody may go.
    std::uint32_t Delete(const MIB_IPNETROW& Row);

    // The text for the calling thread's last failure; empty when the system's text for the code
    // says enough.
    static std::string LastError();
    static void ClearLastError();

private:
    struct THold {
        int Fd = -1; // -1: placed by this process itself
        MIB_IPNETROW Row{};
        std::string Request;
    };
    std::string SocketPath;
    std::mutex Lock;
    std::vector<THold> Holds;

    // Connects, sends Request and reads the first answer; Fd stays open on success.
    std::uint32_t Ask(const std::string& Request, int& Fd);
    // The same request done in this process, when it holds the right and no service listens.
    std::uint32_t Direct(const std::string& Request);
    static void Release(THold& Hold);
};

// QUBRA_ARPD_SOCKET for a program without raised rights, otherwise the service's own socket.
std::string ARPServiceSocketPath();

} // namespace qubra
