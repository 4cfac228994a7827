#pragma once
// Error reports. Every report is one line on standard error, since a box alone is invisible from a
// terminal, and then goes to the error box: the shell installs the platform's message box at
// start-up, tests a sink that never blocks; with none installed, standard error is all.
// fatalError reports and ends the process with status 1.
#include <cstddef>
#include <string>

#if defined(__MINGW32__)
// MinGW's C++ runtime formats as C99 does (%zu included), not as the Windows C library does.
#define LUMORAKKA_PRINTF(fmt, args) __attribute__((format(gnu_printf, fmt, args)))
#elif defined(__GNUC__)
#define LUMORAKKA_PRINTF(fmt, args) __attribute__((format(printf, fmt, args)))
#else
#define LUMORAKKA_PRINTF(fmt, args)
#endif

using ErrorBox = void (*)(const char* text);
// Replaces the error box; null leaves standard error alone.
void setErrorBox(ErrorBox box);

// Writes the text to standard error as one line (line breaks become blanks, a trailing one is
// dropped), then hands it whole to the error box. A box that throws (it could not be shown) leaves
// the line as the whole report.
void reportError(const char* text);

// Formats into 512 bytes (longer text is cut), reports and exits with status 1. Never returns.
[[noreturn]] void fatalError(const char* format, ...) LUMORAKKA_PRINTF(1, 2);

// The end of every fatal path, once its reports are made: exit handlers run, then the process ends
// with `status`.
[[noreturn]] void endAfterFatalError(int status);
// As endAfterFatalError, but should an exit handler or a library's clean-up still be waiting after
// `seconds` (on a server that has gone away, say), the process ends then with `status` anyway.
[[noreturn]] void endAfterFatalErrorWithin(int seconds, int status);
// Ends the process at once, without exit handlers: for a fatal path met again while ending.
[[noreturn]] void endAtOnce(int status);

// Makes an exception that nothing catches a fatal report ("Out of memory." for std::bad_alloc)
// instead of a silent abort. Loaders that can name their file catch what they expect first.
void reportUncaughtExceptions();

// The text broken at blanks into lines of at most `columns` characters, for an error box that
// doesn't wrap: line breaks already there stay, other blanks are kept, a longer word is cut.
std::string wrapText(const std::string& text, size_t columns);
