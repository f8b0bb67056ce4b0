// What the port tests share: the environment set per test, a scratch
// folder, loopback listeners standing in for network printers and a
// pseudo-terminal standing in for a serial printer.
#pragma once

#include <arpa/inet.h>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <memory>
#include <netinet/in.h>
#include <poll.h>
#include <pty.h>
#include <string>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

namespace {

typedef std::chrono::steady_clock Clock;

// Sets or unsets one environment variable for the life of the object.
class ScopedEnvironment
{
public:
	ScopedEnvironment(const char* name, const char* value) : fName(name)
	{
		const char* old = getenv(name);
		fHad = old != nullptr;
		if (fHad)
			fOld = old;
		if (value != nullptr)
			setenv(name, value, 1);
		else
			unsetenv(name);
	}

	~ScopedEnvironment()
	{
		if (fHad)
			setenv(fName.c_str(), fOld.c_str(), 1);
		else
			unsetenv(fName.c_str());
	}

private:
	std::string fName;
	bool fHad;
	std::string fOld;
};

const char* const kPortVariables[] = {
    "QUILLON_PARALLEL1", "QUILLON_PARALLEL2",    "QUILLON_SERIAL1",
    "QUILLON_SERIAL2",   "QUILLON_SERIAL1_BAUD", "QUILLON_SERIAL2_BAUD",
};


// A TCP listener on a loopback address with an ephemeral port.
class LoopbackListener
{
public:
	explicit LoopbackListener(bool ipv6 = false, int backlog = 4, bool listening = true)
	{
		fDescriptor = socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
		if (fDescriptor < 0)
			return;
		int bound;
		if (ipv6) {
			struct sockaddr_in6 address = {};
			address.sin6_family = AF_INET6;
			address.sin6_addr = in6addr_loopback;
			bound = bind(fDescriptor, reinterpret_cast<sockaddr*>(&address), sizeof(address));
		} else {
			struct sockaddr_in address = {};
			address.sin_family = AF_INET;
			address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
			bound = bind(fDescriptor, reinterpret_cast<sockaddr*>(&address), sizeof(address));
		}
		if (bound != 0 || (listening && listen(fDescriptor, backlog) != 0)) {
			Close();
			return;
		}
		struct sockaddr_storage address;
		socklen_t length = sizeof(address);
		getsockname(fDescriptor, reinterpret_cast<sockaddr*>(&address), &length);
		fPort = ipv6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&address)->sin6_port)
		             : ntohs(reinterpret_cast<sockaddr_in*>(&address)->sin_port);
		fAddress = ipv6 ? "tcp://[::1]:" + std::to_string(fPort)
		                : "tcp://127.0.0.1:" + std::to_string(fPort);
	}

	~LoopbackListener() { Close(); }

	bool Ready() const { return fDescriptor >= 0; }
	const std::string& Address() const { return fAddress; }
	int Port() const { return fPort; }
	int Descriptor() const { return fDescriptor; }

	// The next connection, or -1 when none came in time.
	int Accept(int timeoutMilliseconds = 5000)
	{
		struct pollfd wait = {fDescriptor, POLLIN, 0};
		if (poll(&wait, 1, timeoutMilliseconds) <= 0)
			return -1;
		return accept4(fDescriptor, nullptr, nullptr, SOCK_CLOEXEC);
	}

	void Close()
	{
		if (fDescriptor >= 0)
			close(fDescriptor);
		fDescriptor = -1;
	}

private:
	int fDescriptor = -1;
	int fPort = 0;
	std::string fAddress;
};


class PrinterPortTest : public ::testing::Test
{
protected:
	void SetUp() override
	{
		for (const char* name : kPortVariables)
			fEnvironment.push_back(std::make_unique<ScopedEnvironment>(name, nullptr));
		char pattern[] = "/tmp/quillon-ports-XXXXXX";
		ASSERT_NE(nullptr, mkdtemp(pattern));
		fDirectory = pattern;
	}

	void TearDown() override
	{
		fEnvironment.clear();
		std::string command = "rm -rf '" + fDirectory + "'";
		if (!fDirectory.empty() && system(command.c_str()) != 0)
			ADD_FAILURE() << "could not remove " << fDirectory;
	}

	void Set(const char* name, const std::string& value)
	{
		fEnvironment.push_back(std::make_unique<ScopedEnvironment>(name, value.c_str()));
	}

	std::string fDirectory;

private:
	std::vector<std::unique_ptr<ScopedEnvironment>> fEnvironment;
};

// A pseudo-terminal whose slave side stands in for the serial device.
class PseudoTerminal
{
public:
	PseudoTerminal()
	{
		if (openpty(&fMaster, &fSlave, nullptr, nullptr, nullptr) != 0)
			return;
		char name[PATH_MAX];
		if (ttyname_r(fSlave, name, sizeof(name)) == 0)
			fName = name;
	}

	~PseudoTerminal()
	{
		if (fMaster >= 0)
			close(fMaster);
		if (fSlave >= 0)
			close(fSlave);
	}

	bool Ready() const { return fMaster >= 0 && !fName.empty(); }
	const std::string& Name() const { return fName; }
	int Master() const { return fMaster; }

	struct termios Settings() const
	{
		struct termios settings = {};
		tcgetattr(fSlave, &settings);
		return settings;
	}

private:
	int fMaster = -1;
	int fSlave = -1;
	std::string fName;
};

}  // namespace
