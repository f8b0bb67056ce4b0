#include <Alert.h>

#include "PlatformBackend.h"

BAlert::BAlert(const char* title, const char* text, const char* button0, const char* button1,
	const char* button2, button_width, alert_type type)
	:
	fTitle(title != NULL ? title : ""),
	fText(text != NULL ? text : ""),
	fType(type)
{
	// The buttons' width is the screen's to choose: the backend sizes them.
	// Buttons come in order; the first one not given ends the list.
	for (const char* label : {button0, button1, button2}) {
		if (label == NULL)
			break;
		fButtons.push_back(label);
	}
}

BAlert::~BAlert()
{
}

const char*
BAlert::ButtonLabel(int32 index) const
{
	if (index < 0 || static_cast<size_t>(index) >= fButtons.size())
		return NULL;
	return fButtons[static_cast<size_t>(index)].c_str();
}

int32
BAlert::Go()
{
	int32 answer = platform_backend()->RunAlert(this);
	delete this;
	return answer;
}
