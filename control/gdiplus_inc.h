// GDI+ for the control program's drawing. The lean Windows headers leave out what GDI+'s
// own headers need, so they come in here, once.
#pragma once

#include <windows.h>
#include <objidl.h>

#include <algorithm>
// GDI+'s headers use min and max unqualified.
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>
