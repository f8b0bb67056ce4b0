#include "PaperPages.h"

#include <cairo-pdf.h>
#include <cairo.h>

namespace {

const double kPointsPerUnit = 72.0 / static_cast<double>(kUnitsPerInch);

// Draft is printed light, near letter quality darker, letter quality black.
double Grey(print_quality quality)
{
	switch (quality) {
		case kDraftQuality:
			return 0.45;
		case kNearLetterQuality:
			return 0.22;
		case kLetterQuality:
			return 0.0;
	}
	return 0.0;
}

std::string Utf8(const std::u32string& text)
{
	std::string out;
	for (char32_t c : text) {
		if (c < 0x80) {
			out += static_cast<char>(c);
		} else if (c < 0x800) {
			out += static_cast<char>(0xC0 | c >> 6);
			out += static_cast<char>(0x80 | (c & 0x3F));
		} else if (c < 0x10000) {
			out += static_cast<char>(0xE0 | c >> 12);
			out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
			out += static_cast<char>(0x80 | (c & 0x3F));
		} else {
			out += static_cast<char>(0xF0 | c >> 18);
			out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
			out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
			out += static_cast<char>(0x80 | (c & 0x3F));
		}
	}
	return out;
}

// One run: each glyph placed at its own character cell, so that the pitch of
// the codes, not the face's, sets the positions.
void DrawRun(cairo_t* cr, const PaperRun& run)
{
	const bool proportional = run.proportional;
	cairo_select_font_face(cr, proportional ? "serif" : "monospace",
	                       run.italic ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
	                       run.bold || run.quality == kLetterQuality ? CAIRO_FONT_WEIGHT_BOLD
	                                                                 : CAIRO_FONT_WEIGHT_NORMAL);
	// A monospaced face's advance is about six tenths of its size: the size
	// that fills the cell, no taller than the line.
	double cell =
	    static_cast<double>(proportional ? kUnitsPerInch / 10 : run.advance) * kPointsPerUnit;
	double line = static_cast<double>(run.height) * kPointsPerUnit;
	double size = std::min(cell / 0.6, line * 0.95);
	cairo_set_font_size(cr, size);
	double grey = Grey(run.quality);
	cairo_set_source_rgb(cr, grey, grey, grey);

	std::string text = Utf8(run.text);
	cairo_scaled_font_t* font = cairo_get_scaled_font(cr);
	cairo_glyph_t* glyphs = nullptr;
	int glyphCount = 0;
	cairo_text_cluster_t* clusters = nullptr;
	int clusterCount = 0;
	cairo_text_cluster_flags_t flags;
	double x = static_cast<double>(run.x) * kPointsPerUnit;
	double y = static_cast<double>(run.y) * kPointsPerUnit;
	if (cairo_scaled_font_text_to_glyphs(font, x, y, text.c_str(), static_cast<int>(text.size()),
	                                     &glyphs, &glyphCount, &clusters, &clusterCount,
	                                     &flags) != CAIRO_STATUS_SUCCESS)
		return;
	// One glyph a character in these faces; a cluster of more keeps its place.
	double pen = x;
	int glyph = 0;
	for (int c = 0; c < clusterCount && c < static_cast<int>(run.text.size()); c++) {
		double width =
		    static_cast<double>(proportional ? run.widths[static_cast<size_t>(c)] : run.advance) *
		    kPointsPerUnit;
		for (int k = 0; k < clusters[c].num_glyphs && glyph < glyphCount; k++, glyph++) {
			glyphs[glyph].x = pen;
			glyphs[glyph].y = y;
		}
		pen += width;
	}
	cairo_show_text_glyphs(cr, text.c_str(), static_cast<int>(text.size()), glyphs, glyphCount,
	                       clusters, clusterCount, flags);
	cairo_glyph_free(glyphs);
	cairo_text_cluster_free(clusters);
	if (run.underline) {
		cairo_set_line_width(cr, size / 14);
		cairo_move_to(cr, x, y + size / 8);
		cairo_line_to(cr, pen, y + size / 8);
		cairo_stroke(cr);
	}
}

void DrawSheet(cairo_t* cr, const PaperSheet& sheet)
{
	for (const PaperRun& run : sheet.runs)
		DrawRun(cr, run);
}

} // namespace

PdfPages::PdfPages(const std::string& path)
    : fSurface(cairo_pdf_surface_create(path.c_str(), 612, 792))
{
}

PdfPages::~PdfPages()
{
	Close();
}

bool PdfPages::Ok() const
{
	return fSurface != nullptr && cairo_surface_status(fSurface) == CAIRO_STATUS_SUCCESS;
}

void PdfPages::Add(const PaperSheet& sheet)
{
	if (!Ok())
		return;
	cairo_pdf_surface_set_size(fSurface, static_cast<double>(sheet.width) * kPointsPerUnit,
	                           static_cast<double>(sheet.height) * kPointsPerUnit);
	cairo_t* cr = cairo_create(fSurface);
	DrawSheet(cr, sheet);
	cairo_show_page(cr);
	cairo_destroy(cr);
	fFirst = false;
}

bool PdfPages::Close()
{
	if (fSurface == nullptr)
		return true;
	if (fFirst) {
		// A job that ejected nothing still makes a readable file: one blank page.
		cairo_t* cr = cairo_create(fSurface);
		cairo_show_page(cr);
		cairo_destroy(cr);
	}
	cairo_surface_finish(fSurface);
	bool ok = cairo_surface_status(fSurface) == CAIRO_STATUS_SUCCESS;
	cairo_surface_destroy(fSurface);
	fSurface = nullptr;
	return ok;
}

bool WritePngSheet(const PaperSheet& sheet, const std::string& stem, double dpi)
{
	double scale = dpi / 72.0;
	int width = static_cast<int>(static_cast<double>(sheet.width) * kPointsPerUnit * scale + 0.5);
	int height = static_cast<int>(static_cast<double>(sheet.height) * kPointsPerUnit * scale + 0.5);
	cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
	cairo_t* cr = cairo_create(surface);
	cairo_set_source_rgb(cr, 1, 1, 1);
	cairo_paint(cr);
	cairo_scale(cr, scale, scale);
	DrawSheet(cr, sheet);
	cairo_destroy(cr);
	std::string path = stem + "-" + std::to_string(sheet.number) + ".png";
	bool ok = cairo_surface_write_to_png(surface, path.c_str()) == CAIRO_STATUS_SUCCESS;
	cairo_surface_destroy(surface);
	return ok;
}
