// Assembles the program lines: sizing walks until every value settles, then the final walk.
#pragma once

// Assembles programLines into the image and the listing; errors go through lineError.
void assembleProgram();
