// The print job on the application's thread against the window's thread: the
// setting commands and File Quit run there while files print. The output may
// be slow (each write can sleep, or wait for something to happen meanwhile).
#include <atomic>
#include <chrono>
#include <random>
#include <set>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <Application.h>
#include <PortStream.h>
#include <PrinterPorts.h>
#include <File.h>
#include <Window.h>

#include "CommandCodes.h"
#include "JobHarness.h"
#include "LineBuffer.h"
#include "SettingsStore.h"

namespace {

using std::chrono::microseconds;
using std::chrono::milliseconds;

// What one printer model can put in each place of the preamble. The pitch
// and quality codes always come from the model whose reset code leads the
// preamble (installing a model copies its own); spacing, paper, wrap,
// direction and orientation may have been copied under any model.
struct ModelCodes {
	const char* name;
	bool hp;
	std::string reset;
	std::vector<std::string> pitch;
	std::vector<std::string> quality;
	std::vector<std::string> spacing;
	std::vector<std::string> paper;        // Executive, Letter, Legal, A4
	std::vector<std::string> wrap;
	std::vector<std::string> direction;
	std::vector<std::string> orientation;  // portrait, landscape
};

const std::vector<ModelCodes>&
Models()
{
	static const std::vector<ModelCodes> models = {
		{ "Epson Dot Matrix", false, Hex("1B 40"),
			{ Hex("12 1B 50"), Hex("12 1B 4D"), Hex("12 1B 67"), Hex("0F 1B 50"), Hex("0F 1B 4D") },
			{ Hex("1B 78 00"), Hex("1B 78 01"), Hex("1B 78 02") },
			{ Hex("1B 70 01"), Hex("1B 70 00") }, { "", "", "", "" }, { "", "" },
			{ Hex("1B 55 01"), Hex("1B 55 00") }, { "", "" } },
		{ "HP DeskJet", true, Hex("1B 45"),
			{ Hex("1B 28 73 31 30 48"), Hex("1B 28 73 31 32 56"), "", "", "" },
			{ Hex("1B 28 73 31 51"), Hex("1B 28 73 32 51"), Hex("1B 28 73 32 51") },
			{ Hex("1B 28 73 31 50"), Hex("1B 28 73 30 50") },
			{ Hex("1B 26 6C 31 41"), Hex("1B 26 6C 32 41"), Hex("1B 26 6C 33 41"),
				Hex("1B 26 6C 32 36 41") },
			{ Hex("1B 26 73 30 43"), Hex("1B 26 73 31 43") },
			{ Hex("1B 26 6B 30 57"), Hex("1B 26 6B 31 57") },
			{ Hex("1B 26 6C 30 4F"), Hex("1B 26 6C 31 4F") } },
		{ "IBM Proprinter", false, Hex("1B 5B 4B 04 00 FF 24 00 00"),
			{ Hex("12"), Hex("1B 3A"), "", Hex("1B 0F"), "" },
			{ Hex("1B 49 00"), Hex("1B 6B 02"), Hex("1B 6B 02") },
			{ Hex("1B 50 01"), Hex("1B 50 00") }, { "", "", "", "" }, { "", "" },
			{ Hex("1B 55 01"), Hex("1B 55 00") }, { "", "" } },
	};
	return models;
}

// Lines a page holds below its top blank lines, by paper and orientation, at
// six lines an inch: 6 x height, truncated, less 3.
const int32_t kPageLines[4][2] = { { 57, 37 }, { 60, 45 }, { 78, 45 }, { 64, 43 } };

// One way to read a preamble: the model whose reset leads it, and the paper
// and orientation its codes name (-1 where the code is one that every
// choice shares).
struct PreambleReading {
	const ModelCodes* model;
	int paper;
	int orientation;
};

// Each slot after the reset and the values it may hold, with what they name.
struct SlotValue {
	std::string bytes;
	int names;
};

void
ReadSlots(const std::string& preamble, size_t at, size_t slot, const ModelCodes& model,
	PreambleReading reading, std::vector<PreambleReading>& readings)
{
	if (slot == 7) {
		if (at == preamble.size())
			readings.push_back(reading);
		return;
	}
	std::vector<SlotValue> values;
	auto addAll = [&](const std::vector<std::string>& codes, bool naming) {
		for (size_t i = 0; i < codes.size(); i++) {
			SlotValue value = { codes[i], naming && !codes[i].empty() ? static_cast<int>(i) : -1 };
			bool known = false;
			for (const SlotValue& other : values)
				known = known || (other.bytes == value.bytes && other.names == value.names);
			if (!known)
				values.push_back(value);
		}
	};
	switch (slot) {
		case 0: addAll(model.pitch, false); break;
		case 1: addAll(model.quality, false); break;
		default:
			for (const ModelCodes& any : Models()) {
				switch (slot) {
					case 2: addAll(any.spacing, false); break;
					case 3: addAll(any.paper, true); break;
					case 4: addAll(any.wrap, false); break;
					case 5: addAll(any.direction, false); break;
					case 6: addAll(any.orientation, true); break;
				}
			}
			break;
	}
	for (const SlotValue& value : values) {
		if (preamble.compare(at, value.bytes.size(), value.bytes) != 0)
			continue;
		PreambleReading next = reading;
		if (slot == 3)
			next.paper = value.names;
		if (slot == 6)
			next.orientation = value.names;
		ReadSlots(preamble, at + value.bytes.size(), slot + 1, model, next, readings);
	}
}

// Every way the preamble reads as one whole set of commands; none when some
// code in it is cut or mixed.
std::vector<PreambleReading>
ReadPreamble(const std::string& preamble)
{
	std::vector<PreambleReading> readings;
	for (const ModelCodes& model : Models()) {
		if (preamble.compare(0, model.reset.size(), model.reset) == 0)
			ReadSlots(preamble, model.reset.size(), 0, model, { &model, -1, -1 }, readings);
	}
	return readings;
}

std::set<int32_t>
PageLengthsOf(const PreambleReading& reading)
{
	std::set<int32_t> lengths;
	for (int paper = 0; paper < 4; paper++) {
		for (int orientation = 0; orientation < 2; orientation++) {
			if ((reading.paper < 0 || reading.paper == paper)
				&& (reading.orientation < 0 || reading.orientation == orientation))
				lengths.insert(kPageLines[paper][orientation]);
		}
	}
	return lengths;
}

// The body of a file as the model prints it with these page codes.
std::vector<std::string>
ModelBody(bool hp, int32_t pageLength, const std::string& text)
{
	TextPrinterModel model(hp ? HpDeskJetCodes() : EpsonDotMatrixCodes(), pageLength);
	model.PrintBody(text);
	return model.NonEmptyWrites();
}

const int kLinesPerFile = 90;  // more than the longest page holds
const size_t kWritesPerFile = 1 + kLinesPerFile + 1;  // preamble, lines, eject

std::string
NumberedText(int file)
{
	std::string text;
	for (int line = 0; line < kLinesPerFile; line++)
		text += "file " + std::to_string(file) + "\tline " + std::to_string(line) + "\n";
	return text;
}

// The setting commands a user may give while files print: printer models,
// ports, pitch, quality, spacing, paper, orientation, wrap, direction, and a
// few that answer with the not-supported alert.
const uint32_t kSettingCommands[] = { MPhp, MPed, MPpp, MPp1, MPpf, MMnm, MM12, MM15, MM17, MM20,
	MMdr, MMnl, MMlq, MMps, MMfx, MCs0, MCs1, MCs2, MCs3, MCpt, MCls, MClw, MCtr, MCud, MCbd, MM2p,
	MM1p, MMtr, MCrs };

// Posts commands to the window from a thread of its own until stopped.
class CommandHammer {
public:
	CommandHammer(std::vector<uint32_t> commands, unsigned seed)
		:
		fCommands(std::move(commands)),
		fThread([this, seed] { _Run(seed); })
	{
	}

