#include "map/curves.h"

#include "driver/state.h"
#include "map/mathfn.h"
#include "map/sampling.h"
#include "output/failure.h"
#include "output/plotfiles.h"

// Each formula is written in the order the digits depend on, one quantity a
// line; TW_AT() keeps the failure report's position on the statement at hand.

namespace tw {

void map_constants_g_ld_u0() {
  TW_AT();
  st.g = 9.81;
  TW_AT();
  st.LD = st.Ltube / st.D;
  TW_AT();
  double t = st.rhoL - st.rhoG;
  t = t * st.g;
  t = t * st.sigma;
  t = t / st.rhoL;
  t = t / st.rhoL;
  t = pw(t, 0.25);
  st.U0 = 1.53 * t;
}

void map_constants_shared() {
  TW_AT();
  st.alpha = 0.25;
  TW_AT();
  double a = pw(st.sigma / st.rhoL, 0.1);
  double b = pw(st.D, 0.48);
  double t = a * b * 3.0;
  double c = (st.rhoL / (st.rhoL - st.rhoG)) / st.g;
  t = t / pw(c, 0.5);
  t = t / pw(st.nuL, 0.08);
  st.UMT = pw(t, 1.0 / 1.12);
  TW_AT();
  st.UGSE = (pw(1.0 - st.alpha, 1.5) * st.U0 + st.UMT) * st.alpha;
  TW_AT();
  st.ULSE = st.UMT - st.UGSE;
}

void curve_E() {
  TW_AT();
  st.ULS = st.ULSmin;
  TW_AT();
  st.alpha = 0.25;
  TW_AT();
  require_end('E', st.ULS, st.rL, st.ULSE);
  put_title('E');
  do {
    TW_AT();
    st.UGS = (pw(1.0 - st.alpha, 1.5) * st.U0 + st.ULS) * (st.alpha / (1.0 - st.alpha));
    TW_AT();
    put_pair(st.UGS, st.ULS);
    TW_AT();
    st.ULS = st.ULS * st.rL;
    TW_AT();
  } while (st.ULS < st.ULSE);
  TW_AT();
  put_pair(st.UGSE, st.ULSE);
  TW_AT();
  put_separator();
}

void curve_G() {
  TW_AT();
  st.alpha = 0.52;
  TW_AT();
  st.UGSFG = (pw(1.0 - st.alpha, 1.5) * st.U0 + st.UMT) * st.alpha;
  TW_AT();
  st.ULSFG = st.UMT - st.UGSFG;
  TW_AT();
  double t = (st.rhoL - st.rhoG) * st.g;
  t = t * st.sigma;
  t = pw(t, 0.25);
  t = t * 3.1;
  st.UGSJ = t / pw(st.rhoG, 0.5);
  TW_AT();
  st.ULSGJ = ((1.0 - st.alpha) / st.alpha) * st.UGSJ - pw(1.0 - st.alpha, 1.5) * st.U0;
  TW_AT();
  st.ULS = st.ULSmin;
  TW_AT();
  require_end('G', st.ULS, st.rL, st.ULSGJ);
  put_title('G');
  TW_AT();
  put_pair(st.UGSFG, st.ULSFG);
  do {
    TW_AT();
    st.UGS = (pw(1.0 - st.alpha, 1.5) * st.U0 + st.ULS) * (st.alpha / (1.0 - st.alpha));
    TW_AT();
    if (st.ULS > st.ULSE) put_pair(st.UGS, st.ULS);
    TW_AT();
    st.ULS = st.ULS * st.rL;
    TW_AT();
  } while (st.ULS < st.ULSGJ);
  TW_AT();
  put_pair(st.UGSJ, st.ULSGJ);
  TW_AT();
  put_separator();
}

void curve_F() {
  TW_AT();
  st.UGS = st.UGSmin;
  TW_AT();
  require_end('F', st.UGS, st.rG, st.UGSFG);
  put_title('F');
  do {
    TW_AT();
    st.ULS = st.UMT - st.UGS;
    TW_AT();
    put_pair(st.UGS, st.ULS);
    TW_AT();
    st.UGS = st.UGS * st.rG;
    TW_AT();
  } while (st.UGS < st.UGSFG);
  TW_AT();
  put_pair(st.UGSFG, st.ULSFG);
  TW_AT();
  put_separator();
}

void curve_H() {
  TW_AT();
  st.alpha = 0.25;
  TW_AT();
  double f = st.LD / 42.6 - 0.29;
  st.UMH = f * sq(st.g * st.D);
  TW_AT();
  st.UGSH25 = (pw(1.0 - st.alpha, 1.5) * st.U0 + st.UMH) * st.alpha;
  TW_AT();
  st.ULSH25 = st.UMH - st.UGSH25;
  TW_AT();
  st.UGSHE = st.UGSH25;
  st.ULSHE = st.ULSH25;
  TW_AT();
  st.alpha = 0.52;
  TW_AT();
  st.UGSH52 = (pw(1.0 - st.alpha, 1.5) * st.U0 + st.UMH) * st.alpha;
  TW_AT();
  st.ULSH52 = st.UMH - st.UGSH52;
  TW_AT();
  if (st.UGSE < st.UGSH25) {  // equality keeps the 0.25 line
    st.UGSHE = st.UGSH52;
    st.ULSHE = st.ULSH52;
  }
  TW_AT();
  st.ULS = st.ULSmin;
  TW_AT();
  require_end('H', st.ULS, st.rL, st.ULSHE);
  put_title('H');
  do {
    TW_AT();
    st.UGS = st.UMH - st.ULS;
    TW_AT();
    put_pair(st.UGS, st.ULS);
    TW_AT();
    st.ULS = st.ULS * st.rL;
    TW_AT();
  } while (st.ULS < st.ULSHE);
  TW_AT();
  put_pair(st.UGSHE, st.ULSHE);
  TW_AT();
  put_separator();
}

void curve_J() {
  TW_AT();
  st.ULS = st.ULSmin;
  TW_AT();
  require_end_bound('J', st.ULS, st.rL, st.ULSmax);
  put_title('J');
  for (;;) {
    TW_AT();
    st.UGS = st.UGSJ;
    TW_AT();
    put_pair(st.UGS, st.ULS);
    TW_AT();
    st.ULS = st.ULS * st.rL;
    TW_AT();
    if (st.rL * st.ULSmax <= st.ULS) break;
  }
  TW_AT();
  put_separator();
}

}  // namespace tw
