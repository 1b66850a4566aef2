#include "channel/PseudoTerminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace qubra {

namespace {

constexpr tcflag_t kLineFlags = CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS;
constexpr const char* kTerminalFolder = "/dev/pts/";

[[noreturn]] void Fail(const std::string& What)
{
    throw EChannelError(What + ": " + std::strerror(errno));
}

std::string LinkTarget(const std::string& Path)
{
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(Path, error);
    return error ? std::string() : target.string();
}

} // namespace

TPseudoTerminal::TPseudoTerminal()
{
    FMaster = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FMaster < 0)
        Fail("posix_openpt");
    char name[128] = {};
    if (grantpt(FMaster) != 0 || unlockpt(FMaster) != 0 || ptsname_r(FMaster, name, sizeof name) != 0) {
        close(FMaster);
        Fail("pseudo-terminal");
    }
    FPath = name;
    FSlave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (FSlave < 0) {
        close(FMaster);
        Fail(FPath);
    }
    termios settings{};
    tcgetattr(FSlave, &settings);
    cfmakeraw(&settings);
    cfsetspeed(&settings, B9600);
    tcsetattr(FSlave, TCSANOW, &settings);
    tcgetattr(FSlave, &FMade);
    fcntl(FMaster, F_SETFL, fcntl(FMaster, F_GETFL) | O_NONBLOCK);
}

TPseudoTerminal::~TPseudoTerminal()
{
    close(FSlave);
    close(FMaster);
}

bool TPseudoTerminal::LineSettingsChanged()
{
    termios now{};
    if (FChangeSeen || tcgetattr(FSlave, &now) != 0)
        return false;
    FChangeSeen = cfgetospeed(&now) != cfgetospeed(&FMade) || cfgetispeed(&now) != cfgetispeed(&FMade) ||
                  (now.c_cflag & kLineFlags) != (FMade.c_cflag & kLineFlags) ||
                  (now.c_iflag & (IXON | IXOFF)) != (FMade.c_iflag & (IXON | IXOFF));
    return FChangeSeen;
}

void TTerminalLink::Check(const std::string& Path, const std::string& Target)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path path(Path);
    const fs::path folder = path.has_parent_path() ? path.parent_path() : ".";
    if (!fs::is_directory(folder, error))
        throw EChannelError(Path + ": the folder " + folder.string() + " does not exist");
    const fs::file_status status = fs::symlink_status(path, error);
    if (!fs::exists(status))
        return;
    const std::string target = LinkTarget(Path);
    const bool stale = !fs::exists(target, error) || target == Target;
    if (!fs::is_symlink(status) || !target.starts_with(kTerminalFolder) || !stale)
        throw EChannelError(Path + ": exists and is not a stale link to a terminal; not replaced");
}

TTerminalLink::TTerminalLink(const std::string& Path, const std::string& Target)
    : FPath(Path), FTarget(Target)
{
    Check(Path, Target);
    // A stale link is replaced in one step: the new one is made beside it and renamed over it.
    const std::string temporary = Path + ".new-" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(Target.c_str(), temporary.c_str()) != 0)
        Fail(Path);
    if (rename(temporary.c_str(), Path.c_str()) != 0) {
        const int code = errno;
        unlink(temporary.c_str());
        errno = code;
        Fail(Path);
    }
}

TTerminalLink::~TTerminalLink()
{
    if (LinkTarget(FPath) == FTarget)
        unlink(FPath.c_str());
}

} // namespace qubra