	~CommandHammer() { Stop(); }

	long Stop()
	{
		fStop = true;
		if (fThread.joinable())
			fThread.join();
		return fPosted;
	}

private:
	void _Run(unsigned seed)
	{
		std::mt19937 random(seed);
		BWindow* window = be_app->WindowAt(0);
		while (!fStop) {
			window->PostMessage(fCommands[random() % fCommands.size()]);
			fPosted++;
			// Enough to keep the window busy, not so much that its queue
			// grows without end.
			std::this_thread::sleep_for(microseconds(150));
		}
	}

	std::vector<uint32_t> fCommands;
	std::atomic<bool> fStop{ false };
	std::atomic<long> fPosted{ 0 };
	std::thread fThread;
};

// Waits, within a generous bound that only guards against a hang, until the
// condition holds.
template<typename Condition>
bool
WaitUntil(Condition condition)
{
	auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
	while (!condition()) {
		if (std::chrono::steady_clock::now() > deadline)
			return false;
		std::this_thread::sleep_for(microseconds(200));
	}
	return true;
}


}  // namespace

// #pragma mark - Setting commands against running jobs

class JobWithSettingCommands : public JobTest {
protected:
	// One file as it reached the output.
	struct PrintedFile {
		int file;
		std::string preamble;
		std::vector<std::string> body;
	};

