// Writes the monitor class carried as a resource of type "IDR_BINARY" into a class folder.
#pragma once

#include <string>

// From the program's own module. The folder is not created here: when it is missing, or the
// file cannot be opened, nothing is written and the call returns normally (the virtual
// machine then cannot find the class). Throws AppException on anything unexpected.
void extraiPacoteBinario(int resourceId, const std::string &folder, const std::string &fileName);
// The same from a given module (the test loads a built launcher as a data file).
void extraiPacoteBinario(void *module, int resourceId, const std::string &folder,
                         const std::string &fileName);
