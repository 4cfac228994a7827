#pragma once
// The standard descriptors a program may be started without (by a service, a cron job, `>&-`).
// Whatever the program opened next would take the lowest free number: a video file would become
// standard error and fill with progress lines, the X connection standard output and take the
// program's lines into its protocol stream.

// Opens /dev/null on each of descriptors 0, 1 and 2 that is closed. Returns which were: bit n for
// descriptor n. The first thing main does, before anything opens a file.
int openClosedStandardDescriptors();
