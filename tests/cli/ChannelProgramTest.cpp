// qubra-cli tty and channel-test against simulated devices whose serial port has a loopback plug.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "sim/SimFreePort.h"
#include "tests/cli/CliTestSupport.h"

using namespace qubra;
using namespace qubra::clitest;

namespace {

bool Contains(const std::string& Text, const std::string& Part)
{
    return Text.find(Part) != std::string::npos;
}

std::string TempPath(const std::string& Name)
{
    return ::testing::TempDir() + "qubra-channel-" + std::to_string(getpid()) + "-" + Name;
}

// The terminal as a program opens it, in raw mode.
int OpenTerminal(const std::string& Path)
{
    const int fd = open(Path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios raw{};
    tcgetattr(fd, &raw);
    cfmakeraw(&raw);
    tcsetattr(fd, TCSANOW, &raw);
    return fd;
}

std::string ReadTerminal(int Fd, std::size_t Bytes, int TimeoutMs = 5000)
{
    std::string got;
    pollfd readable{Fd, POLLIN, 0};
    while (got.size() < Bytes && poll(&readable, 1, TimeoutMs) > 0) {
        char chunk[4096];
        const ssize_t n = read(Fd, chunk, std::min(sizeof chunk, Bytes - got.size()));
        if (n <= 0)
            break;
        got.append(chunk, static_cast<std::size_t>(n));
    }
    return got;
}

void WriteTerminal(int Fd, const std::string& Bytes)
{
    ASSERT_EQ(write(Fd, Bytes.data(), Bytes.size()), static_cast<ssize_t>(Bytes.size()));
}

class ChannelProgramTest : public CliProgramTest {
protected:
    ChannelProgramTest() { Locale = {"LC_ALL=C"}; }

    // A device whose data channel listens on an ephemeral port; Fields change its record.
    TSimDevice& AddChannelDevice(const std::string& IP, const std::string& MAC, const TSimKnobs& Knobs,
                                 const std::vector<std::pair<std::string, TItemValue>>& Fields = {})
    {
        TSimDevice& device = AddDevice(IP, MAC, Knobs);
        TRecordReader reader(device.Record());
        reader.Record().SetValue("unit_port", static_cast<int>(SimFreeTcpPort()));
        for (const auto& [field, value] : Fields)
            reader.Record().SetValue(field, value);
        device.SetRecord(reader.Record().GetData());
        return device;
    }
};

TSimKnobs Unpaced()
{
    TSimKnobs knobs;
    knobs.Unpaced = true;
    return knobs;
}

} // namespace

TEST_F(ChannelProgramTest, TtyCarriesEveryByteValueAndKeepsItsLinkToItself)
{
    AddChannelDevice("127.0.24.1", "00-20-4a-00-24-01", Unpaced());
    const std::string link = TempPath("tty");
    const std::string occupied = TempPath("occupied");
    std::filesystem::remove(link);
    // A stale link of an earlier bridge is replaced; anything else is left alone.
    std::filesystem::create_symlink("/dev/pts/999999", link);
    std::ofstream(occupied) << "keep";
    const TProgramResult refused = Cli({"tty", "--ip", "127.0.24.1", "--link", occupied});
    EXPECT_EQ(refused.ExitCode, 2) << refused.Err;
    EXPECT_TRUE(Contains(refused.Err, "not replaced"));
    EXPECT_TRUE(std::filesystem::is_regular_file(occupied));
    EXPECT_TRUE(Host.Device(0).Received().empty()) << "the link is checked before the device is asked";

    TProgram tty(Command({"tty", "--ip", "127.0.24.1", "--link", link}));
    ASSERT_TRUE(tty.WaitForOutput("\n")) << tty.SoFar().Err;
    const std::string terminal = tty.SoFar().Out.substr(0, tty.SoFar().Out.find('\n'));
    EXPECT_TRUE(terminal.starts_with("/dev/pts/"));
    EXPECT_EQ(std::filesystem::read_symlink(link).string(), terminal);

    const int fd = OpenTerminal(link);
    ASSERT_GE(fd, 0);
    std::string everyValue;
    for (int round = 0; round < 4; ++round)
        for (int value = 0; value < 256; ++value)
            everyValue += static_cast<char>(value);
    WriteTerminal(fd, everyValue);
    EXPECT_EQ(ReadTerminal(fd, everyValue.size()), everyValue);
    EXPECT_TRUE(tty.WaitForError("Connected to the data channel 127.0.24.1:"));

    // A program that sets the terminal's speed is told once that it does not reach the device.
    termios fast{};
    tcgetattr(fd, &fast);
    cfsetspeed(&fast, B115200);
    tcsetattr(fd, TCSANOW, &fast);
    EXPECT_TRUE(tty.WaitForError("line settings (speed, parity, ...) do not reach the device"));
    close(fd);

    tty.Signal(SIGTERM);
    const TProgramResult ended = tty.Wait();
    EXPECT_EQ(ended.ExitCode, 143) << ended.Err;
    EXPECT_TRUE(Contains(ended.Err, "Bytes to the device / from the device / held / dropped: 1024 / 1024 / 0 / 0"));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "the link stays behind";
    std::filesystem::remove(occupied);
}

TEST_F(ChannelProgramTest, TtyKeepsTheTerminalThroughADropAndHoldsOrCountsWhatIsWritten)
{
    TSimKnobs knobs = Unpaced();
    knobs.DropAfterBytes = 64;
    TSimDevice& device = AddChannelDevice("127.0.24.2", "00-20-4a-00-24-02", knobs);
    TProgram tty(Command({"tty", "--ip", "127.0.24.2", "--hold", "100"}));
    ASSERT_TRUE(tty.WaitForError("Connected to the data channel")) << tty.SoFar().Err;
    const std::string terminal = tty.SoFar().Out.substr(0, tty.SoFar().Out.find('\n'));
    const int fd = OpenTerminal(terminal);
    ASSERT_GE(fd, 0);

    // The open connection stays; the next ones are refused until the device takes them again.
    knobs.RefuseConnections = true;
    device.SetKnobs(knobs);
    const std::string first(64, 'a');
    WriteTerminal(fd, first);
    EXPECT_EQ(ReadTerminal(fd, first.size()), first);
    EXPECT_TRUE(tty.WaitForError("Connection to the data channel lost"));
    EXPECT_TRUE(tty.WaitForError("Connection refused; next attempt in "));

    std::string away;
    for (int i = 0; i < 300; ++i)
        away += static_cast<char>('A' + i % 26);
    WriteTerminal(fd, away);
    EXPECT_TRUE(tty.WaitForError("The buffer for the outage is full (100 bytes)"));
    knobs.RefuseConnections = false;
    knobs.DropAfterBytes = 0;
    device.SetKnobs(knobs);
    EXPECT_TRUE(tty.WaitForError("Held bytes sent: 100\nBytes dropped while disconnected: 200\n", 10000))
        << tty.SoFar().Err;
    EXPECT_EQ(ReadTerminal(fd, 100), away.substr(0, 100)) << "the held bytes, in order";
    WriteTerminal(fd, "after");
    EXPECT_EQ(ReadTerminal(fd, 5), "after");
    close(fd);

    tty.Signal(SIGINT);
    const TProgramResult ended = tty.Wait();
    EXPECT_EQ(ended.ExitCode, 130);
    EXPECT_TRUE(Contains(ended.Err, "held / dropped: 169 / 169 / 100 / 200")) << ended.Err;
}

TEST_F(ChannelProgramTest, ChannelTestMeasuresTheLineAndFindsTheWrongByte)
{
    AddChannelDevice("127.0.24.3", "00-20-4a-00-24-03", {});
    TSimKnobs corrupt;
    corrupt.CorruptAt = 300;
    AddChannelDevice("127.0.24.4", "00-20-4a-00-24-04", corrupt, {{"line_speed", 8}});

    const TProgramResult good = Cli({"channel-test", "--ip", "127.0.24.3", "--bytes", "480", "--json"});
    ASSERT_EQ(good.ExitCode, 0) << good.Err;
    const auto figures = Json(good);
    EXPECT_EQ(figures["sent"], 480);
    EXPECT_EQ(figures["received"], 480);
    EXPECT_EQ(figures["wrong_bytes"], 0);
    EXPECT_TRUE(figures["first_error_offset"].is_null());
    EXPECT_EQ(figures["line"], "9600 8N1");
    EXPECT_DOUBLE_EQ(figures["line_bytes_per_second"].get<double>(), 960.0);
    // Paced at 9600 8N1: 16 characters take 16.7 ms, the stream runs close to 960 bytes/s.
    EXPECT_GE(figures["round_trip_ms"].get<double>(), 16.0);
    EXPECT_NEAR(figures["bytes_per_second"].get<double>(), 960.0, 60.0);

    const TProgramResult wrong = Cli({"channel-test", "--mac", "00-20-4a-00-24-04", "--bytes", "1000"});
    EXPECT_EQ(wrong.ExitCode, 1) << wrong.Err;
    EXPECT_TRUE(Contains(wrong.Out, "Bytes received: 1000\nWrong bytes: 1\nFirst wrong byte at offset: 300\n"))
        << wrong.Out;
    EXPECT_TRUE(Contains(wrong.Out, "(115200 8N1, ")) << wrong.Out;
    EXPECT_TRUE(Contains(wrong.Out, "The loopback test failed."));
}

TEST_F(ChannelProgramTest, DevicesThatTakeNoConnectionAreNamedWithTheSettingToChange)
{
    TSimKnobs refuse;
    refuse.RefuseConnections = true;
    AddChannelDevice("127.0.24.5", "00-20-4a-00-24-05", refuse);
    AddChannelDevice("127.0.24.6", "00-20-4a-00-24-06", {}, {{"connection_acceptance", 0}});
    AddChannelDevice("127.0.24.7", "00-20-4a-00-24-07", {}, {{"Directed_UDP", 12}});
    const std::vector<std::pair<std::string, std::string>> cases{
        {"127.0.24.6", "Change connection_acceptance (Incoming connection) in its settings"},
        {"127.0.24.7", "Switch UDP datagram mode (Directed_UDP, disconnect_config) off"},
    };
    for (const std::string command : {"tty", "channel-test"})
        for (const auto& [ip, message] : cases) {
            const TProgramResult result = Cli({command, "--ip", ip});
            EXPECT_EQ(result.ExitCode, 1) << command << " " << ip << ": " << result.Err;
            EXPECT_TRUE(Contains(result.Err, message)) << result.Err;
            EXPECT_EQ(result.Out, "");
        }
    const TProgramResult refused = Cli({"channel-test", "--ip", "127.0.24.5"});
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_TRUE(Contains(refused.Err, "Cannot connect to the data channel 127.0.24.5:")) << refused.Err;
    EXPECT_TRUE(Contains(refused.Err, "Connection refused"));
}