	// Prints the numbered files job after job while the window runs setting
	// commands; preambles are slow, so that commands land between a file's
	// preamble and its text.
	void RunHammeredJobs(int jobs, int filesPerJob)
	{
		fPort.onWrite = [](size_t, const std::string& bytes) {
			if (!bytes.empty() && bytes[0] == '\x1B')
				std::this_thread::sleep_for(microseconds(400));
		};
		std::vector<std::string> paths;
		for (int file = 0; file < filesPerJob; file++) {
			fTexts.push_back(NumberedText(file));
			paths.push_back(fDirectory.Write("file" + std::to_string(file), fTexts.back()));
		}

		CommandHammer hammer(std::vector<uint32_t>(std::begin(kSettingCommands),
			std::end(kSettingCommands)), 12345);
		for (int job = 0; job < jobs; job++)
			RunJob(paths);
		EXPECT_GT(hammer.Stop(), 0);
		WaitForWindow();

		ASSERT_EQ(fPort.OpenCount(), static_cast<size_t>(jobs));
		for (int job = 0; job < jobs; job++) {
			RecordedStream output = fPort.Stream(static_cast<size_t>(job));
			EXPECT_EQ(output.closes, 1) << "job " << job;
			EXPECT_EQ(output.writesAfterClose, 0) << "job " << job;
			ASSERT_EQ(output.writes.size(), kWritesPerFile * static_cast<size_t>(filesPerJob))
				<< "job " << job;
			for (int file = 0; file < filesPerJob; file++) {
				auto first = output.writes.begin()
					+ static_cast<long>(kWritesPerFile * static_cast<size_t>(file));
				fPrinted.push_back({ file, *first,
					std::vector<std::string>(first + 1, first + static_cast<long>(kWritesPerFile)) });
			}
		}
	}

	std::vector<std::string> fTexts;
	std::vector<PrintedFile> fPrinted;
};

