// The printer ports on real descriptors: a pseudo-terminal standing in for a
// serial printer, loopback TCP listeners standing in for a network printer,
// and plain files. Only 127.0.0.1 and ::1 are ever connected to.
#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include <PrinterPorts.h>

#include "PortTestHarness.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// Every byte value, then text with both orders of CR and LF, then every
// byte value again from the top down.
Bytes TestPattern()
{
	Bytes bytes;
	for (int value = 0; value < 256; value++)
		bytes.push_back(static_cast<uint8_t>(value));
	for (char c : std::string("one\r\ntwo\n\rthree\nfour\r\r\n\n"))
		bytes.push_back(static_cast<uint8_t>(c));
	for (int value = 255; value >= 0; value--)
		bytes.push_back(static_cast<uint8_t>(value));
	return bytes;
}

bool WriteAll(FILE* stream, const Bytes& bytes)
{
	return fwrite(bytes.data(), 1, bytes.size(), stream) == bytes.size();
}

// Reads from a descriptor until count bytes came or the time is up, then
// waits a little longer for bytes that should not be there.
Bytes ReadBytes(int descriptor, size_t count, int timeoutMilliseconds = 5000)
{
	Bytes bytes;
	Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMilliseconds);
	bool settling = false;
	for (;;) {
		int left;
		if (bytes.size() >= count && !settling) {
			settling = true;
			deadline = Clock::now() + std::chrono::milliseconds(100);
		}
		left = static_cast<int>(
		    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
		if (left <= 0)
			break;
		struct pollfd wait = {descriptor, POLLIN, 0};
		if (poll(&wait, 1, left) <= 0)
			break;
		uint8_t chunk[4096];
		ssize_t got = read(descriptor, chunk, sizeof(chunk));
		if (got <= 0)
			break;
		bytes.insert(bytes.end(), chunk, chunk + got);
	}
	return bytes;
}

std::string ReadFile(const std::string& path)
{
	std::string content;
	FILE* file = fopen(path.c_str(), "rb");
	if (file == nullptr)
		return "(cannot open)";
	char chunk[4096];
	size_t got;
	while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0)
		content.append(chunk, got);
	fclose(file);
	return content;
}

bool Exists(const std::string& path)
{
	struct stat info;
	return lstat(path.c_str(), &info) == 0;
}

// What a network printer received on one connection.
struct Reception
{
	bool accepted = false;
	bool closedByPeer = false;
	Bytes bytes;
};

// Accepts one connection and reads it until the sender closes it, each wait
// bounded; the connection is closed on return, so a sender that is still
// writing is never left blocked.
void Receive(LoopbackListener* listener, Reception* reception)
{
	int connection = listener->Accept();
	if (connection < 0)
		return;
	reception->accepted = true;
	for (;;) {
		struct pollfd wait = {connection, POLLIN, 0};
		if (poll(&wait, 1, 5000) <= 0)
			break;
		uint8_t chunk[65536];
		ssize_t got = read(connection, chunk, sizeof(chunk));
		if (got == 0) {
			reception->closedByPeer = true;
			break;
		}
		if (got < 0)
			break;
		reception->bytes.insert(reception->bytes.end(), chunk, chunk + got);
	}
	close(connection);
}

