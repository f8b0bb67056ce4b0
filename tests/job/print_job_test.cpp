// A print job end to end: one file-reference message handed to the
// application, the output it opens, what reaches it, and the alerts.
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <Application.h>
#include <File.h>
#include <PrinterPorts.h>

#include "CommandCodes.h"
#include "JobHarness.h"
#include "LineBuffer.h"
#include "PrintJob.h"
#include "SettingsStore.h"

namespace {

const std::string kTopOfPage = Hex("0A 0D 0A 0D 0A 0D");
const std::string kNewLine = Hex("0A 0D");
const std::string kEject = Hex("0C");


}  // namespace

// #pragma mark - Several files in one message

class PrintJobFiles : public JobTest {};

TEST_F(PrintJobFiles, TwoFilesShareOneOpenedOutputInListedOrder)
{
	std::string first = fDirectory.Write("first.txt", "a\tb\nc\td\n");
	std::string second = fDirectory.Write("second.txt", "xy");

	RunJob({ first, second });

	ASSERT_EQ(fPort.OpenCount(), 1u);
	RecordedStream output = fPort.Last();
	EXPECT_EQ(output.path, "/dev/parallel/parallel1");
	EXPECT_EQ(output.closes, 1);
	// Each flush is one write: preamble, one write per line end, the rest of
	// the last line, the eject code; the next file starts with its own reset.
	std::vector<std::string> expected = {
		StartUpPreamble(),
		kTopOfPage + "a b" + kNewLine,
		"c   d" + kNewLine,
		kEject,
		StartUpPreamble(),
		kTopOfPage + "xy",
		kEject,
	};
	EXPECT_EQ(output.writes, expected);
	EXPECT_TRUE(Alerts().empty());
}

TEST_F(PrintJobFiles, ThreeFilesFollowTheModelWithoutAnythingBetweenThem)
{
	std::string one = fDirectory.Write("one", "first line\r\nsecond\tline\f\n\x01\x80tail");
	std::string two = fDirectory.Write("two", "");
	std::string three = fDirectory.Write("three", std::string(150, '\n') + "after two pages");

	RunJob({ one, two, three });

	RecordedStream output = fPort.Last();
	EXPECT_EQ(output.writes, StartUpWrites({ ReadWholeFile(one), "", ReadWholeFile(three) }));
	EXPECT_EQ(output.closes, 1);
	EXPECT_EQ(fPort.OpenCount(), 1u);
}

TEST_F(PrintJobFiles, EveryMessageOpensTheOutputAnew)
{
	std::string file = fDirectory.Write("file", "text\n");

	RunJob({ file });
	RunJob({ file });

	ASSERT_EQ(fPort.OpenCount(), 2u);
	for (size_t i = 0; i < 2; i++) {
		RecordedStream output = fPort.Stream(i);
		EXPECT_EQ(output.closes, 1) << "job " << i;
		EXPECT_EQ(output.writes, StartUpWrites({ "text\n" })) << "job " << i;
	}
}

TEST_F(PrintJobFiles, PortCommandChoosesTheOutputOfTheNextJob)
{
	RunOnWindow(MPp2);
	RunJob({});
	RunOnWindow(MPs1);
	RunJob({});

	ASSERT_EQ(fPort.OpenCount(), 2u);
	EXPECT_EQ(fPort.Stream(0).path, "/dev/parallel/parallel2");
	EXPECT_EQ(fPort.Stream(1).path, "/dev/serial/serial1");
}

TEST_F(PrintJobFiles, EmptyFileGetsPreambleAndAnEmptyPage)
{
	std::string empty = fDirectory.Write("empty", "");

	RunJob({ empty });

	std::vector<std::string> expected = { StartUpPreamble(), kTopOfPage, kEject };
	EXPECT_EQ(fPort.Last().writes, expected);
}

