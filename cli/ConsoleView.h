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
    // Standard error is a terminal: a progress line may stand below the other lines.
    bool ShowProgress = false;

    // A line on standard error (CR LF in system texts becomes a plain line break).
    void Line(const std::string& Text);
    // Only with Verbose.
    void Detail(const std::string& Text);
    // Shows the box, each line after Prefix; a Yes/No question is answered by the policy, the
    // terminal or No. One question at a time, whatever thread asks.
    TMessageAnswer Answer(const TMessageBox& Box, const std::string& Prefix = "");
    // Replaces the progress line (with ShowProgress only); an empty Text removes it.
    void Progress(const std::string& Text);

private:
    void WriteLine(const std::string& Text);
    void ClearProgress();
    void DrawProgress();
    TMessageAnswer Prompt(TMessageAnswer DefaultButton);

    std::ostream& FErr;
    std::istream& FIn;
    int FTerminalFd;
    std::string FProgress;
    std::mutex FLock;
};

// The communication window on the console: status lines to standard error (all of them with
// --verbose), notices always; Ctrl-C and SIGTERM ask the engine to stop. In a batch every line
// starts with Prefix (the device), and LastNotice keeps the text of the device's last notice.
class TConsoleView : public TDataSenderView {
public:
    explicit TConsoleView(TConsole& Console, std::string Prefix = "",
                          std::shared_ptr<std::string> LastNotice = nullptr)
        : FConsole(Console), FPrefix(std::move(Prefix)), FLastNotice(std::move(LastNotice))
    {
    }

    void SetCaption(const std::string&) override {}
    void SetStatus(const std::string& Text) override;
    void SetPosition(int) override {}
    void SetLook(TSenderLook) override {}
    void SetAnimation(bool) override {}
    void Pump() override {}
    void KeepAlive() override {}
    bool CancelRequested() override;
    int WakeUpHandle() override;
    TMessageAnswer MessageBox(const TMessageBox& Box) override { return FConsole.Answer(Box, FPrefix); }
    void ShowNotice(const std::string& ButtonCaption, TMessageIcon Icon) override;
    void Close() override {}
    std::unique_ptr<TDataSenderView> CreateNoticeView() override;

private:
    TConsole& FConsole;
    const std::string FPrefix;
    const std::shared_ptr<std::string> FLastNotice;
    std::string FStatus;
};

} // namespace qubra
