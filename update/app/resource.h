// Resources of update.exe.
#pragma once

#define IDB_IMAGE2 101
#define IDB_CANCEL_GLYPH 102
