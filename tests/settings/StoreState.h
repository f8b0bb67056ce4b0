// Test support for the printer settings: every store variable by name, a
// rendered view of the whole store for comparing states, the values the
// process started with, and a fixture that begins each test right after the
// start-up settings with a headless user who answers every alert with "OK".
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <HeadlessBackend.h>

// The whole store, variable name -> rendered value. Texts, active copies and
// labels render as the quoted text, counts as decimal numbers, floats with
// enough digits to tell any two floats apart.
typedef std::map<std::string, std::string> StoreView;

std::string Quoted(const char* text);
std::string Count(int32_t value);
std::string Float(float value);

StoreView ViewStore();

// Every name ViewStore() knows, in declaration order.
std::vector<std::string> StoreVariableNames();

// Writes one rendered value back into the store (texts get a pointer to a
// text that lives until the process ends). For preparing states only.
void SetStoreVariable(const std::string& name, const std::string& rendered);

// "name: expected X, found Y" for every difference, or "" when equal.
std::string DescribeDifferences(const StoreView& expected, const StoreView& actual);

// A raw copy of every variable, pointers included, and its restoration.
struct StoreImage
{
	std::vector<std::vector<unsigned char>> bytes;
};
StoreImage SaveStore();
void RestoreStore(const StoreImage& image);

// The store as the process loaded it, before anything ran.
const StoreImage& StoreAtLoad();

// The alert the settings show for functions that are not supported yet.
bool IsNotSupportedAlert(const AlertRecord& record);

class SettingsTest : public ::testing::Test
{
protected:
	void SetUp() override;
	void TearDown() override;

	// Called with every alert before it is answered with 0 ("OK").
	void OnAlert(std::function<void(const AlertRecord&)> watcher) { fWatcher = watcher; }
	std::vector<AlertRecord> Alerts() const
	{
		std::lock_guard<std::mutex> lock(fAlertsLock);
		return fAlerts;
	}

	HeadlessBackend fBackend;

private:
	std::function<void(const AlertRecord&)> fWatcher;
	mutable std::mutex fAlertsLock;
	std::vector<AlertRecord> fAlerts;
};
