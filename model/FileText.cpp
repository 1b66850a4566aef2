#include "model/FileText.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace qubra {

namespace {

Exception LoadFailure(const std::string& FileName, int Error)
{
    return Exception("failed to load \"" + FileName + "\": " + std::strerror(Error));
}

std::string SizeText(std::size_t Size)
{
    return Size % (1u << 20) == 0 ? std::to_string(Size >> 20) + " MB" : std::to_string(Size) + " bytes";
}

} // namespace

std::string ReadFileText(const std::string& FileName, std::size_t MaxSize)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(FileName.c_str(), "rb"),
                                                                std::fclose);
    if (!file) throw LoadFailure(FileName, errno);
    std::string text;
    char chunk[64 * 1024];
    while (true) {
        const std::size_t room = MaxSize + 1 - text.size();
        const std::size_t got = std::fread(chunk, 1, std::min(sizeof chunk, room), file.get());
        text.append(chunk, got);
        if (text.size() > MaxSize)
            throw EFileTooLarge(FileName + ": larger than " + SizeText(MaxSize));
        if (got == 0) break;
    }
    if (std::ferror(file.get())) throw LoadFailure(FileName, errno);
    return text;
}

} // namespace qubra
