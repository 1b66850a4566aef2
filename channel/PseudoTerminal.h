#pragma once

#include <termios.h>

#include <string>

#include "model/Exception.h"

namespace qubra {

// A failure of the data channel's own workings on the workstation (a terminal or a link that
// cannot be made), with the system's text.
class EChannelError : public Exception {
public:
    using Exception::Exception;
};

// A pseudo-terminal in raw mode, so that every byte value passes unchanged. The bridge keeps
// its own descriptor of the terminal side open: a program that closes the terminal and opens
// it again finds it still there, and the bridge's side never sees a hang-up.
class TPseudoTerminal {
public:
    TPseudoTerminal();
    ~TPseudoTerminal();
    TPseudoTerminal(const TPseudoTerminal&) = delete;
    TPseudoTerminal& operator=(const TPseudoTerminal&) = delete;

    // The bridge's side (non-blocking).
    int Handle() const { return FMaster; }
    // The device node programs open, e.g. /dev/pts/4.
    const std::string& Path() const { return FPath; }
    // True the first time the speed, character size, parity, stop bits or flow control of the
    // terminal side differ from those the terminal was made with.
    bool LineSettingsChanged();

private:
    int FMaster = -1;
    int FSlave = -1;
    std::string FPath;
    termios FMade{};
    bool FChangeSeen = false;
};

// A symbolic link to the terminal, for programs that want a fixed name. It replaces only a
// stale link of its own kind (one into /dev/pts/ whose terminal is gone) and is removed with
// the object, unless something else has taken its place meanwhile.
class TTerminalLink {
public:
    // Raises EChannelError when Path cannot be made or holds anything but a stale link (or,
    // once the terminal exists, a link to it: a new terminal may take a stale link's number).
    static void Check(const std::string& Path, const std::string& Target = "");
    TTerminalLink(const std::string& Path, const std::string& Target);
    ~TTerminalLink();
    TTerminalLink(const TTerminalLink&) = delete;
    TTerminalLink& operator=(const TTerminalLink&) = delete;

private:
    std::string FPath;
    std::string FTarget;
};

} // namespace qubra
