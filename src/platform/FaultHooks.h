// Faults a test arms inside a process of its own (a writer killed at its most delicate
// moment), compiled only into builds made with PELLIMOR_FAULT_HOOKS (the debug and sanitizer
// builds the tests run). Elsewhere every hook is a constant the compiler drops. Nothing outside
// the process can arm one: no hook reads the environment. Every file that includes this header
// is built with the same setting: the platform library's, and the tests that arm a hook
// (tests/CMakeLists.txt).
#pragma once

namespace pellimor::fault {

#ifdef PELLIMOR_FAULT_HOOKS
inline constexpr bool kCompiledIn = true;

namespace armed {
inline long killInCopy = 0;
inline bool killBeforeRename = false;
}  // namespace armed

// The copy (counted from 1 by each file-ops object) in which the process dies, half written.
inline void ArmKillInCopy(long copy) {
    armed::killInCopy = copy;
}
inline long KillInCopy() {
    return armed::killInCopy;
}
// The process dies when a container's new copy is written, before it is renamed into place.
inline void ArmKillBeforeRename() {
    armed::killBeforeRename = true;
}
inline bool KillBeforeRename() {
    return armed::killBeforeRename;
}
#else
inline constexpr bool kCompiledIn = false;
inline void ArmKillInCopy(long) {}
constexpr long KillInCopy() {
    return 0;
}
inline void ArmKillBeforeRename() {}
constexpr bool KillBeforeRename() {
    return false;
}
#endif

}  // namespace pellimor::fault
