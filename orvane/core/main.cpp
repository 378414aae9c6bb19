// The viewer program's entry point.
#include "orvane/ui/OrvaneApp.h"

wxIMPLEMENT_APP(COrvaneApp);
