#include "EngineFixture.h"

#include <cstring>

#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingsStore.h"
#include "TextPage.h"
#include "TextPagePrinter.h"

// The engine writes with fwrite or its unlocked twin; both are recorded.
extern "C" size_t __real_fwrite(const void* data, size_t size, size_t count, FILE* stream);
extern "C" size_t __real_fwrite_unlocked(
	const void* data, size_t size, size_t count, FILE* stream);

extern "C" size_t
__wrap_fwrite(const void* data, size_t size, size_t count, FILE* stream)
{
	size_t result = __real_fwrite(data, size, count, stream);
	RecordingStream::Record(stream, data, size * count, result);
	return result;
}

extern "C" size_t
__wrap_fwrite_unlocked(const void* data, size_t size, size_t count, FILE* stream)
{
	size_t result = __real_fwrite_unlocked(data, size, count, stream);
	RecordingStream::Record(stream, data, size * count, result);
	return result;
}

// At most one recording stream lives at a time: the fixture's.
static RecordingStream* sRecording = nullptr;

RecordingStream::RecordingStream()
	:
	fStream(nullptr),
	fLastResult(0),
	fBudget(SIZE_MAX)
{
	cookie_io_functions_t functions = {};
	functions.write = Accept;
	fStream = fopencookie(this, "w", functions);
	setvbuf(fStream, nullptr, _IONBF, 0);
	sRecording = this;
}

RecordingStream::~RecordingStream()
{
	sRecording = nullptr;
	fclose(fStream);
}

void
RecordingStream::Forget()
{
	fWrites.clear();
	fReceived.clear();
}

void
RecordingStream::Record(FILE* stream, const void* data, size_t bytes, size_t result)
{
	if (sRecording != nullptr && stream == sRecording->fStream) {
		sRecording->fWrites.emplace_back(static_cast<const char*>(data), bytes);
		sRecording->fLastResult = result;
		if (sRecording->onWrite)
			sRecording->onWrite(sRecording->fWrites.size());
	}
}

ssize_t
RecordingStream::Accept(void* cookie, const char* data, size_t size)
{
	RecordingStream* self = static_cast<RecordingStream*>(cookie);
	size_t taken = size < self->fBudget ? size : self->fBudget;
	if (taken == 0)
		return -1;
	self->fReceived.append(data, taken);
	self->fBudget -= taken;
	return static_cast<ssize_t>(taken);
}

std::string
Hex(const char* pairs)
{
	std::string bytes;
	for (const char* p = pairs; *p != '\0';) {
		if (*p == ' ') {
			p++;
			continue;
		}
		bytes += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
		p += 2;
	}
	return bytes;
}

std::string
ToHex(const std::string& bytes)
{
	static const char kDigits[] = "0123456789ABCDEF";
	std::string text;
	for (unsigned char byte : bytes) {
		if (!text.empty())
			text += ' ';
		text += kDigits[byte >> 4];
		text += kDigits[byte & 15];
	}
	return text;
}

std::vector<std::string>
ToHex(const std::vector<std::string>& writes)
{
	std::vector<std::string> texts;
	for (const std::string& write : writes)
		texts.push_back(ToHex(write));
	return texts;
}

static std::string
AroundFirstDifference(const std::string& a, const std::string& b)
{
	size_t at = 0;
	while (at < a.size() && at < b.size() && a[at] == b[at])
		at++;
	size_t from = at < 8 ? 0 : at - 8;
	return "first difference at byte " + std::to_string(at) + ": got [" +
		ToHex(a.substr(from, 16)) + "], expected [" + ToHex(b.substr(from, 16)) + "] from byte " +
		std::to_string(from);
}

::testing::AssertionResult
SameWritesAllowingSplits(
	const std::vector<std::string>& actual, const std::vector<std::string>& expected)
{
	size_t next = 0;
	for (size_t index = 0; index < expected.size(); index++) {
		const std::string& want = expected[index];
		std::string got;
		size_t pieces = 0;
		do {
			if (next == actual.size()) {
				return ::testing::AssertionFailure()
					<< "the output ends within expected write " << index << " of "
					<< want.size() << " bytes; " << AroundFirstDifference(got, want);
			}
			got += actual[next++];
			pieces++;
		} while (got.size() < want.size());
		if (got != want) {
			return ::testing::AssertionFailure()
				<< "expected write " << index << " (" << want.size() << " bytes): "
				<< AroundFirstDifference(got, want);
		}
		if (pieces > 1 && want.size() <= static_cast<size_t>(kLineBufferSize)) {
			return ::testing::AssertionFailure()
				<< "expected write " << index << " of " << want.size()
				<< " bytes fits the buffer but came in " << pieces << " writes";
		}
	}
	if (next != actual.size()) {
		return ::testing::AssertionFailure()
			<< (actual.size() - next) << " writes more than expected, the first of "
			<< actual[next].size() << " bytes";
	}
	return ::testing::AssertionSuccess();
}

