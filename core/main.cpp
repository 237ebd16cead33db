#include "core/startup.h"

int main(int argc, char **argv) { return ravlox_main(argc, argv); }