TEST_F(PrintJobFiles, ReadErrorPrintsAnEmptyPageAndTheJobGoesOn)
{
	// The loopback interface has no link speed: the attribute opens, claims
	// a size, and every read of it fails.
	const char* failing = "/sys/class/net/lo/speed";
	{
		int descriptor = open(failing, O_RDONLY);
		char byte;
		bool readFails = descriptor >= 0 && read(descriptor, &byte, 1) < 0;
		if (descriptor >= 0)
			close(descriptor);
		if (!readFails)
			GTEST_SKIP() << "no file here opens and then fails to read";
	}
	std::string after = fDirectory.Write("after", "next\n");

	RunJob({ failing, after });

	std::vector<std::string> expected = { StartUpPreamble(), kTopOfPage, kEject };
	std::vector<std::string> rest = StartUpWrites({ "next\n" });
	expected.insert(expected.end(), rest.begin(), rest.end());
	EXPECT_EQ(fPort.Last().writes, expected);
	// The failed read is no longer lost without a word: one alert names the
	// file once the job is done (the output is as before).
	std::vector<AlertRecord> alerts = Alerts();
	ASSERT_EQ(alerts.size(), 1u);
	EXPECT_EQ(alerts[0].text.rfind("Reading speed failed: ", 0), 0u) << alerts[0].text;
}

TEST_F(PrintJobFiles, FileLargerThanItsBufferFollowedBySmallOnePrintsBoth)
{
	// Lines of 1000 bytes: the buffer's end falls inside a line.
	std::string line = std::string(998, 'x') + "\t\n";
	std::string large;
	while (large.size() < 1500000)
		large += line;
	std::string big = fDirectory.Write("big", large);
	std::string small = fDirectory.Write("small", "small\n");

	RunJob({ big, small });

	TextPrinterModel model(EpsonDotMatrixCodes(), 60);
	model.PrintFile(StartUpPreamble(), large);
	model.PrintFile(StartUpPreamble(), "small\n");
	EXPECT_EQ(Difference(fPort.Last().Bytes(), model.Bytes()), "");
	EXPECT_EQ(fPort.Last().closes, 1);
}

TEST_F(PrintJobFiles, PaperAndOrientationCommandsSetTheNextFilesPageLength)
{
	std::string text;
	for (int line = 0; line < 70; line++)
		text += "line " + std::to_string(line) + "\n";
	std::string file = fDirectory.Write("lines", text);
	struct Case {
		std::vector<uint32_t> commands;
		int32_t width;
		int32_t pageLength;
	};
	// 10 characters an inch and 6 lines an inch, less 3 top blank lines.
	const Case cases[] = {
		{ {}, 80, 60 },               // Letter, portrait: 8.0 by 10.5
		{ { MCls }, 105, 45 },        // Letter, landscape: 10.5 by 8.0
		{ { MCs3 }, 111, 43 },        // A4, landscape: 11.2 (a float just below) by 7.8
		{ { MCpt }, 78, 64 },         // A4, portrait: 7.8 by 11.2
		{ { MCs2, MM12 }, 96, 78 },   // Legal at 12 characters an inch: 8.0 by 13.5
		{ { MCs0, MCls }, 120, 37 },  // Executive, landscape, 12 cpi: 10.0 by 6.75
	};
	for (const Case& one : cases) {
		for (uint32_t command : one.commands)
			RunOnWindow(command);
		RunJob({ file });

		EXPECT_EQ(PaperX, one.width) << "page length " << one.pageLength;
		EXPECT_EQ(PaperY, one.pageLength);
		TextPrinterModel model(EpsonDotMatrixCodes(), one.pageLength);
		model.PrintBody(text);
		std::vector<std::string> body = fPort.Last().writes;
		ASSERT_FALSE(body.empty());
		body.erase(body.begin());
		EXPECT_EQ(body, model.NonEmptyWrites()) << "page length " << one.pageLength;
	}
}

// #pragma mark - A message without files

class PrintJobWithoutRefs : public JobTest {};

TEST_F(PrintJobWithoutRefs, OpensAndClosesTheOutputOnceAndWritesNothing)
{
	RunJob({});

	ASSERT_EQ(fPort.OpenCount(), 1u);
	EXPECT_EQ(fPort.Last().closes, 1);
	EXPECT_TRUE(fPort.Last().writes.empty());
	EXPECT_TRUE(Alerts().empty());
}

