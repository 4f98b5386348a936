#include "iconset/convert.h"

std::string converterPath() { return "/usr/bin/iconutil"; }
