#pragma once
// Dialog units: the layout grid of the main dialog. A horizontal unit is a
// quarter of the dialog font's average letter width, a vertical unit an
// eighth of its height, so the layout follows the font.

namespace tavimo::dialog {

// a * b / c rounded to the nearest integer, halves away from zero (as the
// Windows MulDiv does, so the pixel sizes match a native dialog's).
int MulDiv(int a, int b, int c);

struct DialogBaseUnits {
  int x = 0;  // rounded average width of the 52 letters A-Z a-z
  int y = 0;  // font height

  // The base units from the total width of "A..Za..z" and the font height.
  static DialogBaseUnits FromMetrics(int lettersWidth, int fontHeight);

  int ToPixelsX(int du) const { return MulDiv(du, x, 4); }
  int ToPixelsY(int du) const { return MulDiv(du, y, 8); }
};

}  // namespace tavimo::dialog
