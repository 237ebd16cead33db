#include "core/handle.h"
