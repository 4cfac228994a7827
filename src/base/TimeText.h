#pragma once
// A show time written as text, read one way wherever it is given: the program's options, the
// offline renderer's arguments and the page's address.

// A number making up the whole text, as strtod reads it ("5", "5.", ".5", "1e3", "+7"); false for
// anything else, NaN included. A number too large for a double gives infinity, which callers that
// can't take it refuse.
bool parseSeconds(const char* text, double& seconds);
