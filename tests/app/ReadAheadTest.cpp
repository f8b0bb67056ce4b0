// Reading ahead round a buffer: every piece comes whole and in order, stays
// put while the job holds it, and a file may be left half read.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "ReadAhead.h"

namespace {

// What the job would print of a file read with pieces of pieceSize going
// round slots of them; stops after stopAfter pieces when that is not -1.
std::string
PrintedOf(ReadAhead& ahead, const std::string& file, size_t pieceSize, int stopAfter = -1)
{
	size_t offset = 0;
	ahead.Start([&file, &offset](char* into, size_t count) {
		size_t piece = std::min(count, file.size() - offset);
		memcpy(into, file.data() + offset, piece);
		offset += piece;
		return static_cast<ssize_t>(piece);
	});
	std::string printed;
	for (int taken = 0; taken != stopAfter; taken++) {
		ssize_t length;
		const char* piece = ahead.Next(&length);
		if (length <= 0)
			break;
		std::string held(piece, static_cast<size_t>(length));
		EXPECT_LE(static_cast<size_t>(length), pieceSize);
		// The reader goes on meanwhile; the piece held is not read over.
		EXPECT_EQ(std::string(piece, static_cast<size_t>(length)), held) << "piece " << taken;
		printed += held;
	}
	ahead.Stop();
	return printed;
}

}  // namespace

TEST(ReadAhead, PiecesComeWholeAndInOrderWithAnyNumberOfSlots)
{
	const size_t kPiece = 7;
	std::string file;
	for (int i = 0; file.size() < 40 * kPiece; i++)
		file += std::to_string(i) + ",";
	for (size_t slots : {2, 3, 4, 9}) {
		std::vector<char> buffer(slots * kPiece);
		ReadAhead ahead(buffer.data(), buffer.size(), kPiece);
		for (size_t length : {size_t(0), size_t(3), kPiece, 5 * kPiece, file.size()}) {
			std::string part = file.substr(0, length);
			EXPECT_EQ(PrintedOf(ahead, part, kPiece), part) << slots << " slots, " << length;
		}
		// A file left after two pieces, then another read whole.
		EXPECT_EQ(PrintedOf(ahead, file, kPiece, 2), file.substr(0, 2 * kPiece));
		EXPECT_EQ(PrintedOf(ahead, file, kPiece), file) << slots << " slots, after a stop";
	}
}
