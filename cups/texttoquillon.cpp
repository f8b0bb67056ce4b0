// texttoquillon: the CUPS filter that prints text/plain as Quillon does. CUPS
// runs it as "texttoquillon job-id user title copies options [file]", with the
// queue's PPD in $PPD; the printer's bytes go to standard output, and what
// the scheduler is to know goes to standard error as PAGE:, INFO: and ERROR:
// lines.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <iconv.h>
#include <mutex>
#include <strings.h>
#include <unistd.h>

#include "FilterChoices.h"
#include "JobCharacterSet.h"
#include "JobProgress.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingCommands.h"
#include "SettingsStore.h"
#include "TextPagePrinter.h"

namespace {

// Pages begun that the scheduler has not been told of yet; the page under
// way is told once the next one begins or the copy ends.
int32_t sPagesTold = 0;

void
TellPages(bool copyEnded)
{
	int32_t begun = gJobProgress.pages.load(std::memory_order_relaxed);
	int32_t done = copyEnded ? begun : begun - 1;
	for (; sPagesTold < done; sPagesTold++)
		fprintf(stderr, "PAGE: %d 1\n", sPagesTold + 1);
	fflush(stderr);
}

FILE*
OpenStandardOutput()
{
	int fd = dup(STDOUT_FILENO);
	if (fd < 0)
		return nullptr;
	FILE* output = fdopen(fd, "w");
	if (output == nullptr)
		close(fd);
	return output;
}

ssize_t
ReadSome(int fd, char* bytes, size_t size)
{
	ssize_t count;
	do
		count = read(fd, bytes, size);
	while (count < 0 && errno == EINTR);
	return count;
}

// Reads until the buffer is full or the file ends, as a piece of the pass
// wants.
ssize_t
ReadFull(int fd, char* bytes, size_t size)
{
	size_t total = 0;
	while (total < size) {
		ssize_t count = ReadSome(fd, bytes + total, size - total);
		if (count < 0)
			return -1;
		if (count == 0)
			break;
		total += static_cast<size_t>(count);
	}
	return static_cast<ssize_t>(total);
}

// Writes all of the bytes, or says why not.
bool
WriteAll(int fd, const char* bytes, size_t count)
{
	for (size_t written = 0; written < count;) {
		ssize_t now = write(fd, bytes + written, count - written);
		if (now < 0 && errno != EINTR)
			return false;
		written += now > 0 ? static_cast<size_t>(now) : 0;
	}
	return true;
}

// A job is kept in a scratch file when it is printed more than once, so that
// each copy reads it from its start, and when its text is in a character set
// other than UTF-8 (recode is then open from it to UTF-8): the copy is the
// text in UTF-8, as the conversion to the printer's set reads it. A byte the
// text's set does not know goes on as it is, and is counted there. -1 when
// the file cannot be made or read.
int
Spool(int from, iconv_t recode)
{
	const char* folder = getenv("TMPDIR");
	std::string path = std::string(folder != nullptr && folder[0] != '\0' ? folder : "/tmp")
		+ "/texttoquillon-XXXXXX";
	int fd = mkstemp(path.data());
	if (fd < 0)
		return -1;
	unlink(path.c_str());
	static char piece[1 << 16];
	static char recoded[4 * sizeof(piece) + 16];
	size_t kept = 0;  // the start of a character cut by the end of a piece
	bool ok = true;
	for (;;) {
		ssize_t count = ReadSome(from, piece + kept, sizeof(piece) - kept);
		if (count < 0) {
			ok = false;
			break;
		}
		if (recode == reinterpret_cast<iconv_t>(-1)) {
			if (count == 0 || !(ok = WriteAll(fd, piece, static_cast<size_t>(count))))
				break;
			continue;
		}
		size_t left = kept + static_cast<size_t>(count);
		char* in = piece;
		char* out = recoded;
		size_t room = sizeof(recoded);
		while (left > 0) {
			if (iconv(recode, &in, &left, &out, &room) != static_cast<size_t>(-1))
				break;
			if (errno == EINVAL && count > 0)
				break;  // the rest comes with the next piece
			if (errno == E2BIG) {
				if (!(ok = WriteAll(fd, recoded, static_cast<size_t>(out - recoded))))
					break;
				out = recoded;
				room = sizeof(recoded);
				continue;
			}
			// Not in the text's set (or cut short at the end): as it is.
			*out++ = *in++;
			room--;
			left--;
		}
		if (!ok || !(ok = WriteAll(fd, recoded, static_cast<size_t>(out - recoded))))
			break;
		memmove(piece, in, left);
		kept = left;
		if (count == 0)
			break;
	}
	if (!ok || lseek(fd, 0, SEEK_SET) != 0) {
		close(fd);
		return -1;
	}
	return fd;
}

// The text's own character set as CUPS gives it in CHARSET, when it is not
// UTF-8 (or its ASCII part): the way from it to UTF-8, or -1 when there is
// none to take.
iconv_t
RecodingFromCharset()
{
	const char* charset = getenv("CHARSET");
	if (charset == nullptr || charset[0] == '\0' || strcasecmp(charset, "utf-8") == 0
		|| strcasecmp(charset, "utf8") == 0 || strcasecmp(charset, "us-ascii") == 0)
		return reinterpret_cast<iconv_t>(-1);
	iconv_t recode = iconv_open("UTF-8", charset);
	if (recode == reinterpret_cast<iconv_t>(-1))
		fprintf(stderr, "INFO: The text's character set %s is not known here; it is read as UTF-8.\n",
			charset);
	return recode;
}

struct CopyResult {
	bool graphic = false;
	bool converted = false;
	int readError = 0;
};

// One copy of the file: its preamble, and its pages unless graphic mode is
// chosen, exactly as a print job of Quillon sends them.
CopyResult
PrintCopy(int fd, JobCharacterSet& characterSet)
{
	CopyResult result;
	auto readRaw = [fd, &result](char* bytes, size_t size) {
		ssize_t count = ReadFull(fd, bytes, size);
		if (count < 0) {
			result.readError = errno;
			return static_cast<ssize_t>(0);
		}
		return count;
	};
	file_piece_reader next;
	bool more = true;
	result.converted = characterSet.BeginFile();
	if (result.converted) {
		FileLenght = characterSet.ReadPiece(readRaw, &more);
		if (more)
			next = [&characterSet, readRaw, &more]() {
				TellPages(false);
				return more ? characterSet.ReadPiece(readRaw, &more) : 0;
			};
	} else {
		ssize_t count = readRaw(FileBuffer, kFileBufferSize);
		FileLenght = static_cast<int32_t>(count);
		if (count == kFileBufferSize)
			next = [readRaw]() {
				TellPages(false);
				return static_cast<int32_t>(readRaw(FileBuffer, kFileBufferSize));
			};
	}
	result.graphic = StartPrinting(next) == kBodyGraphic;
	TellPages(true);
	return result;
}

}  // namespace

