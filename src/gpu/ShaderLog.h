#pragma once
// Fatal reports that carry a GL info log. The report holds 512 bytes, and a compiler log can be
// several times that: the head is kept whole and the log cut, ending in "...", so it fits.

[[noreturn]] void fatalWithLog(const char* head, const char* log);
