// The module that talks to CUPS for a cups://QUEUE port: the job is created
// when the port opens, its bytes are sent as they are written, and the close
// finishes it and asks how it went. It also lists the queues there are, for
// the printer search.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include <cups/cups.h>

#include "LineBuffer.h"

namespace {

struct QueueJob {
	http_t* http;
	std::string queue;
	int id;
};

void
Put(char* buffer, size_t size, const std::string& text)
{
	snprintf(buffer, size, "%s", text.c_str());
}

ssize_t
WriteJob(void* cookie, const char* bytes, size_t size)
{
	QueueJob* job = static_cast<QueueJob*>(cookie);
	if (cupsWriteRequestData(job->http, bytes, size) != HTTP_STATUS_CONTINUE) {
		fprintf(stderr, "quillon: CUPS queue %s: %s\n", job->queue.c_str(), cupsLastErrorString());
		errno = EIO;
		return -1;
	}
	return static_cast<ssize_t>(size);
}

// What became of the job once all of it is in: canceled or aborted by
// someone else is told, and a failure.
bool
JobWasStopped(QueueJob* job, std::string* how)
{
	ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
	char uri[1024];
	httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0,
		"/jobs/%d", job->id);
	ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
	ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
		cupsUser());
	ipp_t* response = cupsDoRequest(job->http, request, "/");
	bool stopped = false;
	if (ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM)) {
		int value = ippGetInteger(state, 0);
		if (value == IPP_JSTATE_CANCELED || value == IPP_JSTATE_ABORTED) {
			stopped = true;
			*how = value == IPP_JSTATE_CANCELED ? "canceled" : "aborted";
		}
	}
	ippDelete(response);
	return stopped;
}

int
CloseJob(void* cookie)
{
	QueueJob* job = static_cast<QueueJob*>(cookie);
	int result = 0;
	if (PrinterPortAbandoned()) {
		// The program quits, or the user cancelled: what was sent is not to
		// be printed.
		cupsFinishDocument(job->http, job->queue.c_str());
		cupsCancelJob2(job->http, job->queue.c_str(), job->id, 0);
	} else if (cupsFinishDocument(job->http, job->queue.c_str()) > IPP_STATUS_OK_CONFLICTING) {
		fprintf(stderr, "quillon: CUPS queue %s: %s\n", job->queue.c_str(), cupsLastErrorString());
		errno = EIO;
		result = -1;
	} else {
		std::string how;
		if (JobWasStopped(job, &how)) {
			fprintf(stderr, "quillon: CUPS queue %s: job %d was %s\n", job->queue.c_str(),
				job->id, how.c_str());
			errno = ECANCELED;
			result = -1;
		}
	}
	httpClose(job->http);
	delete job;
	return result;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) FILE*
quillon_open_cups_queue(const char* queue, const char* title, char* reason, size_t reasonSize,
	char* hint, size_t hintSize)
{
	std::string server = cupsServer();
	http_t* http = httpConnect2(server.c_str(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
		5000, nullptr);
	if (http == nullptr) {
		Put(reason, reasonSize, "the CUPS scheduler at " + server + " does not answer");
		Put(hint, hintSize, "start CUPS, or set CUPS_SERVER to a scheduler that runs");
		return nullptr;
	}
	cups_dest_t* dest = cupsGetNamedDest(http, queue, nullptr);
	if (dest == nullptr) {
		Put(reason, reasonSize, std::string("CUPS has no queue ") + queue);
		Put(hint, hintSize, "lpstat -p lists the queues there are");
		httpClose(http);
		return nullptr;
	}
	const char* state = cupsGetOption("printer-state", dest->num_options, dest->options);
	const char* accepting =
		cupsGetOption("printer-is-accepting-jobs", dest->num_options, dest->options);
	const char* reasons =
		cupsGetOption("printer-state-reasons", dest->num_options, dest->options);
	std::string why = reasons != nullptr && strcmp(reasons, "none") != 0
		? std::string(" (") + reasons + ")" : "";
	bool stopped = state != nullptr && atoi(state) == IPP_PSTATE_STOPPED;
	bool rejecting = accepting != nullptr && strcmp(accepting, "false") == 0;
	cupsFreeDests(1, dest);
	if (stopped || rejecting) {
		Put(reason, reasonSize, std::string("the CUPS queue ") + queue
			+ (stopped ? " is stopped" : " rejects jobs") + why);
		Put(hint, hintSize, std::string(stopped ? "cupsenable " : "cupsaccept ") + queue);
		httpClose(http);
		return nullptr;
	}

	int id = cupsCreateJob(http, queue, title, 0, nullptr);
	if (id == 0 || cupsStartDocument(http, queue, id, title, CUPS_FORMAT_RAW, 1)
		!= HTTP_STATUS_CONTINUE) {
		Put(reason, reasonSize, std::string("CUPS queue ") + queue + ": " + cupsLastErrorString());
		Put(hint, hintSize, "lpstat -l -p " + std::string(queue) + " tells the queue's state");
		if (id != 0)
			cupsCancelJob2(http, queue, id, 0);
		httpClose(http);
		return nullptr;
	}
	QueueJob* job = new QueueJob{ http, queue, id };
	cookie_io_functions_t functions = { nullptr, WriteJob, nullptr, CloseJob };
	FILE* port = fopencookie(job, "w", functions);
	if (port == nullptr) {
		cupsCancelJob2(http, queue, id, 0);
		httpClose(http);
		delete job;
		Put(reason, reasonSize, strerror(errno));
		return nullptr;
	}
	return port;
}

namespace {

struct QueueListing {
	int (*keepGoing)(void*);
	void* context;
	std::chrono::steady_clock::time_point deadline;
};

// Called each tenth of a second the scheduler keeps quiet: wait on while
// there is time left and the search is still wanted.
int
KeepWaiting(http_t*, void* data)
{
	QueueListing* listing = static_cast<QueueListing*>(data);
	return std::chrono::steady_clock::now() < listing->deadline
		&& listing->keepGoing(listing->context) != 0;
}

}  // namespace

// Hands the name of each queue of the default scheduler to add; 0 when the
// scheduler answered, -1 when it could not be reached in time.
extern "C" __attribute__((visibility("default"))) int
quillon_cups_queue_names(int timeoutMs, int (*keepGoing)(void*), void (*add)(void*, const char*),
	void* context)
{
	QueueListing listing = { keepGoing, context,
		std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs) };
	std::string server = cupsServer();
	http_t* http = httpConnect2(server.c_str(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
		timeoutMs, nullptr);
	if (http == nullptr)
		return -1;
	httpSetTimeout(http, 0.1, KeepWaiting, &listing);
	ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
	ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr,
		"printer-name");
	ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
		cupsUser());
	ipp_t* response = cupsDoRequest(http, request, "/");
	for (ipp_attribute_t* name = ippFindAttribute(response, "printer-name", IPP_TAG_NAME);
		name != nullptr; name = ippFindNextAttribute(response, "printer-name", IPP_TAG_NAME))
		add(context, ippGetString(name, 0, nullptr));
	int result = response != nullptr ? 0 : -1;
	ippDelete(response);
	httpClose(http);
	return result;
}
