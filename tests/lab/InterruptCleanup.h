#pragma once

#include <string>

namespace qubra::lab {

// Removes a namespace also when the test program is ended by SIGINT, SIGTERM or SIGHUP: the
// handler unmounts and unlinks the namespace's name (what "ip netns del" does), then lets
// the signal end the program as it would have. Registered for the object's lifetime.
class TRemoveOnInterrupt {
public:
    explicit TRemoveOnInterrupt(const std::string& Namespace);
    ~TRemoveOnInterrupt();
    TRemoveOnInterrupt(const TRemoveOnInterrupt&) = delete;
    TRemoveOnInterrupt& operator=(const TRemoveOnInterrupt&) = delete;

private:
    int Slot = -1;
};

} // namespace qubra::lab