TEST_F(JobWithSettingCommands, EveryFileIsPrintedWithOneWholeSetOfSettings)
{
	RunHammeredJobs(8, 6);

	std::set<std::string> preambles;
	int mixed = 0;
	for (size_t i = 0; i < fPrinted.size(); i++) {
		const PrintedFile& printed = fPrinted[i];
		preambles.insert(printed.preamble);
		std::vector<PreambleReading> readings = ReadPreamble(printed.preamble);
		ASSERT_FALSE(readings.empty())
			<< "file " << i << ": preamble with part of a command: " << Printable(printed.preamble);

		// The page length goes with the paper and orientation the preamble
		// sent; the page codes are those of one printer model.
		std::set<int32_t> lengths;
		for (const PreambleReading& reading : readings) {
			std::set<int32_t> more = PageLengthsOf(reading);
			lengths.insert(more.begin(), more.end());
		}
		bool matched = false;
		for (int32_t length : lengths) {
			for (bool hp : { false, true }) {
				if (printed.body == ModelBody(hp, length, fTexts[static_cast<size_t>(printed.file)])) {
					matched = true;
					if (hp != readings.front().model->hp)
						mixed++;
				}
			}
		}
		EXPECT_TRUE(matched) << "file " << i << ": text printed with settings that do not go with "
							 << "its preamble " << Printable(printed.preamble);
	}
	// The commands did land while the files printed.
	EXPECT_GT(preambles.size(), 4u);
	RecordProperty("preambles", static_cast<int>(preambles.size()));
	RecordProperty("mixed", mixed);
}

TEST_F(JobWithSettingCommands, ModelChangedDuringAFileAppliesFromTheNextFile)
{
	RunHammeredJobs(8, 6);

	std::set<const ModelCodes*> seen;
	for (size_t i = 0; i < fPrinted.size(); i++) {
		const PrintedFile& printed = fPrinted[i];
		std::vector<PreambleReading> readings = ReadPreamble(printed.preamble);
		ASSERT_FALSE(readings.empty()) << "file " << i;
		const ModelCodes* model = readings.front().model;
		seen.insert(model);
		std::set<int32_t> lengths;
		for (const PreambleReading& reading : readings) {
			std::set<int32_t> more = PageLengthsOf(reading);
			lengths.insert(more.begin(), more.end());
		}
		bool matched = false;
		for (int32_t length : lengths) {
			matched = matched
				|| printed.body == ModelBody(model->hp, length, fTexts[static_cast<size_t>(printed.file)]);
		}
		EXPECT_TRUE(matched) << "file " << i << " began as " << model->name
							 << " and its text went out with another model's page codes";
	}
	EXPECT_GE(seen.size(), 2u) << "the printer model did not change while files printed";
}

TEST_F(JobWithSettingCommands, WindowRunsACommandWhileAJobIsInTheMiddleOfAWrite)
{
	std::string first = fDirectory.Write("first", NumberedText(1));
	std::string second = fDirectory.Write("second", NumberedText(2));
	std::atomic<bool> handled{ false };
	fPort.onWrite = [&](size_t count, const std::string&) {
		if (count != 3)
			return;
		// The job stays in this write until the window has run the command
		// and redrawn the settings.
		RunOnWindow(MM12);
		handled = true;
	};

	RunJob({ first, second });

	ASSERT_TRUE(handled) << "the window did not run the command while the job ran";
	RecordedStream output = fPort.Last();
	ASSERT_EQ(output.writes.size(), 2 * kWritesPerFile);
	// The command applies from the next file on.
	EXPECT_EQ(Printable(output.writes[0]), Printable(StartUpPreamble()));
	EXPECT_EQ(Printable(output.writes[kWritesPerFile]),
		Printable(Hex("1B 40 12 1B 4D 1B 78 00 1B 70 00 1B 55 00")));
}

// #pragma mark - File Quit against running jobs

class JobWithQuit : public JobTest {
protected:
	void PostToWindow(uint32_t command) { be_app->WindowAt(0)->PostMessage(command); }
};

