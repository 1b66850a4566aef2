#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "model/Exception.h"

namespace qubra {

// The value passed between the record model and its users: null, integer, boolean or text.
// Reading a missing field gives null; writing null changes nothing. Null read as a number or
// a boolean raises, so that a field the mapping lacks cannot pass for 0 or false; as text it
// is empty.
class TItemValue {
public:
    enum class TKind { Null, Integer, Boolean, Text };

    TItemValue() = default;
    TItemValue(std::int64_t value) : FValue(value) {}
    TItemValue(int value) : FValue(static_cast<std::int64_t>(value)) {}
    TItemValue(unsigned value) : FValue(static_cast<std::int64_t>(value)) {}
    TItemValue(bool value) : FValue(value) {}
    TItemValue(std::string value) : FValue(std::move(value)) {}
    TItemValue(const char* value) : FValue(std::string(value)) {}

    TKind Kind() const { return static_cast<TKind>(FValue.index()); }
    bool IsNull() const { return Kind() == TKind::Null; }
    bool IsInteger() const { return Kind() == TKind::Integer; }
    bool IsBoolean() const { return Kind() == TKind::Boolean; }
    bool IsText() const { return Kind() == TKind::Text; }

    // The stored value of that kind; another kind gives the zero value of the asked kind, null
    // raises.
    std::int64_t Integer() const
    {
        if (IsNull())
            throw Exception("Prazdna hodnota neni cislo.");
        return IsInteger() ? std::get<std::int64_t>(FValue) : 0;
    }
    bool Boolean() const
    {
        if (IsNull())
            throw Exception("Prazdna hodnota neni logicka hodnota.");
        return IsBoolean() && std::get<bool>(FValue);
    }
    const std::string& Text() const
    {
        static const std::string empty;
        return IsText() ? std::get<std::string>(FValue) : empty;
    }

    // The value as text: an integer in decimal, a boolean as "True"/"False", null as "".
    std::string AsText() const
    {
        switch (Kind()) {
        case TKind::Integer: return std::to_string(Integer());
        case TKind::Boolean: return Boolean() ? "True" : "False";
        case TKind::Text: return Text();
        case TKind::Null: break;
        }
        return {};
    }

    bool operator==(const TItemValue&) const = default;

private:
    std::variant<std::monostate, std::int64_t, bool, std::string> FValue;
};

} // namespace qubra
