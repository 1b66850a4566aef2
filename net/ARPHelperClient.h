#pragma once

// The address-resolution module's side of the ARP helper program: it starts the helper for each
// change of the neighbour table and keeps each temporary entry's helper running while the entry
// is held. The entry goes when it is deleted, when this object goes, or when this process ends
// in any way (the helper sees its end of the socket close).

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "net/IPHelper.h"

namespace qubra {

class TARPHelperClient {
public:
    explicit TARPHelperClient(std::string Program);
    ~TARPHelperClient();
    TARPHelperClient(const TARPHelperClient&) = delete;
    TARPHelperClient& operator=(const TARPHelperClient&) = delete;

    // 0 or the errno; a failure that needs more than the errno's text leaves it in LastError.
    std::uint32_t Hold(const MIB_IPNETROW& Row);
    // The held entry is released; any other goes through a helper of its own.
    std::uint32_t Delete(const MIB_IPNETROW& Row);

    // The text for the calling thread's last failure, when the system's text for the code is not
    // enough (the helper could not act); empty otherwise.
    static std::string LastError();

private:
    struct THelper {
        int Pid = -1;
        int Fd = -1;
        MIB_IPNETROW Row{};
    };
    std::string Program;
    std::mutex Lock;
    std::vector<THelper> Holds;

    // Starts the helper with Request; 0 or the errno, Helper filled on success.
    std::uint32_t Start(const std::string& Request, THelper& Helper);
    // Reads the helper's answer line; 0, or its error code.
    std::uint32_t Await(THelper& Helper);
    static void Finish(THelper& Helper);
};

// Where the helper program is: QUBRA_ARPHELPER for a program without raised rights, otherwise
// beside the module file that Anchor lies in.
std::string ARPHelperProgramPath(const void* Anchor);

} // namespace qubra
