// Sheets of the printer of paper drawn with cairo: a PDF with one page a
// sheet, its text as text, or a PNG image a sheet.
#pragma once

#include <string>

#include "PrinterPaper.h"

struct _cairo_surface;

// Draws each sheet it is handed as the next page of a PDF; the file is
// complete at Close (or when it is destroyed).
class PdfPages
{
public:
	explicit PdfPages(const std::string& path);
	~PdfPages();
	PdfPages(const PdfPages&) = delete;
	PdfPages& operator=(const PdfPages&) = delete;

	bool Ok() const;
	void Add(const PaperSheet& sheet);
	// False when the file could not be written.
	bool Close();

private:
	_cairo_surface* fSurface;
	bool fFirst = true;
};

// Writes the sheet as PATH-N.png at the given dots per inch.
bool WritePngSheet(const PaperSheet& sheet, const std::string& stem, double dpi);
