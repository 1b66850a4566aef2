#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "control/DeviceController.h"
#include "control/Scanner.h"
#include "i18n/Messages.h"
#include "model/Conversions.h"

namespace qubra {

// Where a listed device stands: it can be read as it is only in its interface's subnet and at
// an address of its own.
enum class TDeviceState { InSubnet, OutsideSubnet, SharedIP };

struct TDeviceRow {
    TScanEntry Entry;
    TMACAddress MAC{};
    // First octet in the low byte.
    std::uint32_t IP = 0;
    TDeviceState State = TDeviceState::InSubnet;
};

// The devices a scan found, as the list shows them: each once, by address (numerically), then
// by MAC, each with its state. A device shares its address when another row has it too.
class TDeviceList {
public:
    // Whether an address lies in one of the workstation's subnets; asked for rows whose
    // interface is not known (a scan at one broadcast address).
    using TSubnetTest = std::function<bool(std::uint32_t IP)>;

    // Without a test the workstation's address table decides.
    explicit TDeviceList(TSubnetTest IsLocal = nullptr);

    void Clear() { FRows.clear(); }
    // Takes in devices that answered; one already listed (by its MAC) is left out.
    void Add(const std::vector<TScanEntry>& Entries);
    const std::vector<TDeviceRow>& Rows() const { return FRows; }
    // The row of MAC, or -1.
    int IndexOf(const TMACAddress& MAC) const;

private:
    TDeviceState StateOf(const TDeviceRow& Row) const;

    TSubnetTest FIsLocal;
    std::vector<TDeviceRow> FRows;
};

// The text of a state, the interface column ("eth0 (192.168.1.10)").
const TMessage& StateMessage(TDeviceState State);
std::string InterfaceText(const TScanEntry& Entry);
// The line above the list: the scan running with the whole seconds it still takes, or how
// it ended and how many devices it found.
std::string ScanStatusText(bool Running, bool Stopped, std::chrono::milliseconds Remaining, int Found);

// What opening a row does: read the device, or give it an address of its own first.
enum class TRowCommand { Open, SetIP };
// Enter on a row: Set IP first for a device outside its subnet or sharing its address.
TRowCommand EnterCommand(const TDeviceRow& Row);

// Runs the address wizard for MAC; true when it assigned an address, MAC then being the device
// that got it.
using TAddressWizard = std::function<bool(TMACAddress& MAC)>;

// Carries out Command on the row's device, searching from the interface it answered on: Open
// finds it by its MAC and reads it; SetIP runs Wizard and, after an assignment, waits for the
// device and reads it. True when the device was read.
bool RunRowCommand(TDeviceController& Controller, const TDeviceRow& Row, TRowCommand Command,
                   const TAddressWizard& Wizard);

} // namespace qubra
