#include "MenuTable.h"

#include <cstddef>

#include "CommandCodes.h"

#define SEPARATOR { NULL, 0, 0 }

static const MenuRow kFileMenu[] = {
	{ "New", MFnw, 'N' },
	{ "Open", MFop, 'O' },
	{ "Close", MFcl, 'W' },
	{ "Save", MFsv, 'S' },
	{ "Save as", MFsa, 0 },
	SEPARATOR,
	{ "Page Setup", MFps, 0 },
	{ "Print", MFpr, 'P' },
	{ "Quit", MFqu, 'Q' },
};

static const MenuRow kPrintersMenu[] = {
	{ "All Raw Data", MPrw, 0 },
	{ "Pure ASCII", MPas, 0 },
	{ "Generic ASCII", MPgn, 0 },
	SEPARATOR,
	{ "HP Deskjet Series", MPhp, 0 },
	{ "Epson Stylus", MPei, 0 },
	{ "Epson Dot Matrix", MPed, 0 },
	{ "IBM Proprinter", MPpp, 0 },
	SEPARATOR,
	{ "Parallel Port 1", MPp1, 0 },
	{ "Parallel Port 2", MPp2, 0 },
	{ "Serial Port 1", MPs1, 0 },
	{ "Serial Port 2", MPs2, 0 },
	{ "Printer File", MPpf, 0 },
};

static const MenuRow kPrintModesMenu[] = {
	{ "Text mode", MMtx, 0 },
	{ "Graphic mode", MMgr, 0 },
	SEPARATOR,
	{ "Normal Text (10 CPI)", MMnm, 0 },
	{ "Compressed Text (12 CPI)", MM12, 0 },
	{ "Compressed Text (15 CPI)", MM15, 0 },
	{ "Compressed Text (17 CPI)", MM17, 0 },
	{ "Compressed Text (20 CPI)", MM20, 0 },
	SEPARATOR,
	{ "Draft Mode", MMdr, 0 },
	{ "Near Letter Quality", MMnl, 0 },
	{ "Letter Quality", MMlq, 0 },
	SEPARATOR,
	{ "Proportional Spacing", MMps, 0 },
	{ "Fixed Spacing", MMfx, 0 },
	SEPARATOR,
	{ "1 Page per Sheet", MM1p, '1' },
	{ "2 Pages per Sheet", MM2p, '2' },
	{ "4 Pages per Sheet", MM4p, '4' },
	{ "8 Pages per Sheet", MM8p, '8' },
	SEPARATOR,
	{ "1 Column per Page", MM1c, 0 },
	{ "2 Columns per Page", MM2c, 0 },
	{ "3 Columns per Page", MM3c, 0 },
	{ "4 Columns per Page", MM4c, 0 },
	SEPARATOR,
	{ "Long Lines Truncated", MMtr, 0 },
	{ "Long Lines LineWrapped", MMlw, 0 },
	{ "Long Lines Word Wrapped", MMww, 0 },
};

static const MenuRow kCommandPrinterMenu[] = {
	{ "Reset Printer", MCrs, 0 },
	{ "Print Test Page", MCts, 0 },
	{ "Load a sheet", MCld, 0 },
	{ "Eject a sheet", MCej, 0 },
	SEPARATOR,
	{ "Select Exec paper", MCs0, 0 },
	{ "Select Letter paper", MCs1, 0 },
	{ "Select Legal paper", MCs2, 0 },
	{ "Select A4 paper", MCs3, 0 },
	SEPARATOR,
	{ "Select Portrait", MCpt, 0 },
	{ "Select Landscape", MCls, 0 },
	SEPARATOR,
	{ "Printer's Linewrap on", MClw, 0 },
	{ "Printer's Linewrap off", MCtr, 0 },
	SEPARATOR,
	{ "Unidirectional Printing", MCud, 0 },
	{ "Bidirectional Printing", MCbd, 0 },
};

#define MENU(title, rows) { title, rows, sizeof(rows) / sizeof(rows[0]) }

const MenuTable kMenus[4] = {
	MENU("File", kFileMenu),
	MENU("Printers", kPrintersMenu),
	MENU("Print Modes", kPrintModesMenu),
	MENU("Command Printer", kCommandPrinterMenu),
};
