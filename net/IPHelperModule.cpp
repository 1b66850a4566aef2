#include <dlfcn.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <string>

#include "net/IPHelper.h"

namespace qubra {

namespace {

// Where the module is installed, as seen from the folder of the installed program.
std::string InstalledModulePath()
{
    char program[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
    if (length <= 0)
        return {};
    const std::string path(program, static_cast<std::size_t>(length));
    return path.substr(0, path.rfind('/') + 1) + QUBRA_MODULES_FROM_PROGRAM + "/" + kIPHelperModule;
}

void* OpenModule()
{
    std::string path = InstalledModulePath();
    // A program of the build tree takes the module built beside it. A program with raised
    // rights (setcap) takes only the installed one, which no other user can have replaced.
    if ((path.empty() || access(path.c_str(), F_OK) != 0) && getauxval(AT_SECURE) == 0)
        path = std::string(QUBRA_BUILD_MODULE_DIR) + "/" + kIPHelperModule;
    return path.empty() ? nullptr : dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
}

} // namespace

TIPHelperLoader LinuxIPHelperLoader()
{
    return []() -> std::shared_ptr<const TIPHelperLibrary> {
        // Never closed: the operations handed out run the module's code.
        void* module = OpenModule();
        const auto entry = module ? reinterpret_cast<TIPHelperEntry>(dlsym(module, kIPHelperEntry)) : nullptr;
        if (!entry) {
            errno = ELIBACC;
            return nullptr;
        }
        auto library = std::make_shared<TIPHelperLibrary>();
        if (const int error = entry(library.get()); error != 0) {
            errno = error;
            return nullptr;
        }
        return library;
    };
}

} // namespace qubra
