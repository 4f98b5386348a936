#include "iconutil/iconutil.h"

int main(int argc, char** argv) { return iconutilMain(argc, argv); }
