// The module's side of the ARP helper against stand-in helpers: small scripts that log what
// they are told and answer as the helper would.
#include "net/ARPHelperClient.h"
#include "tests/net/ARPTestSupport.h"

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <arpa/inet.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

using namespace qubra;

namespace {

class ARPHelperClientTest : public ::testing::Test {
protected:
    std::filesystem::path Folder;

    void SetUp() override
    {
        char pattern[] = "/tmp/qubra-helper-client-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        Folder = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }

    // A stand-in helper whose shell Body reads the request into $line; it logs every line.
    std::string Helper(const std::string& Body, mode_t Mode = 0755)
    {
        const std::string path = (Folder / "qubra-arphelper").string();
        std::ofstream(path) << "#!/bin/sh\nIFS= read -r line\nprintf '%s\\n' \"$line\" >> " << Log()
                            << "\n" << Body << "\n";
        chmod(path.c_str(), Mode);
        return path;
    }
    std::string Log() const { return (Folder / "log").string(); }
    std::string Logged() const
    {
        std::ifstream file(Log());
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }

    static MIB_IPNETROW Row(const char* IP) { return test::StaticRow(3, IP, {0x02, 0x20, 0x4A, 0x12, 0xAB, 0xCD}); }
};

// Holds until any input or its end, logging which, as the helper does.
const char* const kHolder = R"(case "$line" in
hold*) echo ok; IFS= read -r more; printf 'end %s\n' "$more" >> LOG; echo ok ;;
*) echo ok ;;
esac)";

std::string WithLog(std::string Body, const std::string& Log)
{
    for (std::size_t at; (at = Body.find("LOG")) != std::string::npos;)
        Body.replace(at, 3, Log);
    return Body;
}

} // namespace

TEST_F(ARPHelperClientTest, HeldEntryLastsUntilDeletedOrUntilTheClientGoes)
{
    const std::string program = Helper(WithLog(kHolder, Log()));
    {
        TARPHelperClient client(program);
        ASSERT_EQ(client.Hold(Row("10.81.0.50")), 0u) << TARPHelperClient::LastError();
        EXPECT_EQ(Logged(), "hold 3 10.81.0.50 02:20:4a:12:ab:cd 30\n") << "still held";

        ASSERT_EQ(client.Hold(Row("192.168.1.254")), 0u);
        // The held entry is released by its own helper; any other row by a helper of its own.
        EXPECT_EQ(client.Delete(Row("10.81.0.50")), 0u);
        EXPECT_EQ(client.Delete(Row("10.81.0.51")), 0u);
        EXPECT_EQ(Logged(), "hold 3 10.81.0.50 02:20:4a:12:ab:cd 30\n"
                            "hold 3 192.168.1.254 02:20:4a:12:ab:cd 30\n"
                            "end release\n"
                            "delete 3 10.81.0.51\n");
    }
    // The client's end: the second holder saw its input close.
    EXPECT_EQ(Logged().substr(Logged().rfind("delete")), "delete 3 10.81.0.51\nend \n");
}

TEST_F(ARPHelperClientTest, HelperThatCannotActNamesTheRightAndTheGroup)
{
    const auto expectMissingRight = [&](std::uint32_t Code, std::uint32_t Expected, const char* Reason) {
        EXPECT_EQ(Code, Expected) << Reason;
        const std::string text = TARPHelperClient::LastError();
        EXPECT_NE(text.find("CAP_NET_ADMIN"), std::string::npos) << text;
        EXPECT_NE(text.find("group qubra232"), std::string::npos) << text;
        EXPECT_NE(text.find((Folder / "qubra-arphelper").string()), std::string::npos) << text;
        EXPECT_NE(text.find(Reason), std::string::npos) << text;
    };
    TARPHelperClient client((Folder / "qubra-arphelper").string());
    expectMissingRight(client.Hold(Row("10.81.0.50")), ENOENT, "it is not there");
    expectMissingRight(client.Delete(Row("10.81.0.50")), ENOENT, "it is not there");

    Helper("echo ok", 0644);
    expectMissingRight(client.Hold(Row("10.81.0.50")), EACCES, "this user may not run it");

    Helper("echo 'error 1 qubra-arphelper does not hold the right CAP_NET_ADMIN'");
    expectMissingRight(client.Hold(Row("10.81.0.50")), EPERM, "it does not hold that right");

    // Its own refusals keep their codes; the system's text says enough.
    Helper("echo 'error 17 10.81.0.50 has a permanent entry'");
    EXPECT_EQ(client.Hold(Row("10.81.0.50")), 17u);
    EXPECT_EQ(TARPHelperClient::LastError(), "");
    Helper("exit 0");
    EXPECT_EQ(client.Delete(Row("10.81.0.50")), static_cast<std::uint32_t>(EIO)) << "ended without an answer";
    Helper("echo 'error x'");
    EXPECT_EQ(client.Delete(Row("10.81.0.50")), static_cast<std::uint32_t>(EIO));
    EXPECT_EQ(TARPHelperClient::LastError(), "");
}

TEST_F(ARPHelperClientTest, EntryOfAKilledHolderIsLeftToTheNextHelper)
{
    // Holds, then dies at once; the next helper's start takes its entry away, so the deletion
    // finds none.
    const std::string program = Helper(R"(case "$line" in
hold*) echo ok ;;
*) echo 'error 2 the entry for 10.81.0.50: No such file or directory' ;;
esac)");
    TARPHelperClient client(program);
    ASSERT_EQ(client.Hold(Row("10.81.0.50")), 0u);
    EXPECT_EQ(client.Delete(Row("10.81.0.50")), 0u);
    EXPECT_EQ(Logged(), "hold 3 10.81.0.50 02:20:4a:12:ab:cd 30\ndelete 3 10.81.0.50\n");
    EXPECT_EQ(client.Delete(Row("10.81.0.50")), static_cast<std::uint32_t>(ENOENT)) << "no longer held";
}
