#pragma once

#include <stdexcept>
#include <string>

namespace qubra {

// The root of every error the system raises: carries the message text shown to the user.
class Exception : public std::runtime_error {
public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// A text that does not convert to the value asked for ("'%s' is not a valid integer value").
class EConvertError : public Exception {
public:
    using Exception::Exception;

    static EConvertError InvalidInteger(const std::string& text)
    {
        return EConvertError("'" + text + "' is not a valid integer value");
    }
    static EConvertError InvalidBoolean(const std::string& text)
    {
        return EConvertError("'" + text + "' is not a valid boolean value");
    }
};

} // namespace qubra
