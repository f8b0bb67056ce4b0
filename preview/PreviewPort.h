// A port that renders the job instead of printing it: its value is
// "preview:PATH.pdf". The job's bytes go down a pipe to quillon-render, which
// lays them out as the selected printer model would and writes the PDF; the
// close waits for the PDF to be complete.
#pragma once

#include <cstdio>
#include <string>

// Whether a port's target (after the environment is consulted) is a preview.
bool is_preview_port(const std::string& target);

// The job's output for a preview target, for the printer model now selected;
// NULL with errno set when the renderer cannot be started. Its close fails
// (EIO) when the PDF could not be written.
FILE* open_preview_port(const std::string& target);

// Where quillon-render is: beside the running program.
std::string preview_renderer_path();
