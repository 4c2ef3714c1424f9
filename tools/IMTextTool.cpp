#include "tools/IMTextTool.h"

#include "appkit/Cursor.h"
#include "tools/IMToolImages.h"

gfx::ImagePtr IMTextTool::logo() const { return IMToolImages::imageNamed("textTemplate"); }

QCursor IMTextTool::defaultCursor() const { return ui::Cursor::IBeamCursor(); }
