// A CUPS queue as a printer port: a port variable of cups://QUEUE sends the
// job to that queue of libcups's default scheduler (CUPS_SERVER,
// ~/.cups/client.conf, the local one) as one raw job. libcups is loaded
// only for such a port, from the module quillon-cups.so.
#pragma once

#include <atomic>
#include <cstdio>
#include <string>
#include <vector>

#include <PortDiagnosis.h>

// Whether the port path leads to a CUPS queue.
bool is_cups_queue_port(const char* path);

// Submits a raw job titled title to the queue and returns the stream its
// bytes are written to; closing it ends the job (cancels it when Quit closed
// the port). NULL when the queue cannot take the job; failure then says why
// and what may mend it.
FILE* open_cups_queue_port(const char* path, const std::string& title, PortFailure* failure);

// What the queue said of the newest job once its stream was closed: empty,
// or what holds the job up there ("the queue waits: media empty").
std::string cups_queue_note();

// The names of the queues of libcups's default scheduler, as the scheduler
// lists them; none when the module or the scheduler is missing. Gives up
// after timeoutMs, or soon after cancel becomes true. Any thread may ask.
std::vector<std::string> cups_queue_names(int timeoutMs, const std::atomic<bool>& cancel);
