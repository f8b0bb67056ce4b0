// The alerts the window (for the printer settings) and the print job show.
#pragma once

#include <Alert.h>

// The most recently created alert and the button chosen in the most recent one.
// Both threads that show alerts write them; RunAlert keeps the writes whole.
// Go() frees the alert once it is answered, so alert then points at freed
// memory: it is only ever written, never followed.
extern BAlert* alert;
extern int32 result;

// Shows an information alert, waits for the answer and returns the index of the
// chosen button (also stored in result).
int32 RunAlert(const char* title, const char* text, const char* button0,
	const char* button1 = NULL, const char* button2 = NULL);

// "This function is not properly supported yet."
void ShowNotSupportedAlert();
