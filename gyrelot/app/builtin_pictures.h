// The pictures compiled into the game: the faces of the start and exit buttons and the
// sound check box's glyph (ImageList1, 20 by 20, magenta see-through).
#pragma once

#define IDB_IMGSTART 201
#define IDB_IMGEXIT 202
#define IDB_IMAGELIST1 203
