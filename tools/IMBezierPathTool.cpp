#include "tools/IMBezierPathTool.h"

#include "appkit/Cursor.h"

IMBezierPathTool::IMBezierPathTool(IMToolsController* toolsController)
    : IMModeTool(toolsController,
                 {"lineToolTemplate", "strokeRectToolTemplate", "fillRectToolTemplate",
                  "strokeOvalToolTemplate", "fillOvalToolTemplate"}) {}

QCursor IMBezierPathTool::defaultCursor() const { return ui::Cursor::crosshairCursor(); }
