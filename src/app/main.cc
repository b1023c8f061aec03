// rodozerez: completes FGDC metadata templates in place.
#include "driver/driver.h"

int main(int argc, char** argv) { return rodozerez::run_program(argc, argv); }
