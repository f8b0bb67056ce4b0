#include <FilePanel.h>

#include <AppDefs.h>
#include <Application.h>


#include "PlatformBackend.h"

BFilePanel::BFilePanel(file_panel_mode mode, BMessenger* target, const entry_ref* directory,
	uint32, bool allowMultipleSelection, BMessage* message, BRefFilter*, bool modal,
	bool hideWhenDone)
	:
	fMode(mode),
	fTarget(target != NULL ? target->Target() : NULL),
	fDirectory(directory != NULL ? directory->Path() : ""),
	fAllowMultiple(allowMultipleSelection),
	fMessage(message != NULL ? *message : BMessage(B_REFS_RECEIVED)),
	fModal(modal),
	fHideWhenDone(hideWhenDone),
	fShowing(false)
{
}

BFilePanel::~BFilePanel()
{
	if (fShowing)
		platform_backend()->HidePanel(this);
}

void
BFilePanel::Show()
{
	if (fShowing)
		return;
	fShowing = true;
	platform_backend()->ShowPanel(this);
}

void
BFilePanel::Hide()
{
	if (!fShowing)
		return;
	fShowing = false;
	platform_backend()->HidePanel(this);
}

BLooper*
BFilePanel::_Target() const
{
	return fTarget != NULL ? fTarget : be_app;
}

status_t
BFilePanel::_Confirm(const std::vector<std::string>& paths)
{
	BMessage selection(fMessage);
	for (const std::string& path : paths) {
		entry_ref ref(path.c_str());
		selection.AddRef("refs", &ref);
		if (!fAllowMultiple)
			break;
	}
	if (fHideWhenDone)
		Hide();
	BLooper* target = _Target();
	return target != NULL ? target->PostMessage(&selection) : B_NO_INIT;
}

status_t
BFilePanel::_Cancel()
{
	Hide();
	BLooper* target = _Target();
	return target != NULL ? target->PostMessage(B_CANCEL) : B_NO_INIT;
}
