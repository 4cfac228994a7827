/* Preloaded into the program by the end-to-end tests: no thread can be started, as under a process
   limit or with the memory gone. Mesa draws in the calling thread with LP_NUM_THREADS=0. */
#include <errno.h>
#include <pthread.h>

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*run)(void*), void* argument) {
    (void)thread;
    (void)attributes;
    (void)run;
    (void)argument;
    return EAGAIN;
}