// The whole store, copied while static objects are constructed: the store
// itself is initialised before that, so this is the state at load.
#define POINTER_SETTINGS(X) \
	X(PrinterPath) X(PrintName) X(PrintMode) X(FilterCodes) X(LineMode) X(ResetPrinter) \
	X(SelfTest) X(LoadPaper) X(EjectPaper) X(CR_LF_FF) X(NewLine) X(Alarm) X(CPI10) X(CPI12) \
	X(CPI15) X(CPI17) X(CPI20) X(DraftMode) X(NLQ_Mode) X(LQ_Mode) X(PS_ModeOn) X(PS_ModeOff) \
	X(SelectExec) X(SelectLetter) X(SelectLegal) X(SelectA4) X(PortraitPage) X(LandscapePage) \
	X(EnableEOLWrap) X(DisableEOLWrap) X(Unidirectional) X(Bidirectional) X(UnderlineOn) \
	X(UnderlineOff) X(BoldOn) X(BoldOff) X(ItalicsOn) X(ItalicsOff) X(Superscript) X(Subscript) \
	X(NormalScript)
#define NUMBER_SETTINGS(X) \
	X(TopBlankLines) X(BottomBlankLines) X(TabSize) X(PagesPerSheet) X(ColumnsPerPage) X(CPI) \
	X(LPI) X(CPI_10) X(CPI_12) X(CPI_15) X(CPI_17) X(CPI_20) X(PortraitExecX) X(PortraitExecY) \
	X(LandscapeExecX) X(LandscapeExecY) X(PortraitLetterX) X(PortraitLetterY) \
	X(LandscapeLetterX) X(LandscapeLetterY) X(PortraitLegalX) X(PortraitLegalY) \
	X(LandscapeLegalX) X(LandscapeLegalY) X(PortraitA4X) X(PortraitA4Y) X(LandscapeA4X) \
	X(LandscapeA4Y) X(PortraitX) X(PortraitY) X(LandscapeX) X(LandscapeY)
#define TEXT_SETTINGS(X) \
	X(PrintCPI) X(PrintQuality) X(PrintSpacing) X(PaperTray) X(PrintOrientation) X(PrintWrap) \
	X(PrintDirection) X(PrintLQ) X(PrintSpace) X(PaperSource) X(PrintOrient) X(PrintWRAP) \
	X(PrintDir)

namespace {

struct LoadedStore {
#define DECLARE(name) decltype(::name) name;
	POINTER_SETTINGS(DECLARE)
	NUMBER_SETTINGS(DECLARE)
#undef DECLARE
#define DECLARE(name) char name[kSettingTextSize];
	TEXT_SETTINGS(DECLARE)
#undef DECLARE

	LoadedStore()
	{
#define TAKE(name) name = ::name;
		POINTER_SETTINGS(TAKE)
		NUMBER_SETTINGS(TAKE)
#undef TAKE
#define TAKE(name) memcpy(name, ::name, kSettingTextSize);
		TEXT_SETTINGS(TAKE)
#undef TAKE
	}

	void Restore() const
	{
#define PUT(name) ::name = name;
		POINTER_SETTINGS(PUT)
		NUMBER_SETTINGS(PUT)
#undef PUT
#define PUT(name) memcpy(::name, name, kSettingTextSize);
		TEXT_SETTINGS(PUT)
#undef PUT
	}
};

const LoadedStore sLoadedStore;

}  // namespace

void
RestoreLoadedSettings()
{
	sLoadedStore.Restore();
}

void
EngineTest::SetUp()
{
	RestoreLoadedSettings();
	PrinterPort = fOutput.Stream();
	ForgetStaged();
	ASC = 0;
	err = 0;
	LineCount = 0;
	FileLenght = 0;
	PaperX = 0;
	PaperY = 0;
}

void
EngineTest::ForgetStaged()
{
	// Flushing also forgets any line an earlier test left half staged.
	PrintLineBuffer();
	memset(LineBuffer, 0, sizeof(LineBuffer));
	fOutput.Forget();
}

void
EngineTest::TearDown()
{
	PrinterPort = nullptr;
}

void
EngineTest::Use(const PageSettings& settings)
{
	FilterCodes = settings.filter;
	TopBlankLines = settings.topBlankLines;
	TabSize = settings.tabSize;
	LoadPaper = settings.loadPaper;
	NewLine = settings.newLine;
	EjectPaper = settings.ejectPaper;
	PaperY = settings.paperY;
}

const std::vector<std::string>&
EngineTest::PrintText(const std::string& file)
{
	EXPECT_LE(file.size(), sizeof(FileBuffer));
	memcpy(FileBuffer, file.data(), file.size());
	FileLenght = static_cast<int32_t>(file.size());
	fOutput.Forget();
	PrintTextPages();
	return fOutput.Writes();
}

std::string
EngineTest::Staged() const
{
	return std::string(LineBuffer, static_cast<size_t>(LineLenght));
}
