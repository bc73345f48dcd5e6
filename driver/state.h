// Everything the run keeps from start to end, in one place.
#pragma once

#include <cstdint>

namespace tw {

inline constexpr int kTextLen = 40;
inline constexpr int kMaxEntries = 7;

struct ParamSet {
  char title[kTextLen];
  std::int32_t count;
  char labels[kMaxEntries][kTextLen];
  double values[kMaxEntries];
  const char* desc;
  int desc_len;
};

struct State {
  ParamSet fluid;   // fluid properties and tube geometry
  ParamSet params;  // extent and density of the map
  std::int32_t count;  // entry count handed to LIRE, set before each call

  // Taken from the two sets.
  double rhoG, rhoL, muG, muL, nuL, sigma, D, Ltube;
  double UGSmin, UGSmax, ULSmin, ULSmax, nG, nL, rG, rL;

  // Map constants and shared quantities.
  double g, LD, U0, alpha, UMT, UGSE, ULSE;
  // Meeting points of the curves.
  double UGSFG, ULSFG, UGSJ, ULSGJ;
  double UMH, UGSH25, ULSH25, UGSH52, ULSH52, UGSHE, ULSHE;

  // The running point of the sampling loops.
  double UGS, ULS;
};

extern State st;

// Both sets back at their defaults, every quantity zero.
void state_reset();

// The working quantities taken from each set once its menu has returned.
void take_fluid();
void take_map();

}  // namespace tw
