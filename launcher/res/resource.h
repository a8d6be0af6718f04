// Resource ids of the launchers; the flavour's own ids come from the flavour's .rc.
#pragma once

#define IDS_APP_TITLE 103
#define IDS_WINDOW_CLASS 109
