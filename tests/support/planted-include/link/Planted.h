// A wrong include planted for the include check to find: the link layer reaching up to a window.
#include "shell/ui/CMainFrame.h"