TEST_F(PrintJobWithoutRefs, LeavesAPlainOutputFileEmpty)
{
	std::string output = fDirectory.Write("out", "what an earlier job printed");
	RecordingPort::UseRealPorts();
	PointOutputAt(output);

	RunJob({});

	struct stat info;
	ASSERT_EQ(stat(output.c_str(), &info), 0);
	EXPECT_EQ(info.st_size, 0);
	EXPECT_TRUE(Alerts().empty());
}

// #pragma mark - Output that cannot be opened

class PrintJobPortAlert : public JobTest {
protected:
	void SetUp() override
	{
		JobTest::SetUp();
		fMissing = fDirectory.PathOf("no such directory/output");
		WithStore([this] { PrinterPath = fMissing.c_str(); });
		// The real port, as the application opens it.
		RecordingPort::UseRealPorts();
		fFile = fDirectory.Write("listed", "never printed\n");
		FileObject.Unset();
		FileLenght = -12345;
	}

	void ExpectNothingReadOrWritten()
	{
		EXPECT_EQ(FileObject.InitCheck(), B_NO_INIT) << "a listed file was opened";
		EXPECT_EQ(FileLenght, -12345) << "a listed file was read";
		EXPECT_FALSE(std::filesystem::exists(fDirectory.PathOf("no such directory")));
	}

	std::string fMissing;
	std::string fFile;
};

TEST_F(PrintJobPortAlert, QuitAnswerRequestsQuitAndTouchesNothing)
{
	fAnswer = [](const AlertRecord& alert) { return alert.title == "PrinterAlert" ? 1 : 0; };

	RunJob({ fFile });

	std::vector<AlertRecord> expected = { { "PrinterAlert", "Port failed", { "OK", "Quit" } } };
	EXPECT_EQ(Alerts(), expected);
	ExpectNothingReadOrWritten();
	EXPECT_TRUE(fApplication->RunUntilQuitOrMarker()) << "no quit request was posted";
}

TEST_F(PrintJobPortAlert, OkAnswerEndsTheJobAtOnce)
{
	fAnswer = [](const AlertRecord&) { return 0; };

	RunJob({ fFile, fFile });

	std::vector<AlertRecord> expected = { { "PrinterAlert", "Port failed", { "OK", "Quit" } } };
	EXPECT_EQ(Alerts(), expected);
	ExpectNothingReadOrWritten();
	EXPECT_FALSE(fApplication->RunUntilQuitOrMarker()) << "OK asked the application to quit";
}

TEST_F(PrintJobPortAlert, NextJobWithAnOutputPrintsWhateverTheAlertWasAnswered)
{
	fAnswer = [](const AlertRecord&) { return 0; };
	RunJob({ fFile });

	std::string output = fDirectory.PathOf("output");
	PointOutputAt(output);
	RunJob({ fFile });

	EXPECT_EQ(Alerts().size(), 1u);
	TextPrinterModel model(EpsonDotMatrixCodes(), 60);
	model.PrintFile(StartUpPreamble(), "never printed\n");
	EXPECT_EQ(Printable(ReadWholeFile(output)), Printable(model.Bytes()));
}

// #pragma mark - Graphic mode

class PrintJobGraphicMode : public JobTest {};

TEST_F(PrintJobGraphicMode, EachFileGetsItsPreambleAStandardOutputLineAndOneAlert)
{
	RunOnWindow(MMgr);
	size_t alertsBefore = Alerts().size();
	std::string first = fDirectory.Write("first", "text that is not printed\n");
	std::string second = fDirectory.Write("second", "nor this\n");
	std::vector<size_t> writesAtAlert;
	fAnswer = [&](const AlertRecord&) {
		writesAtAlert.push_back(fPort.Last().writes.size());
		return 0;
	};

	StandardOutputCapture capture;
	RunJob({ first, second });
	std::string printed = capture.Finish();

	EXPECT_EQ(printed, "Print Graphic Pages.\nPrint Graphic Pages.\n");
	RecordedStream output = fPort.Last();
	std::vector<std::string> preambles = { StartUpPreamble(), StartUpPreamble() };
	EXPECT_EQ(output.writes, preambles);
	EXPECT_EQ(output.closes, 1);

	std::vector<AlertRecord> alerts = Alerts();
	alerts.erase(alerts.begin(), alerts.begin() + static_cast<long>(alertsBefore));
	AlertRecord graphic = { "Printer Alert", "Graphic Printing is not supported yet.", { "OK" } };
	EXPECT_EQ(alerts, std::vector<AlertRecord>(2, graphic));
	// Each alert comes after its own file's preamble.
	EXPECT_EQ(writesAtAlert, (std::vector<size_t>{ 1, 2 }));
}

