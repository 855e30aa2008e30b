#pragma once

// PELLIMOR_ADDRESS_SANITIZER is 1 in a build with the address sanitizer, whichever compiler made
// it (gcc says so with a macro, clang through __has_feature), and 0 otherwise.
#if defined(__SANITIZE_ADDRESS__)
#define PELLIMOR_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define PELLIMOR_ADDRESS_SANITIZER 1
#endif
#endif
#ifndef PELLIMOR_ADDRESS_SANITIZER
#define PELLIMOR_ADDRESS_SANITIZER 0
#endif
