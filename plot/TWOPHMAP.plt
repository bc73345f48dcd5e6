# Flow-pattern map of upward gas-liquid flow in a vertical tube, drawn from
# the files the program has just written: TWOPHMAP.plp (ranges and larg) and
# TWOPHMAP.out (blocks E, G, F, H, J, in that order, two empty lines apart).
# Always writes TWOPHMAP.png; shows a window too when window=1 (the launcher
# sets it on a desktop; the Windows gnuplot shows one by default).

set encoding utf8
if (!exists("window")) window = (strstrt(GPVAL_TERMINALS, " windows ") > 0)

data = "TWOPHMAP.out"
iE = 0; iG = 1; iF = 2; iH = 3; iJ = 4

# Where the curves meet, read back from the data, so that the region labels
# follow the map whatever the fluid, the tube and the ranges. Read before the
# ranges are set: stats leaves out the points outside them.
# One column at a time: two would fit a line and warn on short blocks.
stats data index iE using 1 nooutput
UGSE = STATS_max
stats data index iE using 2 nooutput
ULSE = STATS_max
stats data index iF using ($1 + $2) nooutput
UMT = STATS_mean
stats data index iG using 1 nooutput
UGSFG = STATS_min
stats data index iH using ($1 + $2) nooutput
UMH = STATS_mean
stats data index iH using 2 nooutput
ULSHE = STATS_max
stats data index iJ using 1 nooutput
UGSJ = STATS_min
# The bubble rise velocity back from the end of E (fraction 0.25).
U0 = (4.0 * UGSE - UMT) / 0.75**1.5

load "TWOPHMAP.plp"
if (!exists("larg")) larg = 1

set logscale xy
set format x "10^{%L}"
set format y "10^{%L}"
set mxtics 10
set mytics 10
set linetype 100 lc rgb "#bdbdbd" lw 1 dt solid
set linetype 101 lc rgb "#e6e6e6" lw 1 dt solid
set grid xtics ytics mxtics mytics back lt 100, lt 101

# The ranges as the settings file gave them, in numbers we can place labels by.
set table $ranges
plot 1 notitle
unset table
xlo = GPVAL_X_MIN; xhi = GPVAL_X_MAX; ylo = GPVAL_Y_MIN; yhi = GPVAL_Y_MAX

# Geometric mean, the middle on a logarithmic axis; a short tube may give
# negative velocities, which have no place on the map.
gm(a, b) = (a > 0 && b > 0) ? sqrt(a * b) : (a > 0 ? a : (b > 0 ? b : 1.0))
clamp(v, lo, hi) = v < lo ? lo : (v > hi ? hi : v)
inx(x) = clamp(x, xlo * 1.3, xhi / 1.3)
iny(y) = clamp(y, ylo * 1.3, yhi / 1.3)
xE(y) = (U0 * 0.75**1.5 + y) / 3.0

yS = gm(ylo, ULSHE > ylo ? ULSHE : ylo * 10)
# Slug flow lies between E (or the left edge) and H; a short tube may leave
# it no room, and then churn reaches from the left.
xSL = larg == 3 ? xE(yS) : xlo
xSR = UMH - yS
slug = xSR > 1.5 * xSL
xS = gm(xSL, xSR)
xC = gm(slug ? xSR : xlo, UGSJ)
yB = gm(ylo, ULSE > ylo ? ULSE : ylo * 10)

tube = larg == 3 ? "tube large : écoulement à bulles possible" : "tube étroit : pas d'écoulement à bulles"
set title "Carte d'écoulement de Taitel et Dukler\n{/*0.8 écoulement ascendant gaz-liquide en tube vertical, " . tube . "}"
set xlabel "Vitesse superficielle du gaz U_{GS} (m/s)"
set ylabel "Vitesse superficielle du liquide U_{LS} (m/s)"

set label 1 "Bulles dispersées" at inx(gm(xlo, UGSFG)), iny(gm(UMT, yhi)) center front
if (slug) {
  set label 2 "Bouchons" at inx(xS), iny(yS) center front
}
set label 3 "Agité\n(churn)" at inx(xC), iny(yS) center front
set label 4 "Annulaire" at inx(gm(UGSJ, xhi)), iny(gm(ylo, yhi)) center front
if (larg == 3) {
  set label 5 "Bulles" at inx(gm(xlo, xE(yB))), iny(yB) center front
}

set key outside below horizontal maxcols 3 Left reverse samplen 2.5 spacing 1.2 width 2 box lc rgb "#999999"

set style line 1 lc rgb "#1f77b4" lw 2.5
set style line 2 lc rgb "#d62728" lw 2.5
set style line 3 lc rgb "#2ca02c" lw 2.5
set style line 4 lc rgb "#9467bd" lw 2.5
set style line 5 lc rgb "#ff7f0e" lw 2.5

tE = "E : bulles → bouchons"
tG = "G : limite des bulles dispersées (α = 0,52)"
tF = "F : bulles dispersées (U_{GS}+U_{LS} = U_{MT})"
tH = "H : bouchons → agité"
tJ = "J : → annulaire"

# Narrow tube (larg=1): no bubbly flow, so no transition E.
if (larg == 3) {
  map = sprintf("plot data index %d using 1:2 with lines ls 1 title tE, ", iE)
} else {
  map = "plot "
}
map = map . sprintf("data index %d using 1:2 with lines ls 3 title tF, ", iF) \
          . sprintf("data index %d using 1:2 with lines ls 2 title tG, ", iG) \
          . sprintf("data index %d using 1:2 with lines ls 4 title tH, ", iH) \
          . sprintf("data index %d using 1:2 with lines ls 5 title tJ", iJ)

if (strstrt(GPVAL_TERMINALS, " pngcairo ") > 0) {
  set terminal pngcairo enhanced size 960,720 font "Sans,11"
} else {
  set terminal png enhanced size 960,720
}
set output "TWOPHMAP.png"
eval map
set output
print sprintf("TWOPHMAP.png : carte tracée (larg=%d)", larg)

if (window) {
  gui = ""
  do for [t in "windows qt wxt x11 aqua"] {
    if (gui eq "" && strstrt(GPVAL_TERMINALS, " " . t . " ") > 0) { gui = t }
  }
  if (gui ne "") {
    eval "set terminal " . gui . " enhanced size 960,720"
    eval map
    pause mouse close
  }
}
