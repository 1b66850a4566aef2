#include <gtest/gtest.h>

#include "model/Exception.h"
#include "ui/ProgramOptions.h"

using namespace qubra;

TEST(ProgramOptionsTest, WithoutOptionsTheDesignedLinkStays)
{
    const TProgramOptions options = ParseProgramOptions({});
    EXPECT_EQ(options.Link.DevicePort, 30718);
    EXPECT_EQ(options.Link.BroadcastIP, "255.255.255.255");
    EXPECT_EQ(options.Link.AnswerTimeout, 3500);
    EXPECT_TRUE(options.LanguageFile.empty());
}

TEST(ProgramOptionsTest, EachOptionSetsItsValue)
{
    const TProgramOptions options = ParseProgramOptions(
        {"--port", "40001", "--broadcast", "127.255.255.255", "--timeout", "250", "--lang", "english.lng.xml"});
    EXPECT_EQ(options.Link.DevicePort, 40001);
    EXPECT_EQ(options.Link.BroadcastIP, "127.255.255.255");
    EXPECT_EQ(options.Link.AnswerTimeout, 250);
    EXPECT_EQ(options.LanguageFile, "english.lng.xml");
}

TEST(ProgramOptionsTest, WrongWordsAreRefusedByName)
{
    const auto refused = [](std::vector<std::string> Words, const std::string& Part) {
        try {
            ParseProgramOptions(Words);
        } catch (const Exception& error) {
            EXPECT_NE(std::string(error.what()).find(Part), std::string::npos) << error.what();
            return;
        }
        ADD_FAILURE() << "accepted: " << Part;
    };
    refused({"--port", "0"}, "--port");
    refused({"--port", "65536"}, "--port");
    refused({"--port", "12x"}, "12x");
    refused({"--timeout", "0"}, "--timeout");
    refused({"--broadcast", "127.1.2"}, "127.1.2");
    refused({"--lang"}, "needs a value");
    refused({"--port", "1", "--port", "2"}, "twice");
    refused({"--verbose"}, "--verbose");
}
