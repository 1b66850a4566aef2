#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "i18n/Control.h"

namespace qubra::test {

// A folder of its own under the temporary folder, removed afterwards.
struct TTempDir {
    std::string Path = (std::filesystem::temp_directory_path() / "qubra-i18n-XXXXXX").string();
    TTempDir() { Path = std::string(mkdtemp(Path.data())) + "/"; }
    ~TTempDir() { std::filesystem::remove_all(Path); }
    std::string Write(const std::string& name, const std::string& content) const
    {
        std::filesystem::create_directories(std::filesystem::path(Path + name).parent_path());
        std::ofstream(Path + name, std::ios::binary) << content;
        return Path + name;
    }
};

// A window or control with a caption and a hint; a combo box when it has a list.
struct TFakeControl : TControl, TComboItems {
    std::string FName;
    bool Container;
    bool IsCombo;
    std::map<std::string, std::string> Properties{{"Caption", ""}, {"Hint", ""}};
    std::vector<std::unique_ptr<TFakeControl>> Kids;
    std::vector<std::string> Items;
    int Selected = -1;

    explicit TFakeControl(std::string name, bool container = true, bool combo = false)
        : FName(std::move(name)), Container(container), IsCombo(combo) {}
    TFakeControl& Add(std::string name, bool container = false, bool combo = false)
    {
        return *Kids.emplace_back(std::make_unique<TFakeControl>(std::move(name), container, combo));
    }

    std::string Name() const override { return FName; }
    bool CanHoldChildren() const override { return Container; }
    std::vector<TControl*> Children() const override
    {
        std::vector<TControl*> children;
        for (const auto& kid : Kids) children.push_back(kid.get());
        return children;
    }
    TComboItems* ComboItems() override { return IsCombo ? this : nullptr; }
    std::vector<std::string> PropertyNames() const override
    {
        std::vector<std::string> names;
        for (const auto& property : Properties) names.push_back(property.first);
        return names;
    }
    void SetPropertyText(const std::string& name, const std::string& value) override { Properties.at(name) = value; }
    int ItemIndex() const override { return Selected; }
    void SetItemIndex(int index) override { Selected = index; }
    void SetItems(const std::vector<std::string>& items) override { Items = items; }
};

} // namespace qubra::test
