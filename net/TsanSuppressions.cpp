// Compiled into every program that links the transport when it is built with ThreadSanitizer.
//
// The sanitizer treats a descriptor as a memory cell that connect() writes and recv() reads, so a
// Connect on the main thread while the receive thread polls the same socket is reported as a race.
// The kernel serialises both calls on the socket and the design allows exactly this order (Open
// starts the threads, Connect follows), so only reports whose top frame is connect() are dropped;
// races on real memory are still reported.
extern "C" const char* __tsan_default_suppressions()
{
    return "race_top:connect\n";
}