TEST_F(JobWithQuit, QuitDuringAWriteLeavesTheCloseToTheJobRightAfterIt)
{
	std::string first = fDirectory.Write("first", NumberedText(1));
	std::string second = fDirectory.Write("second", NumberedText(2) + "second");
	std::string third = fDirectory.Write("third", NumberedText(3) + "the third file");
	const size_t quitAt = kWritesPerFile + 10;
	bool closedDuringWrite = false;
	fPort.onWrite = [&](size_t count, const std::string&) {
		if (count != quitAt)
			return;
		PostToWindow(MFqu);
		// This write goes on until Quit has taken the output away.
		closedDuringWrite = WaitUntil([] { return PrinterPortClosedByQuit(); });
	};

	RunJob({ first, second, third });

	ASSERT_TRUE(closedDuringWrite);
	RecordedStream output = fPort.Last();
	EXPECT_EQ(output.closes, 1);
	EXPECT_EQ(output.writesAfterClose, 0);
	EXPECT_EQ(output.closedOn, std::this_thread::get_id()) << "not closed by the job";
	// Nothing reached the output after the write that Quit met.
	EXPECT_EQ(output.writes.size(), quitAt);
	std::vector<std::string> expected = StartUpWrites({ NumberedText(1), NumberedText(2) + "second" });
	expected.resize(quitAt);
	EXPECT_EQ(output.writes, expected);
	// The job ended with the file it was printing; the third was not read.
	EXPECT_EQ(OpenFileSize(), static_cast<off_t>(NumberedText(2).size() + 6));
	EXPECT_TRUE(Alerts().empty());
	EXPECT_TRUE(fApplication->RunUntilQuitOrMarker()) << "Quit did not ask the application to quit";
}

TEST_F(JobWithQuit, QuitWhileTheJobWaitsForAnAlertClosesTheOutputAtOnce)
{
	RunOnWindow(MMgr);
	std::string first = fDirectory.Write("first", "one");
	std::string second = fDirectory.Write("second", "second");
	size_t alertsBefore = Alerts().size();
	bool closedMeanwhile = false;
	int closesSeen = -1;
	fAnswer = [&](const AlertRecord& alert) {
		if (alert.text == "Graphic Printing is not supported yet.") {
			PostToWindow(MFqu);
			closedMeanwhile = WaitUntil([] { return PrinterPortClosedByQuit(); });
			closesSeen = fPort.Last().closes;
		}
		return 0;
	};

	StandardOutputCapture capture;
	RunJob({ first, second });
	std::string printed = capture.Finish();

	ASSERT_TRUE(closedMeanwhile);
	EXPECT_EQ(closesSeen, 1) << "Quit did not close the idle output itself";
	RecordedStream output = fPort.Last();
	EXPECT_EQ(output.closes, 1);
	EXPECT_NE(output.closedOn, std::this_thread::get_id());
	EXPECT_EQ(output.writes, std::vector<std::string>{ StartUpPreamble() });
	EXPECT_EQ(printed, "Print Graphic Pages.\n");
	EXPECT_EQ(Alerts().size(), alertsBefore + 1);
	EXPECT_EQ(OpenFileSize(), 3);
}

// A text pass holds the output only while it passes over a piece: a job that
// waits for the next piece of a file from a pipe leaves the close to Quit.
TEST_F(JobWithQuit, QuitWhileTheJobWaitsForTheNextPieceClosesTheOutputAtOnce)
{
	std::string pipe = fDirectory.PathOf("slow");
	ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
	// Read and write, so that neither this open nor the job's waits.
	int writer = open(pipe.c_str(), O_RDWR);
	ASSERT_GE(writer, 0);
	// Exactly one full piece of 10,000 lines.
	std::string piece;
	while (piece.size() < 999900)
		piece += std::string(99, 'x') + '\n';
	piece += std::string(98, 'y') + '\n';
	const size_t kLines = 10000;
	std::atomic<size_t> writes{0};
	fPort.onWrite = [&](size_t count, const std::string&) { writes = count; };

	bool closedMeanwhile = false;
	int closesSeen = -1;
	std::thread quitter([&] {
		for (size_t done = 0; done < piece.size();) {
			ssize_t count = write(writer, piece.data() + done, piece.size() - done);
			if (count <= 0)
				return;
			done += static_cast<size_t>(count);
		}
		// The preamble and every line are out, and the job reads on.
		WaitUntil([&] { return writes >= 1 + kLines && WaitingCall::UnderWay(); });
		PostToWindow(MFqu);
		closedMeanwhile = WaitUntil([] { return PrinterPortClosedByQuit(); });
		closesSeen = fPort.Last().closes;
		close(writer);
	});
	RunJob({ pipe });
	quitter.join();

	ASSERT_TRUE(closedMeanwhile);
	EXPECT_EQ(closesSeen, 1) << "Quit did not close the output itself";
	RecordedStream output = fPort.Last();
	EXPECT_EQ(output.closes, 1);
	EXPECT_NE(output.closedOn, std::this_thread::get_id());
	std::vector<std::string> expected = StartUpWrites({ piece });
	expected.resize(1 + kLines);
	EXPECT_EQ(output.writes, expected);
	EXPECT_EQ(output.writesAfterClose, 0);
}

