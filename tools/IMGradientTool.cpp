#include "tools/IMGradientTool.h"

IMGradientTool::IMGradientTool(IMToolsController* toolsController)
    : IMModeTool(toolsController, {"gradientToolTemplate", "radialGradientToolTemplate"}) {}
