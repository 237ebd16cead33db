#include "config/config.h"
