// A modal alert: a title, a text and up to three buttons.
#pragma once

#include <string>
#include <vector>

#include <InterfaceDefs.h>

class BAlert {
public:
	BAlert(const char* title, const char* text, const char* button0, const char* button1 = NULL,
		const char* button2 = NULL, button_width width = B_WIDTH_AS_USUAL,
		alert_type type = B_INFO_ALERT);
	virtual ~BAlert();

	// Shows the alert and blocks the calling thread until the user chooses a
	// button; returns its index, counted from 0. The alert then frees itself.
	int32 Go();

	const char* Title() const { return fTitle.c_str(); }
	const char* Text() const { return fText.c_str(); }
	int32 CountButtons() const { return static_cast<int32>(fButtons.size()); }
	const char* ButtonLabel(int32 index) const;
	alert_type Type() const { return fType; }

private:
	std::string fTitle;
	std::string fText;
	std::vector<std::string> fButtons;
	alert_type fType;
};
