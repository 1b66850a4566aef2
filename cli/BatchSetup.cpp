#include "cli/BatchSetup.h"

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>

#include "cli/Interrupt.h"
#include "control/DeviceBatch.h"
#include "i18n/Language.h"
#include "model/Conversions.h"

namespace qubra {

namespace {

constexpr const char* kAddressKey = "SetupRecord0.unit_ip";

std::string TextOf(const TFieldTexts& Texts, const std::string& Key)
{
    for (const auto& [key, text] : Texts)
        if (key == Key)
            return text;
    return "";
}

TJson ChangesJson(const std::vector<TFieldChange>& Changes)
{
    TJson list = TJson::array();
    for (const TFieldChange& change : Changes)
        list.push_back({{"field", change.Key}, {"old", change.Old}, {"new", change.New}});
    return list;
}

std::string Outcome(const TDeviceRow& Row, bool DryRun)
{
    if (!Row.Started)
        return "not started";
    if (!Row.Ok)
        return "failed";
    return DryRun ? "dry-run" : "ok";
}

// One device as its steps go: everything it writes to its row happens on its own thread.
bool SetUpDevice(const TCommandContext& Context, const TSetupSteps& Steps, std::size_t Index,
                 TDeviceController& Device, TDeviceRow& Row, const std::string& LastNotice,
                 const std::string& Prefix)
{
    Row.LastNotice = &LastNotice;
    const auto start = std::chrono::steady_clock::now();
    Row.Started = true;
    const auto finish = [&](bool Ok) {
        Row.Ok = Ok;
        Row.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!IsZeroMAC(Device.DeviceMAC))
            Row.MAC = MACToStr(Device.DeviceMAC);
        if (!Ok && Row.Error.empty())
            Row.Error = LastNotice;
        return Ok;
    };
    if (!Steps.Reach(Index, Device, Row))
        return finish(false);
    if (Row.Unread)
        return finish(Context.Args.DryRun);
    if (Row.IPBefore.empty())
        Row.IPBefore = IPToStr(Device.DeviceIP);
    const TFieldTexts before = SetupTexts(Device.DataManager);
    Steps.Edit(Index, Device.DataManager);
    const TFieldTexts edited = SetupTexts(Device.DataManager);
    Row.Changes = ChangedFields(before, edited);
    if (Context.Args.DryRun) {
        Row.IPAfter = TextOf(edited, kAddressKey);
        return finish(true);
    }
    if (!Device.WriteToDevice())
        return finish(false);
    Row.IPAfter = IPToStr(Device.DeviceIP);
    const TFieldTexts readBack = SetupTexts(Device.DataManager);
    if (const std::vector<TFieldChange> differ = ReadBackDifferences(Row.Changes, readBack); !differ.empty()) {
        Row.Error = GetText(msgZapsanoAleZar);
        for (std::size_t i = 0; i < differ.size(); ++i)
            Row.Error += (i > 0 ? ", " : "") + differ[i].Key + "=" + differ[i].Old + GetText(msgMisto) +
                         differ[i].New;
        Context.Console.Line(Prefix + "error: " + Row.Error);
        return finish(false);
    }
    Row.Fields = FieldsJson(Device.DataManager);
    Row.FieldsText = FieldsText(Device.DataManager);
    return finish(true);
}

void PrintRow(const TCommandContext& Context, const TDeviceRow& Row, TJson& Results)
{
    const bool dry = Context.Args.DryRun;
    if (Context.Args.Json) {
        TJson entry{{"target", Row.Target}, {"mac", Row.MAC}, {"ip", Row.Ok ? Row.IPAfter : Row.IPBefore},
                    {"ok", Row.Ok}};
        if (Row.Ok && !dry)
            entry["fields"] = Row.Fields;
        if (dry || Row.Ok)
            entry["changes"] = ChangesJson(Row.Changes);
        if (!Row.Ok && !Row.Error.empty())
            entry["error"] = Row.Error;
        if (!Row.Note.empty())
            entry["note"] = Row.Note;
        Results.push_back(entry);
        return;
    }
    const std::string& ip = Row.Ok && !dry ? Row.IPAfter : Row.IPBefore;
    Context.Out << "# " << Row.Target << " " << (Row.MAC.empty() ? "-" : Row.MAC) << " "
                << (ip.empty() ? "-" : ip) << " " << (Row.Ok ? (dry ? "dry-run" : "ok") : "failed") << "\n";
    if (dry && Row.Ok) {
        for (const TFieldChange& change : Row.Changes)
            Context.Out << EscapeControls(change.Key) << ": " << EscapeControls(change.Old) << " -> "
                        << EscapeControls(change.New) << "\n";
        if (!Row.Note.empty())
            Context.Out << "# " << EscapeControls(Row.Note) << "\n";
        else if (Row.Changes.empty())
            Context.Out << "# nothing would change\n";
    } else if (Row.Ok) {
        Context.Out << Row.FieldsText;
    }
    Context.Out << std::flush;
}

std::string ProgressText(const TBatchProgress& Progress)
{
    const std::size_t waiting = Progress.Total - Progress.Done - Progress.Failed - Progress.Running;
    return "qubra-cli: " + std::to_string(Progress.Done) + " done, " + std::to_string(Progress.Failed) +
           " failed, " + std::to_string(Progress.Running) + " running, " + std::to_string(waiting) +
           " waiting (" + std::to_string(Progress.Total) + ")";
}

void WriteReport(const std::string& FileName, const TJson& Document)
{
    std::ofstream file(FileName, std::ios::binary | std::ios::trunc);
    file << JsonText(Document);
    if (!file.flush())
        throw Exception(FileName + ": cannot be written");
}

} // namespace

