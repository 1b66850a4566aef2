#pragma once

#include <iosfwd>
#include <memory>
#include <mutex>
#include <string>

#include "cli/Arguments.h"
#include "conversation/DataSenderView.h"

namespace qubra {

// What the console views of one run share: standard error, the verbosity and how questions
// are answered. Lines are written whole, also from several threads.
class TConsole {
public:
    // TerminalFd: the terminal behind In that answers questions, or -1 when In is no terminal.
    TConsole(std::ostream& Err, std::istream& In, int TerminalFd);

    bool Verbose = false;
    TAnswerPolicy Answers = TAnswerPolicy::Ask;

    // A line on standard error (CR LF in system texts becomes a plain line break).
    void Line(const std::string& Text);
    // Only with Verbose.
    void Detail(const std::string& Text);
    // Shows the box; a Yes/No question is answered by the policy, the terminal or No.
    TMessageAnswer Answer(const TMessageBox& Box);

private:
    void WriteLine(const std::string& Text);
    TMessageAnswer Prompt(TMessageAnswer DefaultButton);

    std::ostream& FErr;
    std::istream& FIn;
    int FTerminalFd;
    std::mutex FLock;
};

// The communication window on the console: status lines to standard error (all of them with
// --verbose), notices always; Ctrl-C and SIGTERM ask the engine to stop.
class TConsoleView : public TDataSenderView {
public:
    explicit TConsoleView(TConsole& Console) : FConsole(Console) {}

    void SetCaption(const std::string&) override {}
    void SetStatus(const std::string& Text) override;
    void SetPosition(int) override {}
    void SetLook(TSenderLook) override {}
    void SetAnimation(bool) override {}
    void Pump() override {}
    void KeepAlive() override {}
    bool CancelRequested() override;
    int WakeUpHandle() override;
    TMessageAnswer MessageBox(const TMessageBox& Box) override { return FConsole.Answer(Box); }
    void ShowNotice(const std::string& ButtonCaption, TMessageIcon Icon) override;
    void Close() override {}
    std::unique_ptr<TDataSenderView> CreateNoticeView() override;

private:
    TConsole& FConsole;
    std::string FStatus;
};

} // namespace qubra
