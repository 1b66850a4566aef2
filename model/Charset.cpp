#include "model/Charset.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <memory>

#include "model/Exception.h"

namespace qubra {

namespace {

// The name iconv knows and the name a person reads in a message.
struct TCharset {
    const char* IconvName;
    const char* Name;
};

constexpr TCharset kUtf8{"UTF-8", "UTF-8"};
constexpr TCharset kRecordCharset{"WINDOWS-1250", "Windows-1250"};

// Bytes that From cannot read become U+FFFD when Lenient, else raise.
std::string Recode(const std::string& Text, const TCharset& From, const TCharset& To, bool Lenient)
{
    // Both sides write ASCII alike; it needs no converter (whose module loads on first use).
    if (std::all_of(Text.begin(), Text.end(), [](unsigned char c) { return c < 0x80; }))
        return Text;
    const iconv_t converter = iconv_open(To.IconvName, From.IconvName);
    if (converter == reinterpret_cast<iconv_t>(-1))
        throw Exception(std::string("No conversion from ") + From.Name + " to " + To.Name);
    std::unique_ptr<void, int (*)(iconv_t)> guard(converter, iconv_close);

    std::string input = Text;
    std::string output;
    char* in = input.data();
    std::size_t inLeft = input.size();
    while (inLeft > 0) {
        char chunk[256];
        char* out = chunk;
        std::size_t outLeft = sizeof chunk;
        const std::size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
        output.append(chunk, out);
        if (done != static_cast<std::size_t>(-1) || errno == E2BIG)
            continue;
        if (!Lenient)
            throw Exception("'" + Text + "' cannot be written in " + To.Name);
        output += "\xEF\xBF\xBD";
        ++in;
        --inLeft;
    }
    return output;
}

} // namespace

std::string Cp1250ToUtf8(const std::string& Text)
{
    return Recode(Text, kRecordCharset, kUtf8, true);
}

std::string Utf8ToCp1250(const std::string& Text)
{
    return Recode(Text, kUtf8, kRecordCharset, false);
}

} // namespace qubra
