#include "output/plotfiles.h"

#include "driver/state.h"
#include "map/mathfn.h"
#include "output/fileio.h"

namespace tw {

void put_title(char letter) {
  const Format* f;
  switch (letter) {
    case 'E': f = &TW_FORMAT("('Transtion E')"); break;
    case 'G': f = &TW_FORMAT("('Transtion G')"); break;
    case 'F': f = &TW_FORMAT("('Transtion F')"); break;
    case 'H': f = &TW_FORMAT("('Transtion H')"); break;
    default: f = &TW_FORMAT("('Transtion J')"); break;
  }
  write_unit(kCurveUnit, *f, nullptr, 0);
}

void put_pair(double ugs, double uls) {
  const Item items[] = {it_real(ugs), it_real(uls)};
  write_unit(kCurveUnit, TW_FORMAT("(1p2e14.6)"), items, 2);
}

void put_separator() { write_unit(kCurveUnit, TW_FORMAT("(/)"), nullptr, 0); }

void put_ranges() {
  const Item x[] = {it_real(st.UGSmin), it_real(st.UGSmax)};
  write_unit(kPlotUnit, TW_FORMAT("(' set xrange[',1pE10.3,':',1pE10.3,']')"), x, 2);
  const Item y[] = {it_real(st.ULSmin), it_real(st.ULSmax)};
  write_unit(kPlotUnit, TW_FORMAT("(' set yrange[',1pE10.3,':',1pE10.3,']')"), y, 2);
}

void put_larg() {
  TW_AT();
  double left = sq(st.D);
  TW_AT();
  double t = st.rhoL - st.rhoG;
  t = t * st.sigma;
  t = t / pw(st.rhoL, 2.0);
  t = t / st.g;
  t = pw(t, 0.25);
  // The constant is single precision in the formula: 3.7799999713897705.
  double right = t * static_cast<double>(3.78f);
  TW_AT();
  if (left > right)
    write_unit(kPlotUnit, TW_FORMAT("(' larg=3')"), nullptr, 0);
  else
    write_unit(kPlotUnit, TW_FORMAT("(' larg=1')"), nullptr, 0);
}

}  // namespace tw
