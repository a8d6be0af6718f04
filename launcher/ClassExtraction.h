// Writes the monitor class carried as a resource of type "IDR_BINARY" into a class folder.
#pragma once

#include <functional>
#include <string>

// From the program's own module. The folder is not created here: when it is missing, or the
// file cannot be opened, nothing is written and the call returns normally (the virtual
// machine then cannot find the class). A write that leaves the file short (a full disk)
// deletes it and fails with a log line; that, and anything unexpected, throws AppException.
void extraiPacoteBinario(int resourceId, const std::string &folder, const std::string &fileName);

// How the bytes reach the open file, as WriteFile does: false on failure, `written` the count.
using ClassFileWrite =
    std::function<bool(void *file, const char *bytes, unsigned long size, unsigned long &written)>;
// The same from a given module (the test loads a built launcher as a data file), and with a
// write of the test's own (a full disk cannot be had under Wine) when `write` is given.
void extraiPacoteBinario(void *module, int resourceId, const std::string &folder, const std::string &fileName,
                         const ClassFileWrite &write = {});
