// FIXME: until the ports' own diagnosis is in, the few words the status bar
// needs about a port, from the port's target and errno alone.
#pragma once

#include <string>

struct PortTargetView {
	std::string target;
	std::string problem;
};
PortTargetView describe_printer_port(const char* path);

struct PortFailure {
	std::string reason;
	std::string hint;
};
PortFailure describe_port_failure(const char* path, int error);

struct PortWait {
	double seconds;
	std::string reason;
};
PortWait port_stream_wait();