void CheckOutFile(const std::string& FileName)
{
    const std::filesystem::path path(FileName);
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error))
        throw EUsage(FileName + ": the folder " + folder.string() + " does not exist");
    if (std::filesystem::is_directory(path, error))
        throw EUsage(FileName + ": is a folder");
}

TFieldTexts SetupTexts(const TDataManager& Records)
{
    TFieldTexts texts;
    for (const TFieldEntry& field : SetupFields(Records))
        texts.emplace_back(field.Key, FieldText(*field.Item));
    return texts;
}

std::vector<TFieldChange> ChangedFields(const TFieldTexts& Before, const TFieldTexts& After)
{
    std::vector<TFieldChange> changes;
    for (const auto& [key, text] : After)
        if (const std::string old = TextOf(Before, key); old != text)
            changes.push_back({key, old, text});
    return changes;
}

std::vector<TFieldChange> ReadBackDifferences(const std::vector<TFieldChange>& Written,
                                              const TFieldTexts& ReadBack)
{
    std::vector<TFieldChange> differ;
    for (const TFieldChange& change : Written)
        if (const std::string read = TextOf(ReadBack, change.Key); read != change.New)
            differ.push_back({change.Key, read, change.New});
    return differ;
}

TJson ReportDocument(const std::string& Command, bool DryRun, const std::vector<TDeviceRow>& Rows)
{
    TJson devices = TJson::array();
    for (const TDeviceRow& row : Rows) {
        TJson entry{{"target", row.Target},
                    {"mac", row.MAC},
                    {"ip_before", row.IPBefore},
                    {"ip_after", row.IPAfter},
                    {"outcome", Outcome(row, DryRun)},
                    {"changed", ChangesJson(row.Changes)},
                    {"seconds", std::round(row.Seconds * 1000) / 1000}};
        if (!row.Error.empty())
            entry["error"] = row.Error;
        if (!row.Note.empty())
            entry["note"] = row.Note;
        devices.push_back(entry);
    }
    return {{"command", Command}, {"dry_run", DryRun}, {"devices", devices}};
}

int RunSetupBatch(const TCommandContext& Context, const std::vector<std::string>& Targets,
                  const TSetupSteps& Steps)
{
    const std::size_t count = Targets.size();
    std::vector<TDeviceRow> rows(count);
    std::vector<std::shared_ptr<std::string>> notices;
    for (std::size_t i = 0; i < count; ++i) {
        rows[i].Target = Targets[i];
        notices.push_back(std::make_shared<std::string>());
    }
    // Lines of one device among others name it.
    const auto prefix = [&](std::size_t Index) { return count > 1 ? Targets[Index] + ": " : std::string(); };
    TDeviceBatch batch(
        Context.Link, Context.LoadLayout,
        [&](std::size_t Index) {
            TDeviceBatch::TDeviceViews views;
            views.MainView = std::make_unique<TConsoleView>(Context.Console, prefix(Index), notices[Index]);
            views.CreateView = [&Context, notice = notices[Index], text = prefix(Index)] {
                return std::make_unique<TConsoleView>(Context.Console, text, notice);
            };
            return views;
        },
        Context.Args.Jobs);

    TJson results = TJson::array();
    const bool allOk = batch.Run(
        count,
        [&](std::size_t Index, TDeviceController& Device) {
            return SetUpDevice(Context, Steps, Index, Device, rows[Index], *notices[Index], prefix(Index));
        },
        [&](std::size_t Index, const TBatchEnd& End) {
            if (!End.Error.empty()) {
                rows[Index].Ok = false;
                rows[Index].Error = End.Error;
                Context.Console.Line(prefix(Index) + "error: " + End.Error);
            }
            PrintRow(Context, rows[Index], results);
        },
        [&](const TBatchProgress& Progress) {
            if (count > 1)
                Context.Console.Progress(ProgressText(Progress));
        });
    Context.Console.Progress("");
    if (Context.Args.Json)
        Context.Out << JsonText(results);
    if (!Context.Args.ReportFile.empty())
        WriteReport(Context.Args.ReportFile, ReportDocument(Context.Args.Command, Context.Args.DryRun, rows));
    ThrowIfInterrupted();
    return allOk ? 0 : 1;
}

} // namespace qubra
