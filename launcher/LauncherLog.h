// The launcher's log: one line per call in the flavour's log of the day, below
// installDir + "\aplicacao\infra\tomcat\logs". Silent on every failure.
#pragma once

#include <functional>
#include <string>

// Points the log at the installation folder (called once installDir is known).
void configureLauncherLog(const std::string &installDir);
void launcherLog(const std::string &message);

// Tests replace where the lines go; an empty function restores the log writer.
void setLauncherLogSink(std::function<void(const std::string &)> sink);
