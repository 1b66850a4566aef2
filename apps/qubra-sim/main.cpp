// qubra-sim: simulated QUBRA 232 devices on loopback UDP or at Ethernet level.
#include <csignal>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "sim/SimOptions.h"
#include "sim/TSimRawHost.h"
#include "sim/TSimUdpHost.h"

namespace {

const char* const kHelp = R"(Usage: qubra-sim [OPTIONS] --device MAC,IP[,KNOB...] [--device ...]

Runs simulated QUBRA 232 devices until SIGINT or SIGTERM. Each device answers the search
(F6 -> F7, its MAC at bytes 24-29), the setup record query (E0 -> 120 bytes with D0), the set
request (C0 -> stores the record, answers B0; the write is complete when header byte 1 is not
01), the settings query (F8 -> 124 bytes with F9) and the set-IP request (FD -> stores address,
host bits and gateway, answers FB). It starts from the setup record with the built-in defaults
and its own address at bytes 4-7.

Devices:
  --device MAC,IP[,KNOB...]  a device with its MAC (00-20-4a-00-00-01 or with ":") and IPv4
                             address; knobs after the address apply to this device only

Mode (one of):
  --udp                      UDP on loopback (the default): every device binds its own
                             127.x.y.z address and the common port
  --port N                   UDP port of the devices (default 30718; 0 = an ephemeral port,
                             shown in the ready line)
  --broadcast ADDR|none      loopback broadcast address to listen on as well
                             (default 127.255.255.255)
  --raw IFACE                Ethernet level on interface IFACE (packet socket, needs root):
                             answers ARP for the devices' addresses, takes datagrams for port
                             30718 sent to a device's MAC at any address, and broadcasts.
                             Use only inside a network namespace made for the purpose.

Knobs (as options they apply to every device given after them; per device as KNOB=VALUE):
  --delay MS          delay=MS          answers leave MS milliseconds after the request
  --loss RATE         loss=RATE         each answer datagram is lost with chance RATE (0..1)
  --loss-pattern N    loss-pattern=N    picks which answers the loss knob drops, so a run
                                        can be repeated (default 1)
  --duplicates N      duplicates=N      send N extra copies of every answer
  --wrong-code MODE   wrong-code=MODE   none, replace (answers carry code A5 instead of their
                                        own) or prepend (an A5 copy goes before each answer)
  --silent            silent            receive, never answer (nor ARP)
  --restart MS        restart=MS        after a completed write or a set-IP, restart: deaf for
                                        MS milliseconds, then answer at the new address that
                                        the record or the set-IP gave (if not 0.0.0.0)
  --silent-arp        silent-arp        never answer ARP requests (raw mode)
  --short N           short=N           answer a record query with its first N bytes only
  --stale N           stale=N           a write of the setup record leaves its byte N as it
                                        was (the device keeps an old value)

Output:
  --log               one line per datagram on standard output:
                        in|deaf|out|lost MAC FROM-IP:PORT > TO-IP:PORT LENGTH HEX-PAYLOAD
                      ("deaf": arrived while restarting; "lost": dropped by the loss knob),
                      "arp MAC IP > REQUESTER" per ARP answer, "error ..." for send failures
  --help              this text

Once every device listens, "ready udp port N" or "ready raw IFACE port 30718" is printed.
)";

struct TArguments {
    bool Raw = false;
    std::string Interface;
    std::uint16_t Port = 30718;
    std::uint32_t Broadcast = qubra::TSimUdpHost::kLoopbackBroadcast;
    bool Log = false;
    std::vector<qubra::TSimDeviceSpec> Devices;
};

std::uint16_t ParsePort(const std::string& text)
{
    try {
        std::size_t used = 0;
        const unsigned long port = std::stoul(text, &used);
        if (used == text.size() && port <= 65535)
            return static_cast<std::uint16_t>(port);
    } catch (const std::exception&) {
    }
    throw qubra::ESimError("bad port '" + text + "'");
}

// Returns false when only the help was asked for.
bool ParseArguments(int argc, char** argv, TArguments& arguments)
{
    qubra::TSimKnobs knobs;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        const auto value = [&]() -> std::string {
            if (i + 1 >= argc)
                throw qubra::ESimError(option + " needs a value");
            return argv[++i];
        };
        if (option == "--help")
            return false;
        else if (option == "--device")
            arguments.Devices.push_back(qubra::SimParseDevice(value(), knobs));
        else if (option == "--udp")
            arguments.Raw = false;
        else if (option == "--raw")
            arguments.Raw = true, arguments.Interface = value();
        else if (option == "--port")
            arguments.Port = ParsePort(value());
        else if (option == "--broadcast") {
            const std::string address = value();
            arguments.Broadcast = address == "none" ? 0 : qubra::SimTextToIP(address);
        } else if (option == "--log")
            arguments.Log = true;
        else if (option == "--silent" || option == "--silent-arp")
            qubra::SimApplyKnob(knobs, option.substr(2));
        else if (option.rfind("--", 0) == 0)
            qubra::SimApplyKnob(knobs, option.substr(2) + "=" + value());
        else
            throw qubra::ESimError("unexpected argument '" + option + "'");
    }
    if (arguments.Devices.empty())
        throw qubra::ESimError("no device given (--device MAC,IP)");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    TArguments arguments;
    try {
        if (!ParseArguments(argc, argv, arguments)) {
            std::cout << kHelp;
            return 0;
        }
        // The host thread inherits the mask, so only sigwait below sees these signals.
        sigset_t stopSignals;
        sigemptyset(&stopSignals);
        sigaddset(&stopSignals, SIGINT);
        sigaddset(&stopSignals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

        std::unique_ptr<qubra::TSimHost> host;
        std::string where;
        if (arguments.Raw) {
            host = std::make_unique<qubra::TSimRawHost>(arguments.Interface, arguments.Port);
            where = "raw " + arguments.Interface;
        } else {
            host = std::make_unique<qubra::TSimUdpHost>(arguments.Port, arguments.Broadcast);
            where = "udp";
        }
        if (arguments.Log)
            host->OnLog = [](const std::string& line) { std::cout << line << std::endl; };
        for (const auto& device : arguments.Devices)
            host->AddDevice(device.MAC, device.IP, device.Knobs);
        host->Start();
        std::cout << "ready " << where << " port " << host->Port() << std::endl;

        int signal = 0;
        sigwait(&stopSignals, &signal);
        host->Stop();
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "qubra-sim: " << error.what() << "\n";
        return 2;
    }
}
