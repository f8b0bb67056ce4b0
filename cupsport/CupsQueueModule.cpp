// The module that talks to CUPS for a cups://QUEUE port: the job is created
// when the port opens, its bytes are sent as they are written, and the close
// finishes it and asks how it went. It also lists the queues there are, for
// the printer search.
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

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

// What the printer says of itself that holds a job up: its state reasons
// that are errors or warnings, or that it is offline or paused, in words
// ("media-empty-error" is "media empty"); empty when nothing holds it.
std::string
HoldingReasons(ipp_attribute_t* reasons)
{
	std::string words;
	for (int i = 0; reasons != nullptr && i < ippGetCount(reasons); i++) {
		std::string reason = ippGetString(reasons, i, nullptr);
		bool holds = reason == "offline-report" || reason == "paused";
		for (const char* suffix : { "-error", "-warning", "-report" }) {
			size_t length = strlen(suffix);
			if (reason.size() > length && reason.compare(reason.size() - length, length, suffix) == 0) {
				holds = holds || strcmp(suffix, "-report") != 0;
				reason.erase(reason.size() - length);
			}
		}
		if (!holds)
			continue;
		for (char& c : reason)
			c = c == '-' ? ' ' : c;
		words += (words.empty() ? "" : ", ") + reason;
	}
	return words;
}

// The newest job's word from the queue once it was all in, for the status
// bar: only the job's thread writes and reads it.
std::string sQueueNote;

// Once all of the job is in, it is followed for a moment: canceled or
// aborted by someone else fails the job (how says which), and a printer that
// holds it up (out of paper, offline) is told in the queue's note. A job the
// queue is still printing when the moment is over is left to it.
bool
JobWasStopped(QueueJob* job, std::string* how)
{
	const int kLooks = 15;  // a tenth of a second apart
	char uri[1024];
	httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, "localhost", 0,
		"/jobs/%d", job->id);
	static const char* const kWanted[] = { "job-state", "job-printer-state-reasons" };
	for (int look = 0; look < kLooks; look++) {
		if (look > 0)
			std::this_thread::sleep_for(std::chrono::milliseconds(100));
		ipp_t* request = ippNewRequest(IPP_OP_GET_JOB_ATTRIBUTES);
		ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
		ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
			cupsUser());
		ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
			kWanted);
		ipp_t* response = cupsDoRequest(job->http, request, "/");
		ipp_attribute_t* state = ippFindAttribute(response, "job-state", IPP_TAG_ENUM);
		int value = state != nullptr ? ippGetInteger(state, 0) : 0;
		std::string holding =
			HoldingReasons(ippFindAttribute(response, "job-printer-state-reasons", IPP_TAG_KEYWORD));
		ippDelete(response);
		if (value == IPP_JSTATE_CANCELED || value == IPP_JSTATE_ABORTED) {
			*how = value == IPP_JSTATE_CANCELED ? "canceled" : "aborted";
			return true;
		}
		if (value == 0 || value == IPP_JSTATE_COMPLETED)
			return false;
		if (!holding.empty()) {
			sQueueNote = "the queue waits: " + holding;
			fprintf(stderr, "quillon: CUPS queue %s: job %d waits: %s\n", job->queue.c_str(), job->id,
				holding.c_str());
			return false;
		}
	}
	return false;
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
	sQueueNote.clear();
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

// The newest job's word from its queue, once its stream is closed: empty, or
// what holds the job up ("the queue waits: media empty").
extern "C" __attribute__((visibility("default"))) void
quillon_cups_queue_note(char* note, size_t size)
{
	Put(note, size, sQueueNote);
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