TEST_F(PrinterPortTest, SerialPortSendsEveryByteUnchanged)
{
	PseudoTerminal terminal;
	ASSERT_TRUE(terminal.Ready());
	// A fresh terminal translates line ends; the port must switch that off.
	ASSERT_TRUE(terminal.Settings().c_oflag & OPOST);
	ASSERT_TRUE(terminal.Settings().c_oflag & ONLCR);
	Set("QUILLON_SERIAL1", terminal.Name());

	FILE* port = open_printer_port("/dev/serial/serial1");
	ASSERT_NE(nullptr, port) << strerror(errno);

	struct termios settings = terminal.Settings();
	EXPECT_EQ(0u, settings.c_oflag & OPOST);
	EXPECT_EQ(0u, settings.c_oflag & ONLCR);
	EXPECT_EQ(static_cast<tcflag_t>(CS8), settings.c_cflag & CSIZE);
	EXPECT_EQ(0u, settings.c_cflag & PARENB);
	EXPECT_EQ(0u, settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
	EXPECT_EQ(static_cast<speed_t>(B9600), cfgetospeed(&settings));

	Bytes pattern = TestPattern();
	EXPECT_TRUE(WriteAll(port, pattern));
	EXPECT_EQ(0, fclose(port));
	EXPECT_EQ(pattern, ReadBytes(terminal.Master(), pattern.size()));
}

// A serial printer is fed each write as it comes, not when a buffer fills.
TEST_F(PrinterPortTest, SerialPortGetsEachWriteAtOnce)
{
	PseudoTerminal terminal;
	ASSERT_TRUE(terminal.Ready());
	Set("QUILLON_SERIAL2", terminal.Name());
	FILE* port = open_printer_port("/dev/serial/serial2");
	ASSERT_NE(nullptr, port) << strerror(errno);
	const Bytes line = {'l', 'i', 'n', 'e', '\r', '\n'};
	for (int i = 0; i < 3; i++) {
		EXPECT_TRUE(WriteAll(port, line));
		EXPECT_EQ(line, ReadBytes(terminal.Master(), line.size(), 2000)) << "write " << i;
	}
	EXPECT_EQ(0, fclose(port));
}

TEST_F(PrinterPortTest, SerialPortsTakeTheirOwnSpeed)
{
	PseudoTerminal first;
	PseudoTerminal second;
	ASSERT_TRUE(first.Ready());
	ASSERT_TRUE(second.Ready());
	Set("QUILLON_SERIAL1", first.Name());
	Set("QUILLON_SERIAL2", second.Name());
	Set("QUILLON_SERIAL1_BAUD", "19200");
	Set("QUILLON_SERIAL2_BAUD", "115200");

	FILE* port1 = open_printer_port("/dev/serial/serial1");
	ASSERT_NE(nullptr, port1) << strerror(errno);
	FILE* port2 = open_printer_port("/dev/serial/serial2");
	ASSERT_NE(nullptr, port2) << strerror(errno);

	struct termios settings1 = first.Settings();
	struct termios settings2 = second.Settings();
	EXPECT_EQ(static_cast<speed_t>(B19200), cfgetospeed(&settings1));
	EXPECT_EQ(static_cast<speed_t>(B115200), cfgetospeed(&settings2));
	EXPECT_EQ(0u, settings2.c_oflag & OPOST);

	const Bytes one = {'1', '\n'};
	const Bytes two = {'2', '\r', 0x00, 0xFF};
	EXPECT_TRUE(WriteAll(port1, one));
	EXPECT_TRUE(WriteAll(port2, two));
	EXPECT_EQ(0, fclose(port1));
	EXPECT_EQ(0, fclose(port2));
	EXPECT_EQ(one, ReadBytes(first.Master(), one.size()));
	EXPECT_EQ(two, ReadBytes(second.Master(), two.size()));
}

// A speed the port cannot take fails the open, so the user sees the port
// alert instead of a printer fed at 9600 baud; an empty one means unset.
TEST_F(PrinterPortTest, SerialSpeedThatCannotBeSetFailsTheOpen)
{
	PseudoTerminal terminal;
	ASSERT_TRUE(terminal.Ready());
	Set("QUILLON_SERIAL1", terminal.Name());
	for (const char* speed : { "9601", "fast", "19200x", "-9600", " 9600", "9600 ", "+9600" }) {
		Set("QUILLON_SERIAL1_BAUD", speed);
		errno = 0;
		FILE* port = open_printer_port("/dev/serial/serial1");
		EXPECT_EQ(nullptr, port) << speed;
		EXPECT_EQ(EINVAL, errno) << speed;
		if (port != nullptr)
			fclose(port);
	}

	Set("QUILLON_SERIAL1_BAUD", "");
	FILE* port = open_printer_port("/dev/serial/serial1");
	ASSERT_NE(nullptr, port) << strerror(errno);
	struct termios settings = terminal.Settings();
	EXPECT_EQ(static_cast<speed_t>(B9600), cfgetospeed(&settings));
	EXPECT_EQ(0, fclose(port));
}

TEST_F(PrinterPortTest, NetworkPrinterReceivesEveryByteAndTheClose)
{
	LoopbackListener listener;
	ASSERT_TRUE(listener.Ready());
	Set("QUILLON_PARALLEL2", listener.Address());
	EXPECT_EQ(listener.Address(), printer_port_target("/dev/parallel/parallel2"));
	EXPECT_NE(listener.Address(), printer_port_target("/dev/parallel/parallel1"));

	Reception reception;
	std::thread printer(Receive, &listener, &reception);

	FILE* port = open_printer_port("/dev/parallel/parallel2");
	EXPECT_NE(nullptr, port) << strerror(errno);
	// More than the socket buffers hold, so the printer must read while we write.
	Bytes sent;
	if (port != nullptr) {
		Bytes pattern = TestPattern();
		for (int i = 0; i < 512; i++) {
			EXPECT_TRUE(WriteAll(port, pattern));
			sent.insert(sent.end(), pattern.begin(), pattern.end());
		}
		EXPECT_EQ(0, fclose(port));
	}
	printer.join();

	EXPECT_TRUE(reception.accepted);
	EXPECT_TRUE(reception.closedByPeer) << "the connection stays open after fclose";
	EXPECT_EQ(sent.size(), reception.bytes.size());
	EXPECT_TRUE(sent == reception.bytes);
}

TEST_F(PrinterPortTest, NetworkPrinterOnIPv6Loopback)
{
	LoopbackListener listener(true);
	if (!listener.Ready())
		GTEST_SKIP() << "no IPv6 loopback here";
	Set("QUILLON_SERIAL2", listener.Address());

	Reception reception;
	std::thread printer(Receive, &listener, &reception);
	FILE* port = open_printer_port("/dev/serial/serial2");
	EXPECT_NE(nullptr, port) << strerror(errno);
	const Bytes text = {'h', 'i', '\r', '\n', 0x0C};
	if (port != nullptr) {
		EXPECT_TRUE(WriteAll(port, text));
		EXPECT_EQ(0, fclose(port));
	}
	printer.join();
	EXPECT_TRUE(reception.closedByPeer);
	EXPECT_EQ(text, reception.bytes);
}

TEST_F(PrinterPortTest, RefusedConnectionFailsAtOnce)
{
	// Bound but not listening: the port is ours and every connection is refused.
	LoopbackListener closed(false, 0, false);
	ASSERT_TRUE(closed.Ready());
	Set("QUILLON_PARALLEL1", closed.Address());

	Clock::time_point start = Clock::now();
	errno = 0;
	FILE* port = open_printer_port("/dev/parallel/parallel1");
	Clock::duration took = Clock::now() - start;
	EXPECT_EQ(nullptr, port);
	EXPECT_EQ(ECONNREFUSED, errno);
	EXPECT_LT(took, std::chrono::seconds(1));
	if (port != nullptr)
		fclose(port);
}

TEST_F(PrinterPortTest, MalformedNetworkAddressesFail)
{
	for (const char* address :
	     {"tcp://127.0.0.1", "tcp://127.0.0.1:", "tcp://127.0.0.1:port", "tcp://"}) {
		Set("QUILLON_PARALLEL1", address);
		Clock::time_point start = Clock::now();
		FILE* port = open_printer_port("/dev/parallel/parallel1");
		EXPECT_EQ(nullptr, port) << address;
		EXPECT_LT(Clock::now() - start, std::chrono::seconds(1)) << address;
		if (port != nullptr)
			fclose(port);
	}
}

// A printer whose queue is full never answers the connection; the port gives
// up after its connect timeout instead of hanging the print job.
TEST_F(PrinterPortTest, UnansweredConnectionTimesOut)
{
	LoopbackListener busy(false, 0);
	ASSERT_TRUE(busy.Ready());

	// Fill the listener's queue until a connection no longer completes.
	std::vector<int> waiting;
	bool full = false;
	for (int i = 0; i < 16 && !full; i++) {
		int descriptor = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
		ASSERT_GE(descriptor, 0);
		waiting.push_back(descriptor);
		struct sockaddr_in address = {};
		address.sin_family = AF_INET;
		address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
		address.sin_port = htons(static_cast<uint16_t>(busy.Port()));
		connect(descriptor, reinterpret_cast<sockaddr*>(&address), sizeof(address));
		struct pollfd wait = {descriptor, POLLOUT, 0};
		full = poll(&wait, 1, 300) == 0;
	}
	if (!full) {
		for (int descriptor : waiting)
			close(descriptor);
		GTEST_SKIP() << "the loopback listener's queue did not fill";
	}

	Set("QUILLON_PARALLEL1", busy.Address());
	Clock::time_point start = Clock::now();
	errno = 0;
	FILE* port = open_printer_port("/dev/parallel/parallel1");
	Clock::duration took = Clock::now() - start;
	EXPECT_EQ(nullptr, port);
	EXPECT_EQ(ETIMEDOUT, errno);
	EXPECT_GE(took, std::chrono::milliseconds(kPrinterConnectTimeout - 500));
	EXPECT_LT(took, std::chrono::milliseconds(kPrinterConnectTimeout + 3000));
	if (port != nullptr)
		fclose(port);
	for (int descriptor : waiting)
		close(descriptor);
}

TEST_F(PrinterPortTest, PrinterThatHangsUpMakesWritesFail)
{
	struct sigaction defaultAction = {};
	defaultAction.sa_handler = SIG_DFL;
	struct sigaction previous;
	ASSERT_EQ(0, sigaction(SIGPIPE, &defaultAction, &previous));

	LoopbackListener listener;
	ASSERT_TRUE(listener.Ready());
	Set("QUILLON_PARALLEL2", listener.Address());
	FILE* port = open_printer_port("/dev/parallel/parallel2");
	ASSERT_NE(nullptr, port) << strerror(errno);
	int connection = listener.Accept();
	ASSERT_GE(connection, 0);
	close(connection);

	Bytes chunk(4096, 'x');
	bool failed = false;
	int error = 0;
	for (int i = 0; i < 200 && !failed; i++) {
		errno = 0;
		if (!WriteAll(port, chunk) || fflush(port) != 0) {
			failed = true;
			error = errno;
		}
		usleep(5000);
	}
	EXPECT_TRUE(failed) << "writes to a closed connection kept succeeding";
	EXPECT_TRUE(error == EPIPE || error == ECONNRESET) << strerror(error);
	EXPECT_TRUE(ferror(port));
	fclose(port);
	sigaction(SIGPIPE, &previous, nullptr);
}

TEST_F(PrinterPortTest, ParallelPortMappedToAPlainFile)
{
	std::string path = fDirectory + "/printer-output";
	Set("QUILLON_PARALLEL1", path);
	EXPECT_EQ(path, printer_port_target("/dev/parallel/parallel1"));

	// Made when missing.
	FILE* port = open_printer_port("/dev/parallel/parallel1");
	ASSERT_NE(nullptr, port) << strerror(errno);
	EXPECT_TRUE(WriteAll(port, {'a', 0x00, '\n', 0xFF}));
	EXPECT_EQ(0, fclose(port));
	EXPECT_EQ(std::string("a\0\n\xFF", 4), ReadFile(path));

	// Cut to length 0 when there, as the job's "w" open does.
	FILE* existing = fopen(path.c_str(), "w");
	ASSERT_NE(nullptr, existing);
	fputs("an earlier and much longer job's output", existing);
	fclose(existing);
	port = open_printer_port("/dev/parallel/parallel1");
	ASSERT_NE(nullptr, port) << strerror(errno);
	EXPECT_EQ(std::string(""), ReadFile(path)) << "not cut at open";
	EXPECT_TRUE(WriteAll(port, {'n', 'e', 'w'}));
	EXPECT_EQ(0, fclose(port));
	EXPECT_EQ("new", ReadFile(path));
}

TEST_F(PrinterPortTest, MissingDeviceFailsWithoutMakingAFile)
{
	const char* missing[][2] = {
	    {"QUILLON_PARALLEL1", "/dev/quillon-no-such-printer"},
	    {"QUILLON_PARALLEL2", "/dev/quillon-no-such-printer"},
	    {"QUILLON_SERIAL1", "/dev/quillon-no-such-tty"},
	    {"QUILLON_SERIAL2", "/dev/quillon-no-such-tty"},
	};
	const char* ports[] = {"/dev/parallel/parallel1", "/dev/parallel/parallel2",
	                       "/dev/serial/serial1", "/dev/serial/serial2"};
	ASSERT_FALSE(Exists("/dev/quillon-no-such-printer"));
	ASSERT_FALSE(Exists("/dev/quillon-no-such-tty"));

	for (int i = 0; i < 4; i++) {
		Set(missing[i][0], missing[i][1]);
		FILE* port = open_printer_port(ports[i]);
		EXPECT_EQ(nullptr, port) << ports[i];
		if (port != nullptr)
			fclose(port);
		if (Exists(missing[i][1])) {
			ADD_FAILURE() << ports[i] << " made " << missing[i][1];
			unlink(missing[i][1]);
		}
	}
}

TEST_F(PrinterPortTest, UnmappedParallelPortWithoutPrinterFails)
{
	const char* devices[] = {"/dev/lp0", "/dev/usb/lp0", "/dev/parallel/parallel1"};
	for (const char* device : devices) {
		if (Exists(device))
			GTEST_SKIP() << device << " is present here";
	}

	EXPECT_EQ("/dev/lp0", printer_port_target("/dev/parallel/parallel1"));
	Set("QUILLON_PARALLEL1", ""); // empty counts as not set
	EXPECT_EQ("/dev/lp0", printer_port_target("/dev/parallel/parallel1"));

	FILE* port = open_printer_port("/dev/parallel/parallel1");
	EXPECT_EQ(nullptr, port);
	if (port != nullptr)
		fclose(port);
	for (const char* device : devices) {
		if (Exists(device)) {
			ADD_FAILURE() << "opening the port made " << device;
			unlink(device);
		}
	}
}

TEST_F(PrinterPortTest, PrintFileIsAPlainFileInTheCurrentDirectory)
{
	EXPECT_EQ("PrintFile", printer_port_target("PrintFile"));

	char previous[PATH_MAX];
	ASSERT_NE(nullptr, getcwd(previous, sizeof(previous)));
	ASSERT_EQ(0, chdir(fDirectory.c_str()));

	FILE* port = open_printer_port("PrintFile");
	EXPECT_NE(nullptr, port);
	if (port != nullptr) {
		EXPECT_TRUE(WriteAll(port, {0x1B, 0x40, 'x', '\n'}));
		EXPECT_EQ(0, fclose(port));
	}
	port = open_printer_port("PrintFile");
	EXPECT_NE(nullptr, port);
	if (port != nullptr) {
		EXPECT_TRUE(WriteAll(port, {'y'}));
		EXPECT_EQ(0, fclose(port));
	}

	ASSERT_EQ(0, chdir(previous));
	EXPECT_EQ("y", ReadFile(fDirectory + "/PrintFile"));
}

TEST_F(PrinterPortTest, EachPortReadsItsOwnVariable)
{
	Set("QUILLON_PARALLEL1", "/p1");
	Set("QUILLON_PARALLEL2", "/p2");
	Set("QUILLON_SERIAL1", "/s1");
	Set("QUILLON_SERIAL2", "tcp://127.0.0.1:9100");
	EXPECT_EQ("/p1", printer_port_target("/dev/parallel/parallel1"));
	EXPECT_EQ("/p2", printer_port_target("/dev/parallel/parallel2"));
	EXPECT_EQ("/s1", printer_port_target("/dev/serial/serial1"));
	EXPECT_EQ("tcp://127.0.0.1:9100", printer_port_target("/dev/serial/serial2"));
	// Only the four port paths are mapped.
	EXPECT_EQ(fDirectory + "/out", printer_port_target((fDirectory + "/out").c_str()));
}

} // namespace
