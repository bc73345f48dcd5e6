#include "driver/state.h"

#include <cstring>

#include "map/mathfn.h"
#include "output/failure.h"

namespace tw {

State st;

namespace {

// A text filled out with blanks to the full field.
void put_text(char (&field)[kTextLen], const char* s) {
  std::size_t n = std::strlen(s);
  std::memset(field, ' ', kTextLen);
  std::memcpy(field, s, n < kTextLen ? n : kTextLen);
}

}  // namespace

void state_reset() {
  st = State{};

  ParamSet& f = st.fluid;
  put_text(f.title, "CARTE D'ECOULEMENT DE TAITEL ET DUKLER");
  f.count = 7;
  put_text(f.labels[0], "MASSE VOLUMIQUE OU GAZ en kg/m3");
  put_text(f.labels[1], "MASSE VOLUMIQUE OU LIQ. en kg/m3");
  put_text(f.labels[2], "VISCOSITE DYNAMIQUE DU GAZ en Pa s");
  put_text(f.labels[3], "VISCOSITE DYNAMIQUE DU LIQ. en Pa s");
  put_text(f.labels[4], "TENSION DE SURFACE G-L en N/m");
  put_text(f.labels[5], "DIAMETRE DU TUBE en mm");
  put_text(f.labels[6], "LONGUEUR OU TUBE en m");
  f.values[0] = 1.2;
  f.values[1] = 1000.0;
  f.values[2] = 1.812e-05;
  f.values[3] = 0.001;
  f.values[4] = 0.072;
  f.values[5] = 25.0;
  f.values[6] = 2.5;
  f.desc = "1pe12.3";
  f.desc_len = 7;

  ParamSet& p = st.params;
  put_text(p.title, "PARAMETRES DE LA CARTE");
  p.count = 6;
  put_text(p.labels[0], "VIT. superficielle GAZ. MINI en m/s");
  put_text(p.labels[1], "VIT. superficielle GAZ MAXI en m/s");
  put_text(p.labels[2], "VIT. superficielle LIQ. MINI en m/s");
  put_text(p.labels[3], "VIT. superficielle LIQ. MAXI en m/s");
  put_text(p.labels[4], "Nombre de points par decade (GAZ)");
  put_text(p.labels[5], "Nombre de points par decade (LIQ)");
  p.values[0] = 0.02;
  p.values[1] = 200.0;
  p.values[2] = 0.002;
  p.values[3] = 20.0;
  p.values[4] = 20.0;
  p.values[5] = 20.0;
  p.desc = "f12.5";
  p.desc_len = 5;
}

void take_fluid() {
  const double* v = st.fluid.values;
  TW_AT();
  st.rhoG = v[0];
  TW_AT();
  st.rhoL = v[1];
  TW_AT();
  st.muG = v[2];
  TW_AT();
  st.muL = v[3];
  TW_AT();
  st.nuL = st.muL / st.rhoL;
  TW_AT();
  st.sigma = v[4];
  TW_AT();
  st.D = v[5] / 1000.0;
  TW_AT();
  st.Ltube = v[6];
}

void take_map() {
  const double* v = st.params.values;
  TW_AT();
  st.UGSmin = v[0];
  TW_AT();
  st.UGSmax = v[1];
  TW_AT();
  st.ULSmin = v[2];
  TW_AT();
  st.ULSmax = v[3];
  TW_AT();
  st.nG = v[4];
  TW_AT();
  st.rG = pw(10.0, 1.0 / st.nG);
  TW_AT();
  st.nL = v[5];
  TW_AT();
  st.rL = pw(10.0, 1.0 / st.nL);
}

}  // namespace tw
