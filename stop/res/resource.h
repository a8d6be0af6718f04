// StopQuorvel's resource ids.
#pragma once

// Icons
#define IDI_STOPQUORVEL 101
