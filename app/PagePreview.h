// Preview, of the Setup menu: the files the user chooses, as for Print, are
// laid out exactly as the job would send them with the settings now in
// force. The job runs as any job does, its output kept in memory; the bytes
// are then read by the printer of paper for the selected model, and the
// preview window shows its sheets.
#pragma once

class BFilePanel;
class BMessage;
class JobFileReader;

// The panel whose files are previewed: its answer goes to the application.
BFilePanel* new_preview_panel();

// Runs on the application's thread, as print jobs do, so that a preview and
// a job never share the output. No window opens when the job was cancelled.
void preview_files(BMessage* refs, JobFileReader& reader);
