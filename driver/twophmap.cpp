#include "driver/program.h"
#include "driver/state.h"
#include "map/curves.h"
#include "menu/lire.h"
#include "menu/reader.h"
#include "output/failure.h"
#include "output/fileio.h"
#include "output/os.h"
#include "output/plotfiles.h"
#include "output/runner.h"

namespace tw {

void run_program() {
  os::init();
  state_reset();
  fileio_reset();
  failure_reset();
  reader_reset();
  lire_reset();
  os::enable_fp_traps(fail_trap);
  frame_push(nullptr, __FILE_NAME__, __LINE__);

  TW_AT();
  unit_open(kCurveUnit, "TWOPHMAP.out", 12);
  TW_AT();
  unit_open(kPlotUnit, "TWOPHMAP.plp", 12);

  ParamSet& fl = st.fluid;
  TW_AT();
  st.count = 7;
  TW_AT();
  LIRE(fl.title, kTextLen, st.count, &fl.labels[0][0], kTextLen, fl.values, fl.desc, fl.desc_len);

  TW_AT();
  take_fluid();

  ParamSet& pm = st.params;
  TW_AT();
  st.count = 6;
  TW_AT();
  LIRE(pm.title, kTextLen, st.count, &pm.labels[0][0], kTextLen, pm.values, pm.desc, pm.desc_len);

  TW_AT();
  take_map();

  TW_AT();
  put_ranges();
  TW_AT();
  map_constants_g_ld_u0();
  TW_AT();
  put_larg();
  TW_AT();
  map_constants_shared();

  TW_AT();
  curve_E();
  TW_AT();
  curve_G();
  TW_AT();
  curve_F();
  TW_AT();
  curve_H();
  TW_AT();
  curve_J();

  TW_AT();
  unit_close(kCurveUnit);
  TW_AT();
  unit_close(kPlotUnit);

  TW_AT();
  int result = run_command("wgnuplot.exe TWOPHMAP.plt", 25);
  TW_AT();
  if (result != 0) {
    const Item items[] = {it_int(result)};
    write_console(TW_FORMAT("(' Gnuplot script launch was not successful :',i3)"), items, 1);
  }
  frame_pop();
  end_run(0);
}

}  // namespace tw
