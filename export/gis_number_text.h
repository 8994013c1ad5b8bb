#pragma once
// Numbers in the GIS files as GDAL's drivers print them through the C
// library's printf: "%.Ng" in a GeoJSON file (with GDAL's retry at fewer
// digits) and "%W.Df" in a Shapefile's .dbf. The same characters, made
// from the double's exact value by integer arithmetic instead of printf's
// many times slower walk; a value outside the range done so goes through
// long integers, exact too.

#include <cstddef>

namespace tavimo::gis {

// The room to leave for one number: "%.17g" takes up to 24 characters
// ("-1.2345678901234567e-308"), but the text is copied in blocks that may
// write beyond it; "%.20f" of -1.8e308 takes 331.
inline constexpr std::size_t kMaxGeneralText = 40;
inline constexpr std::size_t kMaxFixedText = 332;

// printf("%.*g", significant, value) for 1 <= significant <= 17.
char* PutGeneral(char* p, double value, int significant);

// A number of a GeoJSON file as GDAL writes it at 17 significant figures:
// "%.17g", but where the digits after the point hold a run of six 0s or
// six 9s, the first of "%.16g", "%.15g" and "%.14g" without one (else
// "%.17g" after all), and ".0" after a whole number. Infinities and NaN as
// GDAL names them.
char* PutGeoJsonNumber(char* p, double value);

// printf("%*.*f", width, decimals, value): the digits right-aligned in
// `width` characters, more when they need more. decimals <= 20.
char* PutFixed(char* p, double value, int decimals, int width);

}  // namespace tavimo::gis
