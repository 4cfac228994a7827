#pragma once
// The fatal-error report: the message goes to standard error and into a message box captioned
// "Error", then the process exits with status 1. checkGLError turns a GL error flag into one.

#if defined(__MINGW32__)
// MinGW's C++ runtime formats as C99 does (%zu included), not as the Windows C library does.
#define LUMORAKKA_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define LUMORAKKA_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define LUMORAKKA_PRINTF(fmt, args)
#endif

// Formats into 512 bytes (longer text is cut), reports and exits. Never returns.
[[noreturn]] void fatalError(const char* format, ...) LUMORAKKA_PRINTF(1, 2);

// Reports a pending GL error as "GL error 0x%04x!".
void checkGLError();
