#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/DataManager.h"
#include "model/DeviceMapping.h"
#include "sim/TSimUdpHost.h"
#include "tests/cli/ProgramRun.h"
#include "tests/control/ControlTestSupport.h"

namespace qubra::clitest {

using controltest::kSetCode;
using controltest::kSetIPCode;
using controltest::TRecordReader;

// Simulated devices on loopback and the real program aimed at them.
class CliProgramTest : public ::testing::Test {
protected:
    TSimUdpHost Host;
    // The program's locale variables, all others unset: a Czech locale by default, as the
    // texts the tests expect are the built-in Czech ones.
    std::vector<std::string> Locale{"LC_ALL=cs_CZ.UTF-8"};

    TSimDevice& AddDevice(const std::string& IP, const std::string& MAC, const TSimKnobs& Knobs = {})
    {
        return Host.AddDevice(SimTextToMAC(MAC), SimTextToIP(IP), Knobs);
    }

    // The program with the devices' port, the loopback broadcast and a short time-out before
    // Arguments; the devices are started on first use.
    TProgramResult Cli(std::vector<std::string> Arguments, const std::string& Input = "")
    {
        return RunProgram(Command(std::move(Arguments)), Input);
    }

    std::vector<std::string> Command(std::vector<std::string> Arguments)
    {
        if (!Host.Running())
            Host.Start();
        Arguments.insert(Arguments.begin(), {QUBRA_CLI_PROGRAM, "--port", std::to_string(Host.Port()),
                                             "--broadcast", "127.255.255.255", "--timeout", "300"});
        // env execs the program in its own process, so signals sent to it reach the program.
        std::vector<std::string> command{"env", "-u", "LC_ALL", "-u", "LC_MESSAGES", "-u", "LANG"};
        command.insert(command.end(), Locale.begin(), Locale.end());
        command.insert(command.end(), Arguments.begin(), Arguments.end());
        return command;
    }

    static nlohmann::ordered_json Json(const TProgramResult& Result)
    {
        try {
            return nlohmann::ordered_json::parse(Result.Out);
        } catch (const std::exception& error) {
            ADD_FAILURE() << "not JSON: " << error.what() << "\n" << Result.Out;
            return {};
        }
    }
};

} // namespace qubra::clitest
