// Message codes the kit itself sends.
#pragma once

#include <SupportDefs.h>

enum : uint32 {
	B_QUIT_REQUESTED = '_QRQ',
	B_REFS_RECEIVED = '_RRC',
	B_READY_TO_RUN = '_RTR',
	B_ARGV_RECEIVED = '_ARG',
	B_ABOUT_REQUESTED = '_ABR',
	B_CANCEL = '_CNC',
};

// Modifier keys.
const uint32 B_COMMAND_KEY = 0x00000001;
