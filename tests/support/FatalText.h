#pragma once
// Helpers for death tests that check the exact text a user is shown.
#include <string>

// Makes later fatal reports also write the box text, unaltered, as "[box]<text>[/box]" on stderr,
// so a test can see line breaks that the plain stderr line drops.
void echoBoxTextOnStderr();

// The text as a POSIX extended regular expression that matches it literally.
std::string literally(const std::string& text);
