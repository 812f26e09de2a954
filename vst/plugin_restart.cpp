#include "plugin_restart.h"