int
main(int argc, char** argv)
{
	if (argc != 6 && argc != 7) {
		fprintf(stderr, "Usage: %s job-id user title copies options [file]\n", argv[0]);
		return 1;
	}
	const char* title = argv[3];
	int copies = atoi(argv[4]);
	if (copies < 1)
		copies = 1;

	FilterChoices choices;
	std::string problem;
	if (!ReadFilterChoices(getenv("PPD"), argv[5], &choices, &problem)) {
		fprintf(stderr, "ERROR: %s\n", problem.c_str());
		return 1;
	}
	for (const std::string& note : choices.notes)
		fprintf(stderr, "INFO: %s\n", note.c_str());

	// The settings come about as in Quillon: start-up, the model, then each
	// chosen menu item, through the same commands.
	ApplyStartUpSettings();
	RunSettingCommand(choices.model);
	for (uint32_t command : choices.commands)
		RunSettingCommand(command);

	JobCharacterSet characterSet;
	if (choices.characterSet.empty())
		unsetenv("QUILLON_CHARSET");
	else
		setenv("QUILLON_CHARSET", choices.characterSet.c_str(), 1);
	if (!characterSet.Choose(&problem)) {
		fprintf(stderr, "ERROR: %s\n", problem.c_str());
		return 1;
	}

	int fd = STDIN_FILENO;
	if (argc == 7) {
		fd = open(argv[6], O_RDONLY | O_CLOEXEC);
		if (fd < 0) {
			fprintf(stderr, "ERROR: Cannot open %s: %s\n", argv[6], strerror(errno));
			return 1;
		}
	}
	// Only a text converted to the printer's set is read by its characters;
	// any other job's bytes go as they are, whatever set they are in.
	iconv_t recode = reinterpret_cast<iconv_t>(-1);
	if (!choices.characterSet.empty()) {
		std::lock_guard<std::mutex> lock(gStoreLock);
		if (!FilterSendsRawData(FilterCodes))
			recode = RecodingFromCharset();
	}
	if (recode != reinterpret_cast<iconv_t>(-1) || (argc == 6 && copies > 1)) {
		int spooled = Spool(fd, recode);
		if (spooled < 0) {
			fprintf(stderr, "ERROR: Cannot keep the job in a scratch file: %s\n", strerror(errno));
			return 1;
		}
		if (fd != STDIN_FILENO)
			close(fd);
		fd = spooled;
		if (recode != reinterpret_cast<iconv_t>(-1))
			iconv_close(recode);
	}

	if (!UsePrinterPort(OpenStandardOutput(), nullptr)) {
		fprintf(stderr, "ERROR: Cannot write to the printer: %s\n", strerror(errno));
		return 1;
	}
	bool graphic = false;
	int readError = 0;
	for (int copy = 0; copy < copies && readError == 0; copy++) {
		if (copy > 0 && lseek(fd, 0, SEEK_SET) != 0) {
			readError = errno;
			break;
		}
		CopyResult result = PrintCopy(fd, characterSet);
		graphic = graphic || result.graphic;
		readError = result.readError;
		// What had no equivalent is counted once, not once per copy.
		if (copy == 0 && result.converted)
			characterSet.EndFile(title);
	}
	ClosePrinterPort();

	if (graphic)
		fprintf(stderr, "INFO: Graphic Printing is not supported yet: only the printer set-up "
			"was sent.\n");
	std::string unconverted = characterSet.Report();
	if (!unconverted.empty())
		fprintf(stderr, "INFO: %s\n", unconverted.c_str());
	if (readError != 0) {
		fprintf(stderr, "ERROR: Reading %s failed: %s. The rest of it was not printed.\n", title,
			strerror(readError));
		return 1;
	}
	if (int error = PrinterPortError()) {
		fprintf(stderr, "ERROR: Writing to the printer failed: %s\n", strerror(error));
		return 1;
	}
	return 0;
}
