/* Preloaded into the real program by bench/show-fps.sh to time it without changing it: every
 * buffer swap is recorded with the wall clock and the process's CPU clock, and so is the moment the
 * music starts (the audio device is unpaused once, after loading). The records go to the file named
 * by SHOW_TIMING_OUT when the process exits, with its peak resident memory.
 *
 *   start <wall>             the library was loaded (about the process start), seconds
 *   music <wall>             the music started: demo time 0
 *   swap <wall> <cpu>        one buffer swap (loading screens before "music", show frames after)
 *   peak-rss-kib <n>         VmHWM at exit
 *
 * Wall times are seconds on the monotonic clock, CPU times seconds of the whole process (all of
 * the renderer's threads). Only the program's own calls are seen: it calls SDL through its PLT. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef struct SDL_Window SDL_Window;
typedef unsigned int SDL_AudioDeviceID;

enum { maxRecords = 1 << 20 };

static struct Record {
    char kind; /* 'w' swap, 'm' music */
    double wall, cpu;
} records[maxRecords];
static int recordCount;
static double startWall;

static double clockSeconds(clockid_t id) {
    struct timespec now;
    clock_gettime(id, &now);
    return now.tv_sec + now.tv_nsec * 1e-9;
}

static void record(char kind) {
    if (recordCount == maxRecords) return;
    records[recordCount].kind = kind;
    records[recordCount].wall = clockSeconds(CLOCK_MONOTONIC);
    records[recordCount].cpu = clockSeconds(CLOCK_PROCESS_CPUTIME_ID);
    ++recordCount;
}

static long peakResidentKib(void) {
    FILE* status = fopen("/proc/self/status", "r");
    if (!status) return -1;
    char line[256];
    long kib = -1;
    while (fgets(line, sizeof line, status))
        if (sscanf(line, "VmHWM: %ld kB", &kib) == 1) break;
    fclose(status);
    return kib;
}

static void writeRecords(void) {
    const char* path = getenv("SHOW_TIMING_OUT");
    FILE* out = path ? fopen(path, "w") : NULL;
    if (!out) return;
    fprintf(out, "start %.6f\n", startWall);
    for (int i = 0; i < recordCount; ++i) {
        if (records[i].kind == 'm')
            fprintf(out, "music %.6f\n", records[i].wall);
        else
            fprintf(out, "swap %.6f %.6f\n", records[i].wall, records[i].cpu);
    }
    fprintf(out, "peak-rss-kib %ld\n", peakResidentKib());
    fclose(out);
}

__attribute__((constructor)) static void loaded(void) {
    startWall = clockSeconds(CLOCK_MONOTONIC);
    atexit(writeRecords);
}

void SDL_GL_SwapWindow(SDL_Window* window) {
    static void (*real)(SDL_Window*);
    if (!real) real = (void (*)(SDL_Window*))dlsym(RTLD_NEXT, "SDL_GL_SwapWindow");
    real(window);
    record('w');
}

void SDL_PauseAudioDevice(SDL_AudioDeviceID device, int pauseOn) {
    static void (*real)(SDL_AudioDeviceID, int);
    if (!real) real = (void (*)(SDL_AudioDeviceID, int))dlsym(RTLD_NEXT, "SDL_PauseAudioDevice");
    static int musicStarted;
    if (!pauseOn && !musicStarted) {
        musicStarted = 1;
        record('m');
    }
    real(device, pauseOn);
}
