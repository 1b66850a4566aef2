#pragma once

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/DataManager.h"

namespace qubra {

using TJson = nlohmann::ordered_json;

// One field of a setup record, named "RECORD.FIELD".
struct TFieldEntry {
    std::string Key;
    const TDataItem* Item;
};

// Every field of every setup record in mapping order, without the record headers.
std::vector<TFieldEntry> SetupFields(const TDataManager& DataManager);

// The value as read shows it: numbers in decimal, followed by " [entry]" when an entry of the
// field has that value; booleans true/false; addresses, MACs and hex as the model writes them;
// texts in UTF-8.
std::string FieldText(const TDataItem& Item);
// The same value typed: numbers, booleans or strings.
TJson FieldJson(const TDataItem& Item);

// "RECORD.FIELD=VALUE" (or "FIELD=VALUE") set through the model; raises the model's error.
void ApplySetting(TDataManager& DataManager, const std::string& Setting);

// "RECORD.FIELD=VALUE" lines of every setup field, or one JSON object with the same keys.
std::string FieldsText(const TDataManager& DataManager);
TJson FieldsJson(const TDataManager& DataManager);

} // namespace qubra