// #pragma mark - References that cannot be opened

class PrintJobUnopenedFile : public JobTest {
protected:
	void ExpectOnlyFirstPrinted()
	{
		RecordedStream output = fPort.Last();
		EXPECT_EQ(output.writes, StartUpWrites({ "first\n" }));
		EXPECT_EQ(output.closes, 1);
	}

	// The alert is shown after the output was closed.
	void RecordClosesAtAlert()
	{
		fAnswer = [this](const AlertRecord&) {
			fClosesAtAlert.push_back(fPort.Last().closes);
			return 0;
		};
	}

	std::vector<int> fClosesAtAlert;
};

TEST_F(PrintJobUnopenedFile, MissingFileEndsTheJobWithOneAlertAfterTheClose)
{
	std::string first = fDirectory.Write("first", "first\n");
	std::string third = fDirectory.Write("third", "third\n");
	RecordClosesAtAlert();

	RunJob({ first, fDirectory.PathOf("gone.txt"), third });

	ExpectOnlyFirstPrinted();
	EXPECT_EQ(Alerts(), std::vector<AlertRecord>{ UnopenedAlert("gone.txt") });
	EXPECT_EQ(fClosesAtAlert, std::vector<int>{ 1 });
}

TEST_F(PrintJobUnopenedFile, DirectoryEndsTheJobLikeAFileThatDoesNotOpen)
{
	std::string first = fDirectory.Write("first", "first\n");
	std::string folder = fDirectory.PathOf("folder");
	ASSERT_EQ(mkdir(folder.c_str(), 0755), 0);
	std::string third = fDirectory.Write("third", "third\n");
	RecordClosesAtAlert();

	RunJob({ first, folder, third });

	ExpectOnlyFirstPrinted();
	EXPECT_EQ(Alerts(), std::vector<AlertRecord>{ UnopenedAlert("folder") });
	EXPECT_EQ(fClosesAtAlert, std::vector<int>{ 1 });
}

TEST_F(PrintJobUnopenedFile, UnreadableFileEndsTheJob)
{
	std::string first = fDirectory.Write("first", "first\n");
	std::string locked = fDirectory.Write("locked", "secret\n");
	ASSERT_EQ(chmod(locked.c_str(), 0), 0);
	// A user who reads files whatever their permissions still cannot read a
	// write-only kernel attribute.
	if (access(locked.c_str(), R_OK) == 0)
		locked = "/sys/bus/pci/rescan";
	int descriptor = open(locked.c_str(), O_RDONLY);
	if (descriptor >= 0) {
		close(descriptor);
		GTEST_SKIP() << "no file here is unreadable";
	}
	std::string third = fDirectory.Write("third", "third\n");

	RunJob({ first, locked, third });

	ExpectOnlyFirstPrinted();
	std::string name = locked.substr(locked.rfind('/') + 1);
	EXPECT_EQ(Alerts(), std::vector<AlertRecord>{ UnopenedAlert(name) });
}

TEST_F(PrintJobUnopenedFile, FirstFileMissingPrintsNothingButStillClosesOnce)
{
	std::string second = fDirectory.Write("second", "second\n");

	RunJob({ fDirectory.PathOf("missing"), second });

	RecordedStream output = fPort.Last();
	EXPECT_TRUE(output.writes.empty());
	EXPECT_EQ(output.closes, 1);
	EXPECT_EQ(Alerts(), std::vector<AlertRecord>{ UnopenedAlert("missing") });
}

// #pragma mark - Output to a plain file

class PrintJobPlainFile : public JobTest {};

