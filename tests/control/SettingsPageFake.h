#pragma once

// The two settings pages as plain state, built from the control table, reporting its events
// to the binding the way the window toolkit does.

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "control/SettingsBinding.h"
#include "control/SettingsControls.h"
#include "model/Conversions.h"
#include "net/ARPManager.h"

namespace qubra::test {

struct TFakeControl {
    TSettingsControlKind Kind = skEdit;
    int Index = -1;
    int Count = 0;
    bool Checked = false;
    std::string Text{};
    int Value = 0;
    int MinValue = 0;
    int MaxValue = 0;
    bool Enabled = true;
    bool Visible = true;
};

class TFakePage;

// The address frame with the behaviour of the real one: automatic mask from the address,
// validity of the three texts. Its controls live in the page.
class TFakeAddressFrame : public TAddressFrame {
public:
    explicit TFakeAddressFrame(TFakePage& Page) : Page(Page) {}
    void SetValues(const std::string& IPText, const std::string& MaskText, const std::string& GatewayText) override;
    bool IsValid() const override;
    std::uint32_t GetIP() const override;
    std::uint32_t GetMask() const override;
    std::uint32_t GetGateway() const override;
    bool AutoMask() const;
    void SetAutoMask(bool On);

private:
    TFakePage& Page;
};

class TFakePage : public TSettingsPage {
public:
    TSettingsBinding* Binding = nullptr;
    // "tab:<name>", "focus:<name>", "error:<text>" in the order they happened.
    std::vector<std::string> Log;
    TFakeAddressFrame Frame{*this};

    TFakePage() { Reset(); }

    // Every control as the page starts; nothing reported.
    void Reset()
    {
        Log.clear();
        Controls.clear();
        for (const TSettingsControl& control : SettingsControls()) {
            TFakeControl& c = Controls[control.Name];
            c.Kind = control.Kind;
            c.Index = control.StartIndex;
            c.Count = static_cast<int>(control.Items.size());
            c.Checked = control.StartChecked;
            c.Text = control.StartText;
            c.Value = control.StartValue;
            c.MinValue = control.MinValue;
            c.MaxValue = control.MaxValue;
            c.Enabled = control.StartEnabled;
        }
        Controls["txtIP"] = {};
        Controls["txtMask"] = {.Text = "0.0.0.0", .Enabled = false};
        Controls["txtGate"] = {.Text = "0.0.0.0"};
        Controls["chAutoMask"] = {.Kind = skCheckBox, .Checked = true};
    }

    TFakeControl& At(const std::string& Name)
    {
        const auto found = Controls.find(Name);
        if (found == Controls.end()) throw std::out_of_range("no control " + Name);
        return found->second;
    }
    const TFakeControl& At(const std::string& Name) const { return const_cast<TFakePage*>(this)->At(Name); }

    int ItemIndex(const std::string& Name) const override { return At(Name).Index; }
    void SetItemIndex(const std::string& Name, int Index) override
    {
        TFakeControl& c = At(Name);
        Change(Name, c.Index, Index >= 0 && Index < c.Count ? Index : -1);
    }
    bool Checked(const std::string& Name) const override { return At(Name).Checked; }
    void SetChecked(const std::string& Name, bool Checked) override { Change(Name, At(Name).Checked, Checked); }
    std::string Text(const std::string& Name) const override { return At(Name).Text; }
    void SetText(const std::string& Name, const std::string& Text) override { Change(Name, At(Name).Text, Text); }
    int SpinValue(const std::string& Name) const override { return At(Name).Value; }
    void SetSpinValue(const std::string& Name, int Value) override
    {
        TFakeControl& c = At(Name);
        Change(Name, c.Value, std::clamp(Value, c.MinValue, c.MaxValue));
    }
    void SetEnabled(const std::string& Name, bool Enabled) override { At(Name).Enabled = Enabled; }
    void SetVisible(const std::string& Name, bool Visible) override { At(Name).Visible = Visible; }
    void SetFocus(const std::string& Name) override
    {
        At(Name);
        Log.push_back("focus:" + Name);
    }
    TAddressFrame& IPSet() override { return Frame; }
    void ShowTab(const std::string& TabName) override { Log.push_back("tab:" + TabName); }
    void ShowErrorMessage(const std::string& Text) override { Log.push_back("error:" + Text); }

    // What a user does.
    void UserSelect(const std::string& Name, int Index)
    {
        SetItemIndex(Name, Index);
        Report(Name, ceUserChanged);
    }
    void UserClick(const std::string& Name)
    {
        SetChecked(Name, !Checked(Name));
        Report(Name, ceUserChanged);
    }
    void UserType(const std::string& Name, const std::string& Text)
    {
        SetText(Name, Text);
        Report(Name, ceUserChanged);
    }
    void UserLeave(const std::string& Name) { Report(Name, ceFocusLost); }

    // What a language file does to a list: new items, the selection kept while it fits.
    void ReplaceItems(const std::string& Name, int Count)
    {
        TFakeControl& c = At(Name);
        const int selected = c.Index;
        c.Count = Count;
        SetItemIndex(Name, selected);
    }

    std::string LastTab() const
    {
        for (auto entry = Log.rbegin(); entry != Log.rend(); ++entry)
            if (entry->starts_with("tab:")) return entry->substr(4);
        return {};
    }

private:
    std::map<std::string, TFakeControl> Controls;

    template <typename T>
    void Change(const std::string& Name, T& Field, const T& Value)
    {
        if (Field == Value) return;
        Field = Value;
        Report(Name, ceStateChanged);
    }
    void Report(const std::string& Name, TControlEvent Event)
    {
        if (Binding) Binding->ControlEvent(Name, Event);
    }
};

inline void TFakeAddressFrame::SetValues(const std::string& IPText, const std::string& MaskText,
                                         const std::string& GatewayText)
{
    SetAutoMask(false);
    Page.SetText("txtIP", IPText);
    Page.SetText("txtMask", MaskText);
    Page.SetText("txtGate", GatewayText);
    SetAutoMask(StrToIP(MaskText) == 0xFFFFFFFFu);
}

inline bool TFakeAddressFrame::AutoMask() const { return Page.Checked("chAutoMask"); }

inline void TFakeAddressFrame::SetAutoMask(bool On)
{
    Page.SetChecked("chAutoMask", On);
    Page.SetEnabled("txtMask", !On);
    if (On) Page.SetText("txtMask", TARPManager::DefaultMaskText(Page.Text("txtIP")));
}

inline bool TFakeAddressFrame::IsValid() const
{
    const std::string ip = Page.Text("txtIP");
    const std::string mask = Page.Text("txtMask");
    const std::string gate = Page.Text("txtGate");
    return !ip.empty() && GetIP() != 0 && GetIP() != 0xFFFFFFFFu && TARPManager::IsIPText(ip) &&
           (mask.empty() || TARPManager::IsIPText(mask)) && (gate.empty() || TARPManager::IsIPText(gate));
}

inline std::uint32_t TFakeAddressFrame::GetIP() const { return StrToIP(Page.Text("txtIP")); }

inline std::uint32_t TFakeAddressFrame::GetMask() const
{
    const std::string mask = Page.Text("txtMask");
    return mask.empty() || AutoMask() ? 0 : StrToIP(mask);
}

inline std::uint32_t TFakeAddressFrame::GetGateway() const
{
    const std::string gate = Page.Text("txtGate");
    return gate.empty() ? 0 : StrToIP(gate);
}

} // namespace qubra::test
