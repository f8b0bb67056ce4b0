#include "PortDiagnosisStandIn.h"

#include <cerrno>
#include <cstring>

#include <unistd.h>

#include <PrinterPorts.h>

PortTargetView
describe_printer_port(const char* path)
{
	PortTargetView view = { printer_port_target(path), "" };
	if (view.target == path) {
		// A plain file is made by the job.
		char directory[4096];
		if (path[0] != '/' && getcwd(directory, sizeof(directory)) != NULL)
			view.target = std::string(directory) + "/" + path;
	} else if (view.target.compare(0, 6, "tcp://") == 0)
		view.target.erase(0, 6);
	else if (access(view.target.c_str(), F_OK) != 0)
		view.problem = errno == ENOENT ? "not there" : strerror(errno);
	else if (access(view.target.c_str(), W_OK) != 0)
		view.problem = "no permission";
	return view;
}

PortFailure
describe_port_failure(const char* path, int error)
{
	return { printer_port_target(path) + ": " + strerror(error), "" };
}

PortWait
port_stream_wait()
{
	return { 0.0, "" };
}