TEST_F(JobWithQuit, QuitWithNoJobRunningLeavesTheNextJobAlone)
{
	RunOnWindow(MFqu);
	std::string file = fDirectory.Write("file", "text\n");

	RunJob({ file, file });

	RecordedStream output = fPort.Last();
	EXPECT_EQ(output.writes, StartUpWrites({ "text\n", "text\n" }));
	EXPECT_EQ(output.closes, 1);
}

TEST_F(JobWithQuit, JobAfterAQuitClosedOutputOpensAndPrintsAnew)
{
	std::string file = fDirectory.Write("file", NumberedText(1));
	fPort.onWrite = [&](size_t count, const std::string&) {
		if (count == 5 && fPort.OpenCount() == 1) {
			PostToWindow(MFqu);
			WaitUntil([] { return PrinterPortClosedByQuit(); });
		}
	};
	RunJob({ file, file });
	fPort.onWrite = nullptr;

	RunJob({ file, file });

	ASSERT_EQ(fPort.OpenCount(), 2u);
	EXPECT_EQ(fPort.Stream(0).writes.size(), 5u);
	EXPECT_EQ(fPort.Stream(0).closes, 1);
	EXPECT_EQ(fPort.Stream(1).writes, StartUpWrites({ NumberedText(1), NumberedText(1) }));
	EXPECT_EQ(fPort.Stream(1).closes, 1);
}

// A printer that stopped reading: a named pipe whose reader never reads, on
// the real port. Quit must not wait for it.
TEST_F(JobWithQuit, QuitGivesUpAWriteThatThePrinterDoesNotTake)
{
	static std::string sPipe;
	sPipe = fDirectory.PathOf("printer");
	ASSERT_EQ(mkfifo(sPipe.c_str(), 0600), 0);
	int reader = open(sPipe.c_str(), O_RDONLY | O_NONBLOCK);
	ASSERT_GE(reader, 0);
	RecordingPort::UseRealPorts();
	WithStore([] { PrinterPath = sPipe.c_str(); });
	std::string text;
	while (text.size() < 2u << 20)
		text += "more than the pipe holds\n";
	std::string file = fDirectory.Write("big", text);

	std::atomic<bool> jobEnded{false};
	bool unblocked = false;
	std::thread quitter([&] {
		std::this_thread::sleep_for(milliseconds(300));
		PostToWindow(MFqu);
		// A job that never gives up is let go after a while, so that the
		// test fails instead of hanging.
		for (int i = 0; i < 100 && !jobEnded; i++)
			std::this_thread::sleep_for(milliseconds(100));
		char chunk[65536];
		while (!jobEnded) {
			unblocked = true;
			if (read(reader, chunk, sizeof(chunk)) <= 0)
				std::this_thread::sleep_for(milliseconds(1));
		}
	});
	RunJob({ file });
	jobEnded = true;
	quitter.join();

	EXPECT_FALSE(unblocked) << "Quit waited for the printer";
	// The output is closed: once the pipe is drained the reader sees its end.
	char chunk[65536];
	ssize_t got;
	while ((got = read(reader, chunk, sizeof(chunk))) > 0) {
	}
	EXPECT_EQ(got, 0) << "the output is still open";
	close(reader);
	EXPECT_TRUE(Alerts().empty());
	EXPECT_TRUE(fApplication->RunUntilQuitOrMarker()) << "Quit did not ask the application to quit";
}

