#include "driver/program.h"

int main() { tw::run_program(); }