TEST_F(PrintJobPlainFile, PrinterFileCommandWritesTheJobToPrintFileInTheCurrentDirectory)
{
	ASSERT_EQ(chdir(fDirectory.Path().c_str()), 0);
	RecordingPort::UseRealPorts();
	fDirectory.Write("PrintFile", std::string(5000, '#'));
	RunOnWindow(MPpf);
	std::string first = fDirectory.Write("first", "alpha\tbeta\n");
	std::string second = fDirectory.Write("second", "gamma");

	RunJob({ first, second });

	TextPrinterModel model(EpsonDotMatrixCodes(), 60);
	model.PrintFile(StartUpPreamble(), "alpha\tbeta\n");
	model.PrintFile(StartUpPreamble(), "gamma");
	EXPECT_EQ(Printable(ReadWholeFile(fDirectory.PathOf("PrintFile"))), Printable(model.Bytes()));

	// The next job cuts the file: it holds only that job's output.
	RunJob({ second });
	TextPrinterModel last(EpsonDotMatrixCodes(), 60);
	last.PrintFile(StartUpPreamble(), "gamma");
	EXPECT_EQ(Printable(ReadWholeFile(fDirectory.PathOf("PrintFile"))), Printable(last.Bytes()));
	EXPECT_TRUE(Alerts().empty());
}

// #pragma mark - Output that is lost

class PrintJobLostOutput : public JobTest {};

TEST_F(PrintJobLostOutput, FullDeviceGivesOneAlertAfterTheJob)
{
	RecordingPort::UseRealPorts();
	WithStore([] { PrinterPath = "/dev/full"; });
	std::string lines;
	for (int i = 0; i < 2000; i++)
		lines += "a line that fills the stream's buffer many times over\n";
	std::string first = fDirectory.Write("first", lines);
	std::string second = fDirectory.Write("second", "second file\n");

	RunJob({ first, second });

	EXPECT_EQ(Alerts(), std::vector<AlertRecord>{ LostOutputAlert("/dev/full", ENOSPC) });
	// The job went on to the last file.
	EXPECT_EQ(OpenFileSize(), 12);
}

TEST_F(PrintJobLostOutput, FailedWriteGivesOneAlertAndTheJobGoesOn)
{
	fPort.failingWrite = 2;
	fPort.writeError = EIO;
	std::string first = fDirectory.Write("first", "one\ntwo\nthree\nfour\n");
	std::string second = fDirectory.Write("second", "second\n");
	std::vector<int> closesAtAlert;
	fAnswer = [&](const AlertRecord&) {
		closesAtAlert.push_back(fPort.Last().closes);
		return 0;
	};

	RunJob({ first, second });

	EXPECT_EQ(Alerts(), std::vector<AlertRecord>{ LostOutputAlert("/dev/parallel/parallel1", EIO) });
	EXPECT_EQ(closesAtAlert, std::vector<int>{ 1 });
	RecordedStream output = fPort.Last();
	std::vector<std::string> expected = StartUpWrites({ "second\n" });
	ASSERT_GE(output.writes.size(), expected.size());
	EXPECT_TRUE(std::equal(expected.begin(), expected.end(), output.writes.end() - static_cast<long>(expected.size())))
		<< "the second file did not follow the failure";
}

TEST_F(PrintJobLostOutput, FailedCloseGivesOneAlert)
{
	fPort.closeError = EIO;
	std::string file = fDirectory.Write("file", "text\n");

	RunJob({ file });

	EXPECT_EQ(Alerts(), std::vector<AlertRecord>{ LostOutputAlert("/dev/parallel/parallel1", EIO) });
	EXPECT_EQ(fPort.Last().closes, 1);
}

TEST_F(PrintJobLostOutput, FailedWriteAndCloseStillGiveOneAlert)
{
	fPort.failingWrite = 0;
	fPort.writeError = ENOSPC;
	fPort.closeError = EIO;
	std::string file = fDirectory.Write("file", "text\n");

	RunJob({ file });

	EXPECT_EQ(Alerts(), std::vector<AlertRecord>{ LostOutputAlert("/dev/parallel/parallel1", ENOSPC) });
}

TEST_F(PrintJobLostOutput, FailureOfOneJobIsNotReportedByTheNext)
{
	fPort.closeError = EIO;
	std::string file = fDirectory.Write("file", "text\n");
	RunJob({ file });
	fPort.closeError = 0;

	RunJob({ file });

	EXPECT_EQ(Alerts().size(), 1u);
}
