// The records of the curve data file (unit 6) and the plot settings file (unit 7).
#pragma once

namespace tw {

inline constexpr int kCurveUnit = 6;
inline constexpr int kPlotUnit = 7;

void put_title(char letter);          // "Transtion X"
void put_pair(double ugs, double uls);
void put_separator();
void put_ranges();                    // xrange and yrange records
void put_larg();                      // the larg test and its record

}  // namespace tw
