#include "cli/driver.h"

int main(int argc, char** argv) { return badgewrightMain(argc, argv); }
