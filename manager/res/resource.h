// Resource ids of quorvel9x.
#pragma once

#define IDS_ABOUTBOX 101
