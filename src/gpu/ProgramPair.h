#pragma once
// Programs built from a pair of shader files, in a table keyed by the address of the caller's key
// text (never by its characters). Start-up fills it with one entry, "distort2", which nothing uses.
#include <map>

using ProgramTable = std::map<const char*, unsigned int>;

// Builds a program from basePath.vs and basePath.fs (a stage whose file can't be read is left out)
// into the table under the address of `key`. Compile and link failures are fatal with GL's log.
void loadProgramPair(ProgramTable& programs, const char* basePath, const char* key);
