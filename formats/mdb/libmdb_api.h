#pragma once
// mdbtools.h wraps its includes in extern "C", which breaks glib's C++ parts; include those first.

#include <glib.h>
#include <iconv.h>

#include <mdbtools.h>
