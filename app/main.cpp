// kestrinel: registers one add-on scenery in the simulator's scenery library.
// Arguments are ignored; the outcome is the console text and the exit code.
#include "app/run_activation.h"

int main(int, char**) { return kestrinel::RunActivation(); }
