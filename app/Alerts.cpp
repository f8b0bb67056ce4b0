#include "Alerts.h"

#include <mutex>

BAlert* alert = NULL;
int32 result = 0;

static std::mutex sAlertLock;

int32
RunAlert(const char* title, const char* text, const char* button0, const char* button1,
	const char* button2)
{
	BAlert* newAlert
		= new BAlert(title, text, button0, button1, button2, B_WIDTH_AS_USUAL, B_INFO_ALERT);
	{
		std::lock_guard<std::mutex> lock(sAlertLock);
		alert = newAlert;
	}
	// Go() blocks this thread until the user answers, then frees the alert.
	int32 answer = newAlert->Go();
	{
		std::lock_guard<std::mutex> lock(sAlertLock);
		result = answer;
	}
	return answer;
}

void
ShowNotSupportedAlert()
{
	RunAlert("Printer Alert", "This function is not properly supported yet.", "OK");
}
