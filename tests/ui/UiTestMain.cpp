#include <gtest/gtest.h>

#include <memory>

#include "UiTestSupport.h"

namespace qubra::test {

namespace {

// The application is made when the tests run, not when they are only listed, so that listing
// needs no window system.
class TApplicationEnvironment : public ::testing::Environment {
public:
    TApplicationEnvironment(int& argc, char** argv) : Argc(argc), Argv(argv) {}
    void SetUp() override { Application = std::make_unique<TApplication>(Argc, Argv); }
    void TearDown() override { Application.reset(); }

    int& Argc;
    char** Argv;
    std::unique_ptr<TApplication> Application;
};

TApplicationEnvironment* Environment = nullptr;

} // namespace

TApplication& App() { return *Environment->Application; }

} // namespace qubra::test

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    qubra::test::Environment = new qubra::test::TApplicationEnvironment(argc, argv);
    ::testing::AddGlobalTestEnvironment(qubra::test::Environment);
    return RUN_ALL_TESTS();
}
