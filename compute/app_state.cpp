#include "compute/app_state.h"

AppState appState;
