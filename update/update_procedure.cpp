#include "update_procedure.h"

// The update itself comes with the failure reporting; until then the button does nothing.
void runUpdate()
{
}
