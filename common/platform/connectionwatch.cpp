#include "platform.h"

void Platform::watchConnection(qintptr, int) const {}
