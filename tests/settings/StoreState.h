// Test support for the printer settings: every store variable by name, a
// rendered view of the whole store for comparing states, the values the
// process started with, and a fixture that begins each test right after the
// start-up settings.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

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

class SettingsTest : public ::testing::Test
{
protected:
	void SetUp() override;
	void TearDown() override;
};
