#pragma once

#include <type_traits>
#include <utility>

namespace qubra {

// Gives a variable a temporary value and puts the old one back when the scope ends,
// however it ends.
template <typename T>
class TTemporaryValue {
public:
    TTemporaryValue(T& Variable, T Value) : FVariable(Variable), FSaved(Variable)
    {
        FVariable = std::move(Value);
    }
    ~TTemporaryValue() { FVariable = std::move(FSaved); }
    TTemporaryValue(const TTemporaryValue&) = delete;
    TTemporaryValue& operator=(const TTemporaryValue&) = delete;

private:
    T& FVariable;
    T FSaved;
};

// Runs Body and then Finally, also when Body throws. When both throw, Body's error is the one
// that reaches the caller; a failing Finally after a good Body is reported as usual.
template <typename TBody, typename TFinally>
auto RunWithFinally(TBody&& Body, TFinally&& Finally) -> decltype(Body())
{
    struct TOnError {
        TFinally& Run;
        bool Armed = true;
        ~TOnError()
        {
            if (!Armed)
                return;
            try {
                Run();
            } catch (...) {
                // The error that left Body is the one to report.
            }
        }
    } onError{Finally};

    if constexpr (std::is_void_v<decltype(Body())>) {
        Body();
        onError.Armed = false;
        Finally();
    } else {
        auto result = Body();
        onError.Armed = false;
        Finally();
        return result;
    }
}

} // namespace qubra
