#include "model/Charset.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <string_view>

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

// The bytes Windows-1250 leaves undefined. They stand for the C1 control of the same value
// (U+0081 ...), as the platform's own conversion reads them, so that every record byte has a
// character and comes back as the same byte.
constexpr std::string_view kUndefinedBytes = "\x81\x83\x88\x90\x98";

bool IsUndefinedByte(char Byte)
{
    return kUndefinedBytes.find(Byte) != std::string_view::npos;
}

// Where iconv stops at Input: the C1 control for an undefined byte, or the undefined byte for
// its C1 control; the number of input bytes used, 0 when it is neither.
std::size_t UndefinedByte(const char* Input, std::size_t Left, bool ToRecord, std::string& Output)
{
    if (!ToRecord && IsUndefinedByte(Input[0])) {
        Output += '\xC2';
        Output += Input[0];
        return 1;
    }
    if (ToRecord && Left >= 2 && Input[0] == '\xC2' && IsUndefinedByte(Input[1])) {
        Output += Input[1];
        return 2;
    }
    return 0;
}

std::string Recode(const std::string& Text, const TCharset& From, const TCharset& To)
{
    // Both sides write ASCII alike; it needs no converter (whose module loads on first use).
    if (std::all_of(Text.begin(), Text.end(), [](unsigned char c) { return c < 0x80; }))
        return Text;
    const iconv_t converter = iconv_open(To.IconvName, From.IconvName);
    if (converter == reinterpret_cast<iconv_t>(-1))
        throw Exception(std::string("No conversion from ") + From.Name + " to " + To.Name);
    std::unique_ptr<void, int (*)(iconv_t)> guard(converter, iconv_close);

    const bool toRecord = &To == &kRecordCharset;
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
        if (const std::size_t used = UndefinedByte(in, inLeft, toRecord, output)) {
            in += used;
            inLeft -= used;
            continue;
        }
        throw Exception("'" + Text + "' cannot be written in " + To.Name);
    }
    return output;
}

} // namespace

std::string Cp1250ToUtf8(const std::string& Text)
{
    return Recode(Text, kRecordCharset, kUtf8);
}

std::string Utf8ToCp1250(const std::string& Text)
{
    return Recode(Text, kUtf8, kRecordCharset);
}

} // namespace qubra
