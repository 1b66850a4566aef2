// libFuzzer target: the helper's request parsing and the checks behind it.
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
        CheckHold(request, target);
    }
    return 0;
}
