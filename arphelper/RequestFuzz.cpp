// libFuzzer target: the service's request parsing and the checks behind it.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include <linux/rtnetlink.h>

#include "arphelper/HelperRequest.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size)
{
    using namespace qubra::arphelper;
    THelperRequest request;
    const std::string_view line(reinterpret_cast<const char*>(Data), Size);
    if (!ParseRequest(line, request)) {
        TTarget target;
        target.LinkDoesARP = true;
        target.RouteType = RTN_UNICAST;
        target.LinkSubnets = {{request.IP, static_cast<int>(Size % 33)}};
        // Every kind of entry the service may find there, as it would check it.
        target.Entry = static_cast<TTarget::TEntry>(Size % 5);
        target.Gateway = Size % 7 == 0;
        target.StationMAC = request.MAC;
        target.StationMAC[5] ^= Size % 2;
        CheckHold(request, target);
        CheckDelete(request, target);
    }
    return 0;
}