TEST_F(JobWithQuit, QuitAtAnyMomentClosesEachOutputOnceAndNothingFollows)
{
	std::vector<std::string> texts = { NumberedText(1), NumberedText(2), NumberedText(3) };
	std::vector<std::string> paths;
	for (size_t i = 0; i < texts.size(); i++)
		paths.push_back(fDirectory.Write("file" + std::to_string(i), texts[i]));
	std::vector<std::string> full = StartUpWrites(texts);

	std::mt19937 random(4242);
	const int kJobs = 30;
	for (int job = 0; job < kJobs; job++) {
		size_t quitAt = 1 + random() % (full.size() + 20);
		fPort.onWrite = [&, quitAt](size_t count, const std::string&) {
			if (count == quitAt)
				PostToWindow(MFqu);
			// Slow enough that Quit often finds a write under way.
			std::this_thread::sleep_for(microseconds(30));
		};
		RunJob(paths);
		WaitForWindow();

		RecordedStream output = fPort.Last();
		EXPECT_EQ(output.closes, 1) << "job " << job;
		EXPECT_EQ(output.writesAfterClose, 0) << "job " << job;
		ASSERT_LE(output.writes.size(), full.size()) << "job " << job;
		EXPECT_TRUE(std::equal(output.writes.begin(), output.writes.end(), full.begin()))
			<< "job " << job << ": the output is not the start of the job's output";
		if (quitAt <= full.size()) {
			EXPECT_GE(output.writes.size(), quitAt) << "job " << job;
		}
	}
	EXPECT_EQ(fPort.OpenCount(), static_cast<size_t>(kJobs));
}

TEST_F(JobWithQuit, SettingCommandsAndQuitTogetherNeverBreakAFileOrTheOutput)
{
	std::vector<std::string> texts;
	std::vector<std::string> paths;
	for (int file = 0; file < 4; file++) {
		texts.push_back(NumberedText(file));
		paths.push_back(fDirectory.Write("file" + std::to_string(file), texts.back()));
	}
	fPort.onWrite = [](size_t, const std::string& bytes) {
		if (!bytes.empty() && bytes[0] == '\x1B')
			std::this_thread::sleep_for(microseconds(200));
	};
	// Quit now and then among the setting commands.
	std::vector<uint32_t> commands;
	for (int i = 0; i < 2; i++)
		commands.insert(commands.end(), std::begin(kSettingCommands), std::end(kSettingCommands));
	commands.push_back(MFqu);

	const int kJobs = 12;
	{
		CommandHammer hammer(commands, 777);
		for (int job = 0; job < kJobs; job++)
			RunJob(paths);
	}
	WaitForWindow();

	ASSERT_EQ(fPort.OpenCount(), static_cast<size_t>(kJobs));
	for (int job = 0; job < kJobs; job++) {
		RecordedStream output = fPort.Stream(static_cast<size_t>(job));
		EXPECT_EQ(output.closes, 1) << "job " << job;
		EXPECT_EQ(output.writesAfterClose, 0) << "job " << job;
		ASSERT_LE(output.writes.size(), kWritesPerFile * texts.size()) << "job " << job;
		// Files follow each other whole; only the last may be cut by Quit.
		for (size_t start = 0; start < output.writes.size(); start += kWritesPerFile) {
			EXPECT_FALSE(ReadPreamble(output.writes[start]).empty())
				<< "job " << job << ", file at write " << start << ": "
				<< Printable(output.writes[start]);
		}
	}
}
