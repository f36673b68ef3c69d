// The main window's placement rules as pure arithmetic over control
// rectangles, so that they can be checked against known figures without a
// window. The window collects the rectangles of its controls (form sizes,
// label widths from their captions), runs these functions and applies the
// result.
#pragma once

#include <map>
#include <string>
#include <vector>

struct Rect {
  int left = 0, top = 0, width = 0, height = 0;
  int right() const { return left + width; }
  int bottom() const { return top + height; }
  bool operator==(const Rect&) const = default;
};

// Controls by name. Every control a rule reads must be present.
using RectMap = std::map<std::string, Rect>;

struct LayoutFrame {
  int clientWidth = 640;
  int clientHeight = 480;
  int pageWidth = 0;  // size of one page of the page control
  int pageHeight = 0;
  int panelCaptionHeight = 19;  // caption strip of a captioned panel
};

// Nearest whole pixel, ties to the even neighbour (251.5 -> 252, 250.5 -> 250).
int roundHalfEven(double value);

// The placement done once at start.
void placeAtStart(const LayoutFrame& frame, RectMap& r);

// The placement rules, run at start and after every language change.
void resetComponentPos(const LayoutFrame& frame, RectMap& r);

// Width of the login panel at each of the ten animation steps, then its final
// width, for a fold (open == true) or an unfold.
std::vector<int> panelFoldWidths(int clientWidth, int spreaderWidth, bool open);

// Widths of a help memo while it unfolds (k = 1..10, then the full width W)
// or folds (k = 10..1). W = bevel left - update button right edge.
std::vector<int> helpMemoWidths(int fullWidth, bool unfolding);

// Window position centred on the screen, truncating toward zero.
int centreOffset(int screenSize, int windowSize);
