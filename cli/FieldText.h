#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/DataManager.h"

namespace qubra {

using TJson = nlohmann::ordered_json;

// Backslash and control characters written as C escapes (\\, \n, \r, \t, \xHH), so that a
// text shows on one line and cannot pass for another field.
// The C1 controls (U+0080 to U+009F, which the record's undefined bytes read as) too.
std::string EscapeControls(const std::string& Text);
// The text EscapeControls gave, back; \xHH stands for the code point U+00HH. A backslash
// that starts no such escape raises.
std::string UnescapeControls(const std::string& Text);
// The JSON text with an indent of 2 and a closing line break. Never fails: bytes that are not
// UTF-8 become replacement characters.
std::string JsonText(const TJson& Json);

// Builds a JSON object in time linear in its keys: ordered_json finds a key by a linear search,
// so an object of many keys set one by one takes quadratic time. A key set twice keeps its first
// place and takes the later value, as ordered_json does.
class TJsonObjectBuilder {
public:
    void Set(const std::string& Key, TJson Value);
    TJson Take() { return std::move(FObject); }

private:
    TJson FObject = TJson::object();
    std::unordered_map<std::string, std::size_t> FPlaces;
};

// One field of a setup record, named "RECORD.FIELD".
struct TFieldEntry {
    std::string Key;
    const TDataItem* Item;
};

// Every field of every setup record in mapping order, without the record headers.
std::vector<TFieldEntry> SetupFields(const TDataManager& DataManager);

// The value as read shows it: numbers in decimal, followed by " [entry]" when an entry of the
// field has that value; booleans true/false; addresses, MACs and hex as the model writes them;
// texts in UTF-8 as they are.
std::string FieldText(const TDataItem& Item);
// The same value typed: numbers, booleans or strings.
TJson FieldJson(const TDataItem& Item);

// Which values a field holds now, as ApplySetting sees it.
enum class TPresentValue {
    // What the record holds: the record is a device's.
    OfRecord,
    // Any value the field's bits or bytes can hold: the record stands for devices not yet read,
    // so whatever the field can hold may be a device's present value. The check of a setting
    // before any device is read.
    AnyItHolds,
};

// "RECORD.FIELD=VALUE" (or "FIELD=VALUE"). The value is read by the rule of the field's kind
// and must reach the record whole; anything else raises, leaving the field as it was. The
// field's present value is always taken (and changes nothing); numbers also as read prints
// them ("2 [9600]"). Besides: numbers in decimal (or an entry's name) within the field's
// limits, for an enumeration one of its entries, for an enumeration with a mask any
// combination of them; booleans true/false/1/0; addresses as ParseIPText takes them, the
// device's own address only one that names a device; MACs as ParseMACText; hex as pairs of
// digits; texts with the escapes of EscapeControls that Windows-1250 can write.
void ApplySetting(TDataManager& DataManager, const std::string& Setting,
                  TPresentValue Present = TPresentValue::OfRecord);

// "RECORD.FIELD=VALUE" lines of every setup field (keys and values through EscapeControls),
// or one JSON object with the same keys and the exact values.
std::string FieldsText(const TDataManager& DataManager);
TJson FieldsJson(const TDataManager& DataManager);

} // namespace qubra
