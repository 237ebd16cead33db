#include "core/startup.h"
const char *const RAVLOX_CONTACT = "ravlox-maintainers@users.noreply.invalid";
int ravlox_main(int, char **) { return 0; }
