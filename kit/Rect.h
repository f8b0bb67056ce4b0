// Points and rectangles in view or screen coordinates.
#pragma once

class BPoint {
public:
	BPoint() : x(0.0f), y(0.0f) {}
	BPoint(float px, float py) : x(px), y(py) {}
	bool operator==(const BPoint& other) const { return x == other.x && y == other.y; }

	float x;
	float y;
};

class BRect {
public:
	BRect() : left(0.0f), top(0.0f), right(-1.0f), bottom(-1.0f) {}
	BRect(float l, float t, float r, float b) : left(l), top(t), right(r), bottom(b) {}

	float Width() const { return right - left; }
	float Height() const { return bottom - top; }
	BPoint LeftTop() const { return BPoint(left, top); }
	bool IsValid() const { return left <= right && top <= bottom; }
	bool operator==(const BRect& other) const
	{
		return left == other.left && top == other.top && right == other.right
			&& bottom == other.bottom;
	}

	float left;
	float top;
	float right;
	float bottom;
};
