#include "cli/ConsoleView.h"

#include <istream>
#include <ostream>
#include <utility>

#include "cli/Interrupt.h"

namespace qubra {

namespace {

std::string PlainLineBreaks(std::string Text)
{
    for (std::size_t at; (at = Text.find("\r\n")) != std::string::npos;)
        Text.replace(at, 2, "\n");
    return Text;
}

std::string AnswerName(TMessageAnswer Answer)
{
    return Answer == TMessageAnswer::Yes ? "yes" : "no";
}

} // namespace

TConsole::TConsole(std::ostream& Err, std::istream& In, int TerminalFd)
    : FErr(Err), FIn(In), FTerminalFd(TerminalFd)
{
}

void TConsole::Line(const std::string& Text)
{
    std::lock_guard guard(FLock);
    WriteLine(Text);
}

void TConsole::WriteLine(const std::string& Text)
{
    ClearProgress();
    FErr << PlainLineBreaks(Text) << std::endl;
    DrawProgress();
}

void TConsole::Progress(const std::string& Text)
{
    if (!ShowProgress)
        return;
    std::lock_guard guard(FLock);
    ClearProgress();
    FProgress = Text;
    DrawProgress();
}

void TConsole::ClearProgress()
{
    if (!FProgress.empty())
        FErr << "\r\x1b[K" << std::flush;
}

void TConsole::DrawProgress()
{
    if (!FProgress.empty())
        FErr << FProgress << std::flush;
}

void TConsole::Detail(const std::string& Text)
{
    if (Verbose)
        Line(Text);
}

TMessageAnswer TConsole::Answer(const TMessageBox& Box, const std::string& Prefix)
{
    std::lock_guard guard(FLock);
    std::string text = Prefix + (Box.Caption.empty() ? Box.Text : Box.Caption + ": " + Box.Text);
    if (!Prefix.empty())
        for (std::size_t at = 0; (at = text.find("\r\n", at)) != std::string::npos; at += 2 + Prefix.size())
            text.insert(at + 2, Prefix);
    WriteLine(text);
    if (Box.Buttons == TMessageButtons::OK)
        return TMessageAnswer::OK;
    switch (Answers) {
    case TAnswerPolicy::Yes: WriteLine("-> yes (--yes)"); return TMessageAnswer::Yes;
    case TAnswerPolicy::No: WriteLine("-> no (--no)"); return TMessageAnswer::No;
    case TAnswerPolicy::Ask: break;
    }
    if (FTerminalFd < 0) {
        WriteLine("-> no (standard input is not a terminal; --yes answers Yes)");
        return TMessageAnswer::No;
    }
    return Prompt(Box.DefaultButton);
}

TMessageAnswer TConsole::Prompt(TMessageAnswer DefaultButton)
{
    const bool yesByDefault = DefaultButton == TMessageAnswer::Yes;
    // The progress line stays away until the question is answered.
    ClearProgress();
    FErr << (yesByDefault ? "[Y/n] " : "[y/N] ") << std::flush;
    const std::string progress = std::exchange(FProgress, "");
    std::string reply;
    if (FIn.rdbuf()->in_avail() <= 0)
        WaitForInput(FTerminalFd);
    const bool read = static_cast<bool>(std::getline(FIn, reply));
    FProgress = progress;
    if (!read) {
        WriteLine("");
        WriteLine("-> no (end of input)");
        return TMessageAnswer::No;
    }
    if (reply.empty())
        return yesByDefault ? TMessageAnswer::Yes : TMessageAnswer::No;
    const char first = static_cast<char>(reply.front() | 0x20);
    const TMessageAnswer answer = first == 'y' || first == 'a' ? TMessageAnswer::Yes : TMessageAnswer::No;
    WriteLine("-> " + AnswerName(answer));
    return answer;
}

void TConsoleView::SetStatus(const std::string& Text)
{
    FStatus = Text;
    FConsole.Detail(FPrefix + Text);
}

bool TConsoleView::CancelRequested()
{
    return InterruptSignal() != 0;
}

int TConsoleView::WakeUpHandle()
{
    return InterruptWakeUpHandle();
}

void TConsoleView::ShowNotice(const std::string&, TMessageIcon Icon)
{
    const char* prefix = Icon == TMessageIcon::Error     ? "error: "
                         : Icon == TMessageIcon::Warning ? "warning: "
                                                         : "";
    if (FLastNotice)
        *FLastNotice = FStatus;
    FConsole.Line(FPrefix + prefix + FStatus);
}

std::unique_ptr<TDataSenderView> TConsoleView::CreateNoticeView()
{
    return std::make_unique<TConsoleView>(FConsole, FPrefix, FLastNotice);
}

} // namespace qubra
