#pragma once
// The video export: the show rendered without a viewer through the program's own start-up and
// per-frame work, one frame per 1/N s of show time on the caller clock, into an MP4 file with the
// soundtrack from show time 0. Progress and the outcome go to standard error.
#include "shell/desktop/CommandLine.h"

// Runs the export and returns the process's exit status: 0 when the whole file was written; 1 when
// it could not be (a message names the file and nothing is left at its path); 130 after SIGINT, 143
// after SIGTERM and 129 after SIGHUP, with the file finished at the frames rendered by then (a second
// signal ends the process at once). SIGPIPE is ignored: standard output and error going nowhere
// change nothing.
int exportVideo(const ExportSettings& settings);
